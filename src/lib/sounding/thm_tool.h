/* Sounding analysis: one upper-air sounding at a time, its surface level and
 * storm motion, the table of stability indices, parcel energies and wind
 * parameters, the reports of them with risk words, tables of the levels, and
 * the sounding text file ("KAVRAW") written and read back. Levels are
 * UPA_level records (degrees Celsius, knots); -9999 is missing. */
#ifndef KAV_THM_TOOL_H
#define KAV_THM_TOOL_H

#include <kav/date.h>
#include <kav/kavdefs.h>
#include <kav/ua_calc.h>
#include <kav/vecttool.h>

KAV_BEGIN_DECLS

#define THERM_MAX_LEVELS 300 /* levels of each array this module allocates */

/* The analysis of one sounding; -9999 is missing. */
typedef struct {
  int wmo;                  /* station WMO number */
  float lat, lon, elev;     /* station location, degrees and m */
  float plcl;               /* surface lifting condensation level, mb */
  float tlcl;               /* its temperature, K */
  float frz;                /* freezing level, mb (-1 at the ground) */
  float wb0;                /* wet-bulb-zero level, mb (-1 at the ground) */
  float lapse57;            /* 700-500 mb lapse rate, degrees per km */
  float max_t;              /* estimated maximum temperature, C */
  float precip;             /* precipitable water, inches */
  float mean_rh;            /* mean relative humidity surface to 500 mb, % */
  float thick;              /* 1000-500 mb thickness, m */
  THETAE_params thetae;     /* theta-e index */
  float ccl;                /* convective condensation level, mb (-1 none) */
  float wbar;               /* mean mixing ratio for the CCL, g/kg */
  float ct;                 /* convective temperature, K */
  float li;                 /* lifted index, C */
  float cap;                /* cap strength, C */
  float si;                 /* Showalter index, C */
  float tt, k, sweat, ei;   /* total totals, K index, SWEAT, energy index */
  UPA_level par_lev;        /* a parcel level */
  PARCEL_params parcel;     /* parcel ascent */
  HELICITY_params helicity; /* storm-relative helicity 0-3000 m */
  SHEAR_params shear;       /* shear 0-3000 m */
  float brn;                /* bulk Richardson number */
  float bshear;             /* bulk shear, m/s */
  float ehi;                /* energy-helicity index */
} THERM_values;

/* Installs a sounding: surface pressure pr, temperature levels smi and wind
 * levels wmi (ground up; the arrays stay the caller's and must outlive the
 * analysis; at most 300 levels each are used). Interpolates the surface
 * level, re-reads the parcel choice (plot_param), resets the results and
 * computes the 0-6 km mean wind and the storm motion. Returns 0. */
KAV_API int THERM_set_data(float pr, UPA_level *smi, int smi_num, UPA_level *wmi,
                           int wmi_num) KAV_NOEXCEPT;

/* Builds the sounding from a decoded report (mandatory and significant
 * levels merged, hypsometric heights, wind levels with pressures) and
 * installs it. The station's elevation is the report's own. Returns 1, or 0
 * when the report has no temperature levels. */
KAV_API int UPA_merge_report(UPA_report *report) KAV_NOEXCEPT;

/* Computes every analysis value of the installed sounding. Returns 0. */
KAV_API int THERM_calc(void) KAV_NOEXCEPT;

/* Print the index and parcel report, the wind report, the storm parameter
 * table and the tables of temperature and wind levels. Return 0. */
KAV_API int THERM_indices(void) KAV_NOEXCEPT;
KAV_API int THERM_wind(void) KAV_NOEXCEPT;
KAV_API int THERM_storm_table(void) KAV_NOEXCEPT;
KAV_API int THERM_sig_table(void) KAV_NOEXCEPT;
KAV_API int THERM_wind_table(void) KAV_NOEXCEPT;

/* Writes the sounding text file, named from the out_file resource ("upa_snd"
 * by default) and the sounding time. The file is written whole to a new
 * temporary beside it, which then takes the old file's place. Returns 1, or
 * 0 (with a warning) when the file cannot be opened or written (an old file
 * of that name is then left as it was). */
KAV_API int THERM_out_raw(void) KAV_NOEXCEPT;

/* Reads a sounding text file and installs it. A file that cannot be opened
 * (or whose first lines cannot be read) ends the program with exit code 10.
 * Returns 0, or -1 when the file opened but held no level, or when a read
 * failed part-way (reported; nothing is installed then). */
KAV_API int THERM_read_raw(const char *filename) KAV_NOEXCEPT;

/* Reads the parcel choice and paging from the plot_param resource:
 * "par=sfc", "par=maxt", "par=mu" (the most unstable level of the lowest
 * 300 mb), "par=layer:DEPTH", "par=P[:T[:TD]]" (the sounding's temperature
 * and dew point at P unless given), "page", "nopage"; other items are left
 * to their programs. Returns 0, or -1 when a parcel item was invalid (warned
 * about; the choice before it stays). */
KAV_API int THERM_param(void) KAV_NOEXCEPT;

/* Recomputes the 0-6 km mean wind and the storm motion (30 degrees to its
 * right at three quarters of its speed). Returns 0. */
KAV_API int THERM_calc_storm(void) KAV_NOEXCEPT;

/* Sets the storm motion (knots; null is ignored). Returns 0. */
KAV_API int THERM_set_storm(const WIND *wind) KAV_NOEXCEPT;
/* The storm motion. */
KAV_API WIND *THERM_get_storm(void) KAV_NOEXCEPT;
/* The 0-6 km mean wind. */
KAV_API WIND *THERM_get_mean6(void) KAV_NOEXCEPT;

/* Sets the parcel choice: type 1 surface, 2 mixed layer of thick mb, 3
 * maximum temperature, 4 most unstable, 5 the level *lev (pressure, and temperature and dew
 * point when not -9999); any other type lifts no parcel. Returns 0. */
KAV_API int THERM_set_parcel(int type, float thick, const UPA_level *lev) KAV_NOEXCEPT;
/* The parcel type and layer depth in use. */
KAV_API int THERM_get_parcel_type(void) KAV_NOEXCEPT;
KAV_API float THERM_get_parcel_thick(void) KAV_NOEXCEPT;

/* Station identifier (at most 19 characters kept) and WMO number; the
 * identifier also becomes file-name key 'i'. Returns 0. */
KAV_API int THERM_set_id(const char *str, int val) KAV_NOEXCEPT;
KAV_API const char *THERM_get_id(void) KAV_NOEXCEPT;
KAV_API int THERM_get_wmo(void) KAV_NOEXCEPT;

/* Copies date into the sounding time, or with null the file-name layer's
 * date. Returns 0. */
KAV_API int THERM_set_date(const Date *date) KAV_NOEXCEPT;
/* The sounding time. */
KAV_API const Date *THERM_get_date(void) KAV_NOEXCEPT;

/* Copy a level into the tropopause / maximum-wind level. Return 0. */
KAV_API int THERM_set_trop(const UPA_level *lev) KAV_NOEXCEPT;
KAV_API int THERM_set_mwnd(const UPA_level *lev) KAV_NOEXCEPT;

/* The tropopause, maximum-wind, surface and parcel starting levels. */
KAV_API UPA_level *THERM_get_trop(void) KAV_NOEXCEPT;
KAV_API UPA_level *THERM_get_mwnd(void) KAV_NOEXCEPT;
KAV_API UPA_level *THERM_get_sfc(void) KAV_NOEXCEPT;
KAV_API UPA_level *THERM_get_parcel(void) KAV_NOEXCEPT;

/* The temperature and wind level arrays and their counts. */
KAV_API UPA_level *THERM_get_SM(void) KAV_NOEXCEPT;
KAV_API int THERM_get_SM_num(void) KAV_NOEXCEPT;
KAV_API UPA_level *THERM_get_WM(void) KAV_NOEXCEPT;
KAV_API int THERM_get_WM_num(void) KAV_NOEXCEPT;

/* The surface in a vertical coordinate: its height for 103 and 104, its
 * potential temperature (K) for 113 and 114, its pressure otherwise. */
KAV_API float THERM_get_sfc_level(int ltype) KAV_NOEXCEPT;

/* Resets every field of *values to missing (the areas of the parcel too).
 * Returns 0. */
KAV_API int THERM_init_values(THERM_values *values) KAV_NOEXCEPT;
/* The module's analysis. */
KAV_API THERM_values *THERM_get_values(void) KAV_NOEXCEPT;

/* UPA_interp_levels on the temperature or wind levels. */
KAV_API int UPA_sm_interp(int coord, const float *values, UPA_level *result,
                          int num_result) KAV_NOEXCEPT;
KAV_API int UPA_wm_interp(int coord, const float *values, UPA_level *result,
                          int num_result) KAV_NOEXCEPT;

/* For every temperature level without a wind direction, takes direction and
 * speed from the wind levels interpolated in pressure. Returns 0. */
KAV_API int UPA_calc_wind(UPA_level *sm, int sm_num, UPA_level *wm, int wm_num) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

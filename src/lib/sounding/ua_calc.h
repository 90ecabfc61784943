/* Sounding interpolation and stability indices. A sounding is one array of
 * levels from the ground upward (pressure decreasing); values are found at
 * any pressure, height or potential-temperature coordinate by interpolating
 * between the nearest levels that carry each field. Every result is a float,
 * -9999 when it cannot be formed; nothing is extrapolated. */
#ifndef KAV_UA_CALC_H
#define KAV_UA_CALC_H

#include <kav/kavdefs.h>
#include <kav/vecttool.h>

KAV_BEGIN_DECLS

/* One sounding level; any field may be missing (-9999). */
typedef struct {
  float p;   /* pressure, mb */
  float h;   /* height, m */
  float t;   /* temperature, degrees Celsius */
  float td;  /* dew point, degrees Celsius */
  float dir; /* wind direction, degrees from which it blows, 0-360 */
  float spd; /* wind speed, knots */
} UPA_level;

#define UPA_MAX_MAN 25  /* mandatory levels of a report */
#define UPA_MAX_SIG 200 /* significant temperature levels of a report */
#define UPA_MAX_WND 100 /* wind levels of a report */

/* One decoded upper-air report: the header and three separate level lists,
 * which the report-merging code turns into one level array. */
typedef struct {
  char id[12];                /* station identifier, up to 11 characters */
  char area[12];              /* area or state, up to 11 characters */
  int wmo;                    /* WMO station number */
  float lat;                  /* latitude, degrees */
  float lon;                  /* longitude, degrees */
  float elev;                 /* station elevation, m */
  int time;                   /* observation time */
  int type;                   /* report type */
  int numman;                 /* mandatory levels in man */
  UPA_level man[UPA_MAX_MAN]; /* mandatory levels, all six fields */
  int numsig;                 /* significant levels in sig */
  UPA_level sig[UPA_MAX_SIG]; /* significant temperature levels: p, t, td */
  int numwnd;                 /* wind levels in wnd */
  UPA_level wnd[UPA_MAX_WND]; /* wind levels: h, dir, spd */
} UPA_report;

/* Sets all six fields of *level missing. */
KAV_API void UPA_level_init(UPA_level *level) KAV_NOEXCEPT;

/* The key of one level for a vertical coordinate code: -ln p for the pressure
 * codes 1, 100, 101, 102, 115, 116 (missing when p is not positive), h for
 * 103-106, the potential temperature (K) of t and p for 113 and 114; -9999
 * for any other code or a missing field. */
KAV_API float UPA_get_level(int coord, const UPA_level *level) KAV_NOEXCEPT;

/* Fills every missing t in place, linearly in pressure between the nearest
 * levels below and above that have t and p; a level with nothing on one side
 * (or both sides at one pressure) keeps -9999. Later levels see the values
 * filled for earlier ones. */
KAV_API void UPA_calc_temp(UPA_level *levels, int n) KAV_NOEXCEPT;

/* Interpolates the sounding at each of num_results coordinate values and
 * writes one level per value into results (all fields -9999 where nothing
 * can be found: missing or non-positive requests, requests below the
 * sounding by more than the tolerance, or within a gap of more than 300 mb).
 * Returns the index of the first level at or above the last resolved request
 * (0 for a request taken from the lowest level), or the number of usable
 * levels when no request was resolved. For coordinate 1 results[0] is the
 * surface level of the sounding analysis (all missing while none is kept)
 * and the result the index of the first level at its pressure, or 0. For the
 * potential-temperature codes the missing temperatures of levels are first
 * filled in place (UPA_calc_temp). */
KAV_API int UPA_interp_levels(UPA_level *levels, int n, int coord, const float *values,
                              UPA_level *results, int num_results) KAV_NOEXCEPT;

/* UPA_interp_levels for a single value. */
KAV_API int UPA_interp(UPA_level *levels, int n, int coord, float value,
                       UPA_level *result) KAV_NOEXCEPT;

/* The coordinate value thick above bottom: bottom - thick for the pressure
 * codes, bottom + thick otherwise. A missing thick takes the default depth
 * above (10 mb, 50 m, 5 K); -9999 for a missing bottom, or a missing thick
 * with a code outside the coordinate table. */
KAV_API float UPA_thick_top(int coord, float bottom, float thick) KAV_NOEXCEPT;

/* The coordinate value thick below top: top + thick for the pressure codes,
 * top - thick otherwise; a missing thick takes 20 mb, 200 m or 2 K. -9999 as
 * for UPA_thick_top. */
KAV_API float UPA_thick_bottom(int coord, float top, float thick) KAV_NOEXCEPT;

/* The pressure of levels[*index], or 1000 when index is null or *index is
 * negative (-9999: no surface level). *index must lie inside the array. */
KAV_API float UPA_sfc_pres(const UPA_level *levels, const int *index) KAV_NOEXCEPT;

/* Merges two level arrays ordered from high to low pressure into out, which
 * must hold n1 + n2 levels: levels of in2 below each in1 level come first; an
 * in2 level at the same pressure merges into it (fields of in1 where valid).
 * in2 levels above the last in1 level are dropped. Returns the number of
 * levels written. */
KAV_API int UPA_merge_array(const UPA_level *in1, int n1, const UPA_level *in2, int n2,
                            UPA_level *out) KAV_NOEXCEPT;

/* Mean mixing ratio (g/kg, into *wbar) and mean potential temperature (K,
 * into *obar) of the layer from bottom to top in the coordinate coord,
 * weighted by the logarithm of pressure over the steps that have values. Both
 * are -9999 when bottom or top is missing, they meet, the layer cannot be
 * found in the sounding, or no step has values. Trace lines go to the debug
 * level. */
KAV_API void layer_parcel_mean(UPA_level *levels, int n, int coord, float bottom, float top,
                               float *wbar, float *obar) KAV_NOEXCEPT;

/* Height difference (m) of the layer from bottom to top, never negative. */
KAV_API float thickness(UPA_level *levels, int n, int coord, float bottom, float top) KAV_NOEXCEPT;

/* Temperature lapse rate (degrees Celsius per m, positive when temperature
 * falls with height) of the layer; -9999 also for equal heights. */
KAV_API float lapse_rate(UPA_level *levels, int n, int coord, float bottom, float top) KAV_NOEXCEPT;

/* Potential temperature lapse rate, K per m. */
KAV_API float theta_lapse_rate(UPA_level *levels, int n, int coord, float bottom,
                               float top) KAV_NOEXCEPT;

/* Potential temperature lapse rate in pressure, K per mb (positive when
 * potential temperature grows upward). */
KAV_API float theta_pres_lapse_rate(UPA_level *levels, int n, int coord, float bottom,
                                    float top) KAV_NOEXCEPT;

/* Static stability at the coordinate value level over the layer from its
 * default depth below to its default depth above (level + 20 mb to level -
 * 10 mb in pressure). */
KAV_API float static_stability(UPA_level *levels, int n, int coord, float level) KAV_NOEXCEPT;

/* T850 + Td850 - 2 T500 (degrees Celsius, pressure levels). */
KAV_API float total_totals(UPA_level *levels, int n) KAV_NOEXCEPT;

/* T850 - T500. */
KAV_API float vertical_totals(UPA_level *levels, int n) KAV_NOEXCEPT;

/* Td850 - T500. */
KAV_API float cross_totals(UPA_level *levels, int n) KAV_NOEXCEPT;

/* K index (T850 - T500) + Td850 - (T700 - Td700). */
KAV_API float k_index(UPA_level *levels, int n) KAV_NOEXCEPT;

/* SWEAT index from the 850 and 500 mb levels. */
KAV_API float sweat_index(UPA_level *levels, int n) KAV_NOEXCEPT;

/* Lifted index (degrees Celsius): the sounding's temperature at top less that
 * of a parcel lifted from bottom (the layer-mean parcel of depth thick when
 * thick is positive, else the level at bottom). -9999 for an empty sounding,
 * one starting above 500 mb, or a parcel without temperature or dew point. */
KAV_API float lifted_index(UPA_level *levels, int n, int coord, float bottom, float thick,
                           float top) KAV_NOEXCEPT;

/* ---- Parcel energy and convective levels -------------------------------- */

/* Results of one parcel ascent. */
typedef struct {
  float Satad;  /* equivalent potential temperature of the saturated ascent, K */
  float plcl;   /* lifting condensation level pressure, mb */
  float tlcl;   /* lifting condensation level temperature, K */
  float cap;    /* largest excess of environment over parcel below 500 mb, C, >= 0 */
  float lfc;    /* level of free convection, mb; -1 when never buoyant */
  float el;     /* equilibrium level, mb: the top of the highest buoyant layer */
  float mpl;    /* maximum parcel level, mb */
  float Bel;    /* net energy at the equilibrium level, J/kg */
  float Bmpl;   /* net energy at the maximum parcel level, J/kg */
  float Bplus;  /* positive area, J/kg */
  float Bminus; /* negative area below the free convection level, J/kg, >= 0 */
  float wmax;   /* maximum updraft speed sqrt(2 Bplus), m/s */
} PARCEL_params;

/* Result of the theta-e index. */
typedef struct {
  float index; /* largest summed decrease of theta-e with height over one layer, K */
  float base;  /* pressure at the bottom of that layer, mb */
  float top;   /* pressure at its top, mb (-9999 when the layer never closed) */
  float max;   /* largest theta-e met, K */
  float maxp;  /* its pressure, mb */
  float min;   /* smallest theta-e met, K */
  float minp;  /* its pressure, mb */
} THETAE_params;

/* Buoyant energy (J/kg) of one layer between the parcel levels par1, par2 and
 * the environment levels env1, env2: (h_env2 - h_env1) times the mean parcel
 * excess over the mean environment temperature, times 9.8 / the mean
 * environment temperature (K). -9999 when a value needed is missing. */
KAV_API float energy_calc(const UPA_level *par1, const UPA_level *par2, const UPA_level *env1,
                          const UPA_level *env2) KAV_NOEXCEPT;

/* Lifts a parcel from bottom (coordinate coord) and fills *params. The
 * starting state is *blev when it has a pressure; otherwise the sounding at
 * bottom, or the mean of the layer thick deep above bottom when thick is
 * positive, which is then copied into *blev when blev is not null. Dry
 * ascent through the levels to the condensation level, then 10 mb moist
 * steps to the top of the sounding. The equilibrium level is the top of the
 * highest buoyant layer (shallow stable pockets above the free convection
 * level are crossed and their energy subtracted); the maximum parcel level is
 * where the net energy above that level falls to zero. Returns 1, or 0 with
 * the areas, cap and lfc missing when the sounding is empty, bottom is
 * missing or the parcel has no temperature, dew point or condensation level. */
KAV_API int parcel_calc(UPA_level *levels, int n, UPA_level *blev, int coord, float bottom,
                        float thick, PARCEL_params *params) KAV_NOEXCEPT;

/* Cap strength (C): the largest excess of the environment over the parcel
 * lifted from bottom (layer mean of depth thick when positive) from its
 * condensation level up to 500 mb. -9999 when it cannot be formed. */
KAV_API float cap_strength(UPA_level *levels, int n, int coord, float bottom,
                           float thick) KAV_NOEXCEPT;

/* Static energy at 500 mb less that at 850 mb (0.24 T + g h / J + 0.6 w). */
KAV_API float energy_index(UPA_level *levels, int n) KAV_NOEXCEPT;

/* Precipitable water (inches) by trapezoids of specific humidity in
 * pressure over the levels with dew points. -9999 for a sounding of 2 levels
 * or fewer, one starting above 500 mb, or one without a dew point in its
 * first three levels. */
KAV_API float precip_water(UPA_level *levels, int n) KAV_NOEXCEPT;

/* Pressure (mb) of the lowest crossing of 0 C; -1 when the lowest level is
 * below freezing; -9999 for none, an empty sounding or one starting above
 * 500 mb. */
KAV_API float freezing_level(UPA_level *levels, int n) KAV_NOEXCEPT;

/* Pressure (mb) of the lowest crossing of 0 C by the wet-bulb temperature;
 * -1 when the lowest level's wet bulb is below 0; -9999 for none. */
KAV_API float wet_bulb_zero(UPA_level *levels, int n) KAV_NOEXCEPT;

/* Estimated maximum temperature (K): the potential temperature at thick
 * above bottom brought dry-adiabatically down to bottom's pressure. -9999
 * when either level or its temperature is missing. */
KAV_API float max_temperature(UPA_level *levels, int n, int coord, float bottom,
                              float thick) KAV_NOEXCEPT;

/* Mean of a variable over the layer bottom..top, weighted by ln p: "rhum",
 * the relative humidity (%) of the levels with temperature and dew point, in
 * the pressure coordinates 1 and 100. -9999 for any other variable or
 * coordinate, or a layer without values. */
KAV_API float mean_value(UPA_level *levels, int n, int coord, const char *var, float bottom,
                         float top) KAV_NOEXCEPT;

/* Theta-e index: the layer below 700 mb base with the largest summed decrease
 * of equivalent potential temperature with height (at most 5 layers are
 * examined). 0 on success, -1 when the lowest usable level is above 700 mb or
 * none has temperature and dew point. */
KAV_API int thetae_index(UPA_level *lev, int num, THETAE_params *params) KAV_NOEXCEPT;

/* ---- Wind profile, shear and helicity ------------------------------------ */

/* Storm-relative helicity of a layer with its shears and vorticities. */
typedef struct {
  float dir_shr;  /* turn of the storm-relative wind bottom to top, degrees -180..180 */
  float pos_hel;  /* positive helicity, m2/s2 */
  float neg_hel;  /* negative helicity, m2/s2 */
  float tot_hel;  /* pos_hel + neg_hel */
  float ave_hel;  /* tot_hel over the depth used, m/s2 */
  float rel_hel;  /* mean streamwise over mean horizontal vorticity */
  float hor_vort; /* mean horizontal vorticity magnitude, 1/s */
  float stm_vort; /* mean streamwise (directional) shear, 1/s */
} HELICITY_params;

/* Veering and backing shear of a layer. */
typedef struct {
  float pos_shr; /* mean veering shear, 1/s */
  float neg_shr; /* mean backing shear, 1/s */
} SHEAR_params;

/* Mean wind of the layer bottom..top (upward) weighted by ln p: the direction
 * of the mean vector and the mean scalar speed (knots). Returns 1; 0 when the
 * top has no wind, the sounding has one level, or no step had winds (wind
 * then missing); -1 with wind missing for a downward layer, an empty
 * sounding, or a layer whose ends cannot be found in the sounding. */
KAV_API int layer_wind_mean(UPA_level *lev, int num, int coord, float bottom, float top,
                            WIND *wind) KAV_NOEXCEPT;

/* Veering and backing shear (1/s) over 500 m steps of the layer. Returns 1;
 * 0 for an unusable sounding or a top completed from the layer depth; -1 for
 * a missing bottom height or a top that cannot be found. storm (knots) may be
 * null and is only traced. */
KAV_API int shear_layer(UPA_level *lev, int num, int coord, float bottom, float top,
                        const WIND *storm, SHEAR_params *windp) KAV_NOEXCEPT;

/* Storm-relative helicity of the layer over 100 m steps, storm motion in
 * knots. Returns as shear_layer; 0 also for a missing storm motion. */
KAV_API int helicity(UPA_level *lev, int num, int coord, float bottom, float top, const WIND *storm,
                     HELICITY_params *windp) KAV_NOEXCEPT;

/* Bulk Richardson number cape / (0.5 shear^2) with the bulk shear (m/s): the
 * length of the difference of the 0-6000 m and 0-500 m mean wind vectors
 * above bottom. Returns 0; -1 with both outputs missing when the sounding is
 * empty or either mean wind cannot be formed. brn is missing for a negative
 * or missing cape or no shear. */
KAV_API int bulk_richardson(UPA_level *lev, int num, int coord, float bottom, float cape,
                            float *brn, float *shear) KAV_NOEXCEPT;

/* Energy-helicity index: positive helicity of the lowest 2000 m above bottom
 * times cape, over 160000. -9999 when either is missing. */
KAV_API float energy_helicity(UPA_level *lev, int num, int coord, float bottom, const WIND *storm,
                              float cape) KAV_NOEXCEPT;

/* Convective condensation level pressure (mb): where the mixing-ratio line of
 * the layer thick deep above bottom (or of bottom's dew point) meets the
 * temperature curve; that mixing ratio (g/kg) goes to *Wbar. -1 when no
 * crossing is found, -9999 when it cannot be formed. */
KAV_API float pr_ccl(UPA_level *lev, int num, int coord, float bottom, float thick,
                     float *Wbar) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

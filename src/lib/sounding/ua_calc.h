/* Sounding interpolation and stability indices. A sounding is one array of
 * levels from the ground upward (pressure decreasing); values are found at
 * any pressure, height or potential-temperature coordinate by interpolating
 * between the nearest levels that carry each field. Every result is a float,
 * -9999 when it cannot be formed; nothing is extrapolated. */
#ifndef KAV_UA_CALC_H
#define KAV_UA_CALC_H

#include <kav/kavdefs.h>

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

KAV_END_DECLS

#endif

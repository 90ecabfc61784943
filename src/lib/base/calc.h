/* Surface, comfort and thermodynamic formulas. Arguments and results are
 * float; the arithmetic inside is double. A missing (-9999) input gives a
 * missing result. */
#ifndef KAV_CALC_H
#define KAV_CALC_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Temperature scales: kelvin and degrees Fahrenheit at 0 degrees Celsius. */
#define CALC_KELVIN_0C 273.15
#define CALC_FAHRENHEIT_0C 32.0

/* Limits of the older wind chill models (wind_chill_temp, wind_chill): below
 * the calm-air speed (m/s) or above skin temperature (K) they give the air
 * temperature back; a faster wind counts as the highest speed (m/s). */
#define CALC_WC_CALM_SPEED 2.0
#define CALC_WC_SKIN_TEMP 306.15
#define CALC_WC_MAX_SPEED 26.0

/* Wind chill equivalent temperature by the older heat-loss model: temp in
 * kelvin, ws in m/s, result in kelvin. -9999 for a negative input; temp
 * unchanged below 2 m/s or above 306.15 K; the wind is capped at 26 m/s. */
KAV_API float wind_chill_temp(float temp, float ws) KAV_NOEXCEPT;

/* Wind chill equivalent temperature by the newer model: temp in kelvin, ws in
 * m/s, result in kelvin, never above temp. -9999 for a negative input. */
KAV_API float wind_chill_temp2(float temp, float ws) KAV_NOEXCEPT;

/* Wind chill index (heat loss, W/m^2) by the older model: temp in kelvin, ws
 * in m/s. -9999 for a negative input; temp unchanged below 2 m/s or above
 * 306.15 K; the wind is capped at 26 m/s. */
KAV_API float wind_chill(float temp, float ws) KAV_NOEXCEPT;

/* ---- Missing-value guards shared by the formula and sounding modules ---- */

/* 1 when v is the missing value -9999 (or not a number at all), else 0. */
KAV_API int is_missing(float v) KAV_NOEXCEPT;

/* Degrees Celsius to kelvin; a missing temperature stays -9999. */
KAV_API float to_kelvin(float t) KAV_NOEXCEPT;

/* Kelvin to degrees Celsius; a missing temperature stays -9999. */
KAV_API float to_celsius(float t) KAV_NOEXCEPT;

/* ---- Moisture, temperature and pressure ----
 * Temperatures in kelvin, pressures in mb, mixing ratio and specific humidity
 * in g/kg, relative humidity in percent. A missing (-9999) argument always
 * gives -9999. Arguments "temp-or-e" below 100 are vapour pressures (mb), and
 * in virt_temp and virt_pot_temp a dew point not above 100 is a mixing ratio
 * (g/kg). */

/* Saturation vapour pressure over water (mb) at t (K): -9999 for t < 0,
 * 0 for t < 100. */
KAV_API float vapor_pr(float t) KAV_NOEXCEPT;

/* Temperature (K) whose saturation vapour pressure is e (mb); 0 for e <= 0. */
KAV_API float temp_vapor_pr(float e) KAV_NOEXCEPT;

/* Mixing ratio (g/kg) of a temperature (K) or vapour pressure (<= 100 mb) at
 * pr: 0 for a non-positive argument; -9999 when the vapour pressure reaches
 * pr (no such mixing ratio). */
KAV_API float mix_ratio(float temp, float pr) KAV_NOEXCEPT;

/* Specific humidity (g/kg), the same conventions as mix_ratio. */
KAV_API float spec_hum(float temp, float pr) KAV_NOEXCEPT;

/* Relative humidity (%) of temperature t and dew point td (K), or of two
 * vapour pressures when both are <= 100; -9999 for non-positive input or a
 * zero saturation vapour pressure. */
KAV_API float rel_hum(float t, float td) KAV_NOEXCEPT;

/* Dew point (K) of temp (K) at relative humidity rh (%), rh clamped to
 * 2..100; -9999 for a missing rh or temp <= 0. */
KAV_API float dew_temp(float temp, float rh) KAV_NOEXCEPT;

/* Temperature (K) on the mixing-ratio line w (g/kg) at pr; 0 for non-positive
 * input. */
KAV_API float temp_on_mixrat(float w, float pr) KAV_NOEXCEPT;

/* Potential temperature (K); -9999 for non-positive input. */
KAV_API float pot_temp(float temp, float pr) KAV_NOEXCEPT;

/* Temperature (K) on the dry adiabat pot at pr; 0 for non-positive input. */
KAV_API float temp_on_dryad(float pot, float pr) KAV_NOEXCEPT;

/* Virtual temperature (K); dewp is a dew point (K) or, when <= 100, a mixing
 * ratio (g/kg); dewp 0 gives temp. -9999 for temp <= 0 or negative dewp/pr. */
KAV_API float virt_temp(float temp, float dewp, float pr) KAV_NOEXCEPT;

/* Virtual potential temperature (K), conventions of virt_temp; -9999 also for
 * pr <= 0. */
KAV_API float virt_pot_temp(float temp, float dewp, float pr) KAV_NOEXCEPT;

/* Equivalent potential temperature (K) of a saturated parcel at temp, pr;
 * 0 for non-positive input, -9999 when saturation reaches pr. */
KAV_API float thetae_on_satad(float temp, float pr) KAV_NOEXCEPT;

/* Temperature (K) on the saturated adiabat of equivalent potential
 * temperature pot at pr, by at most 12 bisection steps; -9999 for pot <= 0,
 * pr <= 0 or pr > 2000. */
KAV_API float temp_on_satad(float pot, float pr) KAV_NOEXCEPT;

/* Pressure (mb) of the lifting condensation level of a parcel ts, tds (K) at
 * ps, after at most 8 corrections; -9999 for ts or tds <= 100, ps <= 0 or
 * ps > 1100. */
KAV_API float lcl_pres(float ts, float tds, float ps) KAV_NOEXCEPT;

/* Temperature (K) at the condensation level pl of a parcel ts (K) at ps. */
KAV_API float lcl_temp(float ts, float ps, float pl) KAV_NOEXCEPT;

/* Equivalent potential temperature (K); dewp 0 gives the potential
 * temperature; -9999 for temp <= 0 or negative dewp/pr. */
KAV_API float eq_pot_temp(float temp, float dewp, float pr) KAV_NOEXCEPT;

/* Wet-bulb temperature (K) at pr; dewp 0 gives 0; -9999 as eq_pot_temp. */
KAV_API float wet_bulb(float temp, float dewp, float pr) KAV_NOEXCEPT;

/* Wet-bulb potential temperature (K): the wet bulb brought to 1000 mb. */
KAV_API float wet_bulb_pot_temp(float temp, float dewp, float pr) KAV_NOEXCEPT;

/* Convective temperature (K): the mixing ratio wbar (g/kg) at the convective
 * condensation level pc brought down the dry adiabat to the surface pr. */
KAV_API float conv_temp(float wbar, float pc, float pr) KAV_NOEXCEPT;

/* ---- Comfort indices ---- */

/* Heat index (K) of temp and dewp (K); -9999 for negative input, dewp above
 * temp, or a temperature without saturation vapour pressure (< 100 K). */
KAV_API float heat_index(float temp, float dewp) KAV_NOEXCEPT;

/* Humiture in degrees Fahrenheit: temp (K) in Fahrenheit plus the dew point's
 * vapour pressure less 21 mb when that is not negative, else temp in
 * Fahrenheit alone. -9999 for a negative argument. */
KAV_API float humiture(float temp, float dewp) KAV_NOEXCEPT;

/* Temperature-humidity index 17.5 + 0.55 temp + 0.2 dewp, in the unit of the
 * arguments; -9999 for a negative argument. */
KAV_API float temp_hum_index(float temp, float dewp) KAV_NOEXCEPT;

/* ---- Pressure and altitude, interpolation and distance ---- */

/* Station pressure (mb) from altimeter setting alt (mb) and elevation el (m);
 * -9999 for alt <= 0, a missing el, or an elevation above the standard
 * atmosphere's top (44 km). */
KAV_API float sfc_pr_alt(float alt, float el) KAV_NOEXCEPT;

/* Pressure altitude (m) of pres (mb) in the standard atmosphere; -9999 for
 * pres <= 0. */
KAV_API float pres_alt(float pres) KAV_NOEXCEPT;

/* Temperature at pr, linear in ln p between (p1, t1) and (p2, t2); one
 * missing temperature gives the other; -9999 when both are missing, a
 * pressure is not positive, or p1 equals p2. */
KAV_API float interp_temp(float t1, float t2, float p1, float p2, float pr) KAV_NOEXCEPT;

/* Great-circle distance (km) between two points given in degrees, on a sphere
 * of radius 6371.3 km; -9999 when a coordinate is missing. */
KAV_API float calc_earth_dist(float lat1, float lon1, float lat2, float lon2) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

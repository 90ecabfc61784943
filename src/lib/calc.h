/* Surface, comfort and thermodynamic formulas. Arguments and results are
 * float; the arithmetic inside is double. A missing (-9999) input gives a
 * missing result. */
#ifndef KAV_CALC_H
#define KAV_CALC_H

#include "lib/kavdefs.h"

KAV_BEGIN_DECLS

/* Wind chill equivalent temperature by the older heat-loss model: temp in
 * kelvin, ws in m/s, result in kelvin. -9999 for a negative input; temp
 * unchanged below 2 m/s or above 306.15 K; the wind is capped at 26 m/s. */
KAV_API float wind_chill_temp(float temp, float ws);

/* Wind chill equivalent temperature by the newer model: temp in kelvin, ws in
 * m/s, result in kelvin, never above temp. -9999 for a negative input. */
KAV_API float wind_chill_temp2(float temp, float ws);

/* Wind chill index (heat loss, W/m^2) by the older model: temp in kelvin, ws
 * in m/s. -9999 for a negative input; temp unchanged below 2 m/s or above
 * 306.15 K; the wind is capped at 26 m/s. */
KAV_API float wind_chill(float temp, float ws);

KAV_END_DECLS

#endif

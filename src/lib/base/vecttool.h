/* Wind vectors: the conversion between a wind given as the direction it
 * blows from and its speed, and its east (x, u) and north (y, v) components.
 * Angles in degrees; the speed unit passes through unchanged. -9999 is
 * missing. */
#ifndef KAV_VECTTOOL_H
#define KAV_VECTTOOL_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* A wind: direction it blows from (degrees) and speed. */
typedef struct {
  float dir; /* degrees from which the wind blows, 0-360 */
  float spd; /* speed, knots unless a caller says otherwise */
} WIND;

/* A vector; only x (east) and y (north) are used by the wind helpers. */
typedef struct {
  float x;
  float y;
  float z;
} VECT;

/* u = -spd sin(dir), v = -spd cos(dir). Either input missing sets both
 * outputs to -9999 and returns -1; else 0. Null outputs are refused (-1). */
KAV_API int wind2vect(float dir, float spd, float *u, float *v) KAV_NOEXCEPT;

/* spd = sqrt(u^2 + v^2); dir = atan2(-u, -v) in degrees 0-360, and 0 when the
 * speed is below 0.01. Either input missing sets both outputs to -9999 and
 * returns -1; else 0. Null outputs are refused (-1). */
KAV_API int vect2wind(float u, float v, float *dir, float *spd) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

// Internal to the GRIB decoders of both editions: longitudes and the
// process's projection while a grid's centre is worked out.
#ifndef KAV_GRID_GRIB_GEO_HPP
#define KAV_GRID_GRIB_GEO_HPP

#include <kav/kavdefs.h>
#include <kav/maptran.h>
#include <kav/region.h>

#include <cmath>

namespace kav::grib_geo {

// lon in [-180, 180]; one fmod whatever its size (not a number stays so).
inline float wrap180(float lon) {
  double l = std::fmod(static_cast<double>(lon), 360.0);
  if (l > 180) l -= 360;
  if (l < -180) l += 360;
  return static_cast<float>(l);
}

// lon in [-180, 180] in double precision, by the same single fmod.
inline double wrap180(double lon) {
  double l = std::fmod(lon, 360.0);
  if (l > 180) l -= 360;
  if (l < -180) l += 360;
  return l;
}

// An eastward span of longitudes brought into [0, 360]: whole turns are
// taken off at once, and a span of exactly one turn stays one turn (a
// global grid), whatever the size of the angles a message states.
inline double wrap_span(double span) {
  if (!(span < 0 || span > 360)) return span;  // in range, or not a number
  const double r = std::fmod(span, 360.0);
  if (r < 0) return r + 360;
  return r == 0 && span > 0 ? 360 : r;
}

// Leaves the process's projection as it was found.
struct KeepProjection {
  Domain saved{};
  KeepProjection() { MAP_get_domain(&saved); }
  ~KeepProjection() {
    if (saved.proj == KAV_IMISSING)
      MAP_domain(nullptr);
    else
      MAP_domain(&saved);
  }
  KeepProjection(const KeepProjection &) = delete;
  KeepProjection &operator=(const KeepProjection &) = delete;
};

}  // namespace kav::grib_geo

#endif

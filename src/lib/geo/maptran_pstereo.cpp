// Polar stereographic projection (code 1), centred on the pole of the
// domain's hemisphere: true at tlat1 (60 degrees by default), the pole at the
// plane's origin, the meridian plon pointing down (north) or up (south).
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

// scale: -1 for a north-polar map, +1 for a south-polar one.
// xfactor: R (1 + sin |tlat1|), the radius at which the plane is true,
// divided by tan of half the colatitude there.
bool init(Consts &c, const Domain &) {
  c.scale = c.plat >= 0 ? -1.0 : 1.0;
  c.xfactor = kEarthRad * (1.0 + std::sin(kD * std::fabs(c.tlat1)));
  return true;
}

int fwd(const Consts &c, double lat, double dlon, double *x, double *y) {
  // Nothing beyond 75 degrees into the far hemisphere.
  if (c.scale * lat > 75) lat = 75 * c.scale;
  const double r = c.xfactor * std::tan(kD * (90 + c.scale * lat) / 2);
  const double t = kD * dlon;
  *x = r * std::sin(t);
  *y = c.scale * r * std::cos(t);
  return 1;
}

int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  const double rho = std::hypot(x, y);
  const double alpha = (x == 0 && y == 0) ? 0.0 : std::atan2(x, c.scale * y) * kR2D;
  *lat = c.scale * (2 * std::atan(rho / c.xfactor) * kR2D - 90);
  *lon = c.plon + alpha;
  return 1;
}

const Accepted kNames[] = {{"polar", false}, {"ps", false}, {nullptr, false}};

}  // namespace

const Family kPolarStereo = {1, "pstereo", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj

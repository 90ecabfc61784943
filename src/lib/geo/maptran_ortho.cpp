// Orthographic (code 5): the earth as seen from infinitely far above
// (plat, plon); the far hemisphere is off the projection.
#include <algorithm>
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

// xfactor, yfactor: cosine and sine of plat.
bool init(Consts &c, const Domain &) {
  c.xfactor = std::cos(kD * c.plat);
  c.yfactor = std::sin(kD * c.plat);
  return true;
}

int fwd(const Consts &c, double lat, double dlon, double *x, double *y) {
  const double cl = std::cos(kD * lat), sl = std::sin(kD * lat);
  const double cd = std::cos(kD * dlon), sd = std::sin(kD * dlon);
  if (cl * c.xfactor * cd + sl * c.yfactor < 0) return 0;
  *x = kEarthRad * sd * cl;
  *y = kEarthRad * (sl * c.xfactor - cl * cd * c.yfactor);
  return 1;
}

int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  double w = kEarthRad * kEarthRad - x * x - y * y;
  // Points on the rim, rounded to floats, may land a hair outside it.
  if (w < -kRim * kEarthRad * kEarthRad) return 0;
  const double r = std::sqrt(std::fmax(w, 0.0));
  *lat = std::asin(std::clamp((c.yfactor * r + c.xfactor * y) / kEarthRad, -1.0, 1.0)) * kR2D;
  *lon = c.plon + std::atan2(x, c.xfactor * r - c.yfactor * y) * kR2D;
  return 1;
}

const Accepted kNames[] = {{"or", false}, {nullptr, false}};

}  // namespace

const Family kOrthographic = {5, "ortho", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj

// Lambert azimuthal equal-area (code 8) centred on (plat, plon); only the
// antipode of the centre is off the projection.
#include <algorithm>
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

bool init(Consts &c, const Domain &) {
  c.sin_plat = std::sin(kD * c.plat);
  c.cos_plat = std::cos(kD * c.plat);
  return true;
}

int fwd(const Consts &c, double lat, double dlon, double *x, double *y) {
  const double cl = std::cos(kD * lat), sl = std::sin(kD * lat);
  const double cd = std::cos(kD * dlon), sd = std::sin(kD * dlon);
  const double cosc = c.sin_plat * sl + c.cos_plat * cl * cd;
  if (cosc <= -1 + 1e-10) return 0;
  const double k = kEarthRad * std::sqrt(2 / (cosc + 1));
  *x = k * cl * sd;
  *y = k * (c.cos_plat * sl - c.sin_plat * cl * cd);
  return 1;
}

int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  const double rho = std::hypot(x, y);
  double s = rho / (2 * kEarthRad);
  // The rim is the antipode; points rounded to floats may land a hair outside.
  if (s > 1 + kRim) return 0;
  s = std::fmin(s, 1.0);
  *lon = c.plon;
  if (rho < 1e-10) {
    *lat = c.plat;
    return 1;
  }
  const double cc = 2 * std::asin(s);
  const double sc = std::sin(cc), ccos = std::cos(cc);
  const double sinlat = std::clamp(ccos * c.sin_plat + y * sc * c.cos_plat / rho, -1.0, 1.0);
  *lat = std::asin(sinlat) * kR2D;
  if (std::fabs(std::fabs(c.plat) - 90) > 1e-10) {
    const double z = ccos - sinlat * c.sin_plat;
    *lon = c.plon + std::atan2(x * sc * c.cos_plat, z * rho) * kR2D;
  } else if (c.plat < 0) {
    *lon = c.plon + std::atan2(x, y) * kR2D;
  } else {
    *lon = c.plon + std::atan2(x, -y) * kR2D;
  }
  return 1;
}

const Accepted kNames[] = {{"la", false}, {nullptr, false}};

}  // namespace

const Family kLambertAzimuthal = {8, "lambaz", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj

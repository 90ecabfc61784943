// Lambert conformal conic (code 4) on the sphere, secant at two true
// latitudes or tangent at one. The plane's origin is the cone's apex, the
// pole of the domain's hemisphere. True latitudes count by their size, so
// a southern cone may name them -30 and -60 or 30 and 60 alike.
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

// scale: +1 for a northern cone, -1 for a southern one; xfactor: the cone
// constant n; mult: the cone's radius factor F.
bool init(Consts &c, const Domain &) {
  c.scale = c.plat >= 0 ? 1.0 : -1.0;
  const double t1 = std::fabs(c.tlat1), t2 = std::fabs(c.tlat2);
  if (!(t1 > 0 && t1 < 90 && t2 > 0 && t2 < 90)) return false;
  double n;
  if (t1 == t2) {
    n = std::sin(kD * t1);
  } else {
    n = (std::log(std::cos(kD * t1)) - std::log(std::cos(kD * t2))) /
        (std::log(std::tan(kD * (45 - t1 / 2))) - std::log(std::tan(kD * (45 - t2 / 2))));
  }
  if (!(n > 0 && n <= 1)) return false;
  c.xfactor = n;
  c.mult = std::cos(kD * t1) / (n * std::pow(std::tan(kD * (45 - t1 / 2)), n));
  return std::isfinite(c.mult);
}

int fwd(const Consts &c, double lat, double dlon, double *x, double *y) {
  // The far pole lies at infinity: stop one degree short of it.
  if (c.scale > 0 && lat < -89) lat = -89;
  if (c.scale < 0 && lat > 89) lat = 89;
  const double n = c.xfactor;
  const double rho = kEarthRad * c.mult * std::pow(std::tan(kD * (45 - c.scale * lat / 2)), n);
  *x = rho * std::sin(n * dlon * kD);
  *y = -c.scale * rho * std::cos(n * dlon * kD);
  return 1;
}

int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  const double n = c.xfactor;
  const double rho = std::hypot(x, y);
  const double alpha = (x == 0 && y == 0) ? 0.0 : std::atan2(x, -c.scale * y) * kR2D;
  // Beyond the cut along the far meridian the plane holds no point.
  if (std::fabs(alpha / n) > 180 + 1e-9) return 0;
  *lat = 90 * c.scale - 2 * c.scale * std::atan(std::pow(rho / (c.mult * kEarthRad), 1 / n)) * kR2D;
  *lon = c.plon + alpha / n;
  return 1;
}

const Accepted kNames[] = {{"lamb", false}, {"lc", false}, {nullptr, false}};

}  // namespace

double lambert_scale(const Consts &c, double lat) {
  const double n = c.xfactor;
  const double cl = std::cos(kD * lat);
  if (cl <= 0) return kMiss;
  const double rho = kEarthRad * c.mult * std::pow(std::tan(kD * (45 - c.scale * lat / 2)), n);
  return n * rho / (kEarthRad * cl);
}

const Family kLambertConformal = {4, "lamb", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj

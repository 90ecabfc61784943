// Mollweide equal-area (code 7), scaled so that the whole globe spans x in
// [-2R, 2R] and y in [-R, R].
#include <algorithm>
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

bool init(Consts &, const Domain &) { return true; }

// The auxiliary angle theta of a latitude: 2 theta + sin 2 theta = pi sin lat,
// by Newton steps (a bounded number; convergence is fast away from the poles,
// which are set directly).
double aux_angle(double lat) {
  if (lat > 89.99) return kPi / 2;
  if (lat < -89.99) return -kPi / 2;
  const double target = kPi * std::sin(kD * lat);
  double t = kD * lat;
  for (int i = 0; i < 50; ++i) {
    const double step = (t + std::sin(t) - target) / (std::cos(t) + 1);
    t -= step;
    if (std::fabs(step) < 1e-12) break;
  }
  return t / 2;
}

int fwd(const Consts &, double lat, double dlon, double *x, double *y) {
  const double theta = aux_angle(lat);
  *x = (lat > 89.99 || lat < -89.99) ? 0.0 : kEarthRad * (dlon / 90) * std::cos(theta);
  *y = kEarthRad * std::sin(theta);
  return 1;
}

int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  double t = y / kEarthRad;
  // Points on the rim, rounded to floats, may land a hair outside it.
  if (std::fabs(t) > 1 + kRim) return 0;
  t = std::clamp(t, -1.0, 1.0);
  const double theta = std::asin(t);
  const double ct = std::cos(theta);
  // Outside the ellipse (x/2R)^2 + (y/R)^2 <= 1 there is no point.
  if (std::fabs(x) > 2 * kEarthRad * (ct + kRim)) return 0;
  if (ct < 1e-12) {
    *lon = c.plon;
  } else {
    *lon = c.plon + std::clamp(90 * x / (ct * kEarthRad), -180.0, 180.0);
  }
  const double s = (2 * theta + std::sin(2 * theta)) / kPi;
  *lat = std::asin(std::clamp(s, -1.0, 1.0)) * kR2D;
  return 1;
}

const Accepted kNames[] = {{"mo", false}, {nullptr, false}};

}  // namespace

const Family kMollweide = {7, "moll", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj

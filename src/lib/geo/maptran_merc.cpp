// Mercator (code 3) on the sphere, true at the equator; latitudes beyond
// 89.9 degrees are drawn at 89.9.
#include <algorithm>
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

bool init(Consts &, const Domain &) { return true; }

int fwd(const Consts &, double lat, double dlon, double *x, double *y) {
  lat = std::clamp(lat, -89.9, 89.9);
  *x = kEarthRad * dlon * kD;
  *y = -kEarthRad * std::log(std::tan(kD * (45 - lat / 2)));
  return 1;
}

int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  *lon = c.plon + x / (kD * kEarthRad);
  *lat = 90 - 2 * std::atan(std::exp(-y / kEarthRad)) * kR2D;
  return 1;
}

const Accepted kNames[] = {{"me", false}, {nullptr, false}};

}  // namespace

const Family kMercator = {3, "merc", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj

// Latitude-longitude (cylindrical equidistant, code 2): the plane is in
// degrees, x the longitude east of plon and y the latitude.
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

bool init(Consts &, const Domain &) { return true; }

int fwd(const Consts &, double lat, double dlon, double *x, double *y) {
  *x = dlon;
  *y = lat;
  return 1;
}

int inv(const Consts &c, double x, double y, double *lat, double *lon) {
  if (std::fabs(y) > 90) return 0;
  *lat = y;
  *lon = c.plon + x;
  return 1;
}

const Accepted kNames[] = {{"ll", false}, {"lat", false}, {nullptr, false}};

}  // namespace

const Family kLatLon = {2, "latlon", kNames, true, Limits::Centred, fwd, inv, init};

}  // namespace kav::proj

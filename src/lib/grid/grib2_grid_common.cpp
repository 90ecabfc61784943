// GRIB edition-2 grids: what the grid templates share (the centre of a
// projected grid, the grid code, longitudes).
#include <kav/maptran.h>

#include <climits>
#include <cmath>
#include <cstdlib>

#include "grid/grib2_tmpl.hpp"
#include "grid/grib_geo.hpp"

namespace kav::grib2 {
namespace {

using grib_geo::KeepProjection;
using grib_geo::wrap180;

}  // namespace

float lon_deg(long micro) { return wrap180(static_cast<float>(static_cast<double>(micro) / 1e6)); }

bool centre_from_corner(Domain &dom, float lat1, float lon1, int xdir, int ydir) {
  KeepProjection keep;
  Domain t = dom;
  t.clat = lat1;
  t.clon = lon1;
  if (MAP_domain(&t) != 0) return false;
  float x1 = 0, y1 = 0, clat = 0, clon = 0;
  if (!MAP_tran(lat1, lon1, &x1, &y1)) return false;
  const float xc = x1 + static_cast<float>(xdir) * dom.dx * static_cast<float>(dom.nx - 1) / 2;
  const float yc = y1 + static_cast<float>(ydir) * dom.dy * static_cast<float>(dom.ny - 1) / 2;
  if (!MAP_untran(xc, yc, &clat, &clon)) return false;
  if (!std::isfinite(clat) || !std::isfinite(clon)) return false;
  dom.clat = clat;
  dom.clon = wrap180(clon);
  return true;
}

// template x 10^7 + A x 10^6 + B x 10^4 + (Ni / 10) x 100 + C, in 64 bits
// and folded into the positive int range (local template numbers and wide
// grids would overflow an int).
int grid_code(int tmpl, long la1, long lo1, long ni, long c) {
  const long long a = std::llabs(static_cast<long long>(la1)) / 10000000LL;
  long long b = std::llabs(static_cast<long long>(lo1)) / 10000000LL;
  if (lo1 < 0) b = 36 - b;
  if (la1 < 0) b += 36;
  const long long code = static_cast<long long>(tmpl) * 10000000LL + a * 1000000LL + b * 10000LL +
                         (static_cast<long long>(ni) / 10) * 100LL + c;
  return static_cast<int>(std::llabs(code) % INT_MAX);
}

}  // namespace kav::grib2

// GRIB edition-2 grid template 3.10: Mercator.
#include <kav/grd_read.h>
#include <kav/maptran.h>
#include <kav/mess.h>

#include <cmath>

#include "grid/grib2_tmpl.hpp"
#include "grid/grib_geo.hpp"

namespace kav::grib2 {

int grid_mercator(const Sect &s, Grid &g) {
  if (!s.has(72)) {
    MESS_print(M_WARN, "GRIB_GDS: Mercator grid definition of %lu octets is too short\n",
               static_cast<unsigned long>(s.len));
    return -1;
  }
  const uint32_t ni = s.u4(31), nj = s.u4(35);
  if (ni < 1 || nj < 1 || ni > static_cast<uint32_t>(GRD_MAX_POINTS) ||
      nj > static_cast<uint32_t>(GRD_MAX_POINTS) ||
      static_cast<long long>(ni) * nj > GRD_MAX_POINTS) {
    MESS_print(M_WARN, "GRIB_GDS: Bad Mercator grid size: %lu by %lu\n",
               static_cast<unsigned long>(ni), static_cast<unsigned long>(nj));
    return -1;
  }
  const long la1 = s.s4(39), lo1 = s.s4(43), la2 = s.s4(52), lo2 = s.s4(56);
  g.scan = static_cast<int>(s.u1(60));
  g.npts = static_cast<long>(ni) * static_cast<long>(nj);
  Domain &d = g.dom;
  d.proj = 3;
  d.nx = static_cast<int>(ni);
  d.ny = static_cast<int>(nj);
  const double f1 = static_cast<double>(la1) / 1e6, f2 = static_cast<double>(la2) / 1e6;
  const double l1 = static_cast<double>(lo1) / 1e6, l2 = static_cast<double>(lo2) / 1e6;
  // Unwrapped along the scanning direction before the middle is taken.
  const bool west = (g.scan & 0x80) != 0;
  const double span = grib_geo::wrap_span(west ? l1 - l2 : l2 - l1);
  const double mid = grib_geo::wrap180((west ? l1 - span : l1) + span / 2);
  d.plat = 0;
  d.plon = static_cast<float>(mid);
  Domain t = d;
  t.clat = static_cast<float>((f1 + f2) / 2);
  t.clon = d.plon;
  t.dx = t.dy = 1;
  Domain saved{};
  MAP_get_domain(&saved);
  float x1 = 0, y1 = 0, x2 = 0, y2 = 0, clat = 0, clon = 0;
  const float half = static_cast<float>(span / 2);
  const bool ok = MAP_domain(&t) == 0 &&
                  MAP_tran(static_cast<float>(f1), d.plon - half, &x1, &y1) &&
                  MAP_tran(static_cast<float>(f2), d.plon + half, &x2, &y2) &&
                  MAP_untran((x1 + x2) / 2, (y1 + y2) / 2, &clat, &clon);
  if (saved.proj == KAV_IMISSING)
    MAP_domain(nullptr);
  else
    MAP_domain(&saved);
  if (!ok || !std::isfinite(x1 + x2 + y1 + y2)) {
    MESS_print(M_WARN, "GRIB_GDS: Mercator grid off its projection\n");
    return -1;
  }
  d.dx = ni > 1 ? std::fabs(x2 - x1) / static_cast<float>(ni - 1) : 1.0f;
  d.dy = nj > 1 ? std::fabs(y2 - y1) / static_cast<float>(nj - 1) : d.dx;
  d.clat = clat;
  d.clon = d.plon;
  g.type = grid_code(10, la1, lo1, static_cast<long>(ni), static_cast<long>(s.u4(56) / 1000000u));
  return 0;
}

}  // namespace kav::grib2

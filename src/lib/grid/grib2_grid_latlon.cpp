// GRIB edition-2 grid template 3.0: latitude/longitude, regular or with
// quasi-regular rows.
#include <kav/grd_read.h>
#include <kav/mess.h>

#include <cmath>

#include "grid/grib2_tmpl.hpp"
#include "grid/grib_geo.hpp"

namespace kav::grib2 {

int grid_latlon(const Sect &s, Grid &g) {
  if (!s.has(72)) {
    MESS_print(M_WARN, "GRIB_GDS: Latitude/longitude grid definition of %lu octets is too short\n",
               static_cast<unsigned long>(s.len));
    return -1;
  }
  MESS_print(0x40000000u, "Lat-lon Grid\n");
  const uint32_t ni = s.u4(31), nj = s.u4(35);
  // Angles in millionths of a degree unless a basic angle and its
  // subdivisions say otherwise.
  const uint32_t basic = s.u4(39), sub = s.u4(43);
  double unit = 1e-6;
  if (basic != 0 && basic != 0xFFFFFFFFu && sub != 0 && sub != 0xFFFFFFFFu)
    unit = static_cast<double>(basic) / static_cast<double>(sub);
  const long la1 = s.s4(47), lo1 = s.s4(51), la2 = s.s4(56), lo2 = s.s4(60);
  g.scan = static_cast<int>(s.u1(72));
  if (nj < 1 || nj > static_cast<uint32_t>(GRD_MAX_POINTS)) {
    MESS_print(M_WARN, "GRIB_GDS: Bad number of rows: %lu\n", static_cast<unsigned long>(nj));
    return -1;
  }
  long nx = static_cast<long>(ni);
  g.rows.clear();
  if (ni == 0xFFFFFFFFu) {
    // Quasi-regular: the points of each row follow the template, each in the
    // count of octets the section states.
    const unsigned width = s.u1(11);
    if ((width != 1 && width != 2 && width != 4) || (g.scan & 0x20) ||
        !s.has(72 + static_cast<size_t>(width) * nj)) {
      MESS_print(M_WARN, "GRIB_GDS: Quasi-regular grid without its row counts (%u octets each)\n",
                 width);
      return -1;
    }
    nx = 0;
    long total = 0;
    g.rows.resize(nj);
    for (size_t j = 0; j < nj; ++j) {
      const size_t at = 73 + width * j;
      const long c = width == 1 ? long(s.u1(at)) : width == 2 ? long(s.u2(at)) : long(s.u4(at));
      if (c < 0 || c > GRD_MAX_POINTS) {
        MESS_print(M_WARN, "GRIB_GDS: Bad count of points in row %lu: %ld\n",
                   static_cast<unsigned long>(j), c);
        return -1;
      }
      g.rows[j] = static_cast<int>(c);
      total += c;
      if (total > GRD_MAX_POINTS) break;
      if (c > nx) nx = c;
    }
    g.npts = total;
  } else {
    g.npts = nx * static_cast<long>(nj);
  }
  if (nx < 1 || nx > GRD_MAX_POINTS || nx * static_cast<long>(nj) > GRD_MAX_POINTS ||
      g.npts > GRD_MAX_POINTS) {
    MESS_print(M_WARN, "GRIB_GDS: Grid of %ld by %lu points is too large\n", nx,
               static_cast<unsigned long>(nj));
    return -1;
  }
  Domain &d = g.dom;
  d.proj = 2;
  d.nx = static_cast<int>(nx);
  d.ny = static_cast<int>(nj);
  // Longitudes unwrapped along the scanning direction: a first longitude
  // east of the last crosses the date line.
  const double f1 = static_cast<double>(la1) * unit, f2 = static_cast<double>(la2) * unit;
  const double l1 = static_cast<double>(lo1) * unit, l2 = static_cast<double>(lo2) * unit;
  const bool west = (g.scan & 0x80) != 0;
  const double span = grib_geo::wrap_span(west ? l1 - l2 : l2 - l1);
  const double first_west = west ? l1 - span : l1;
  const double clon = grib_geo::wrap180(first_west + span / 2);
  d.plat = 0;
  d.clon = d.plon = static_cast<float>(clon);
  d.clat = static_cast<float>((f1 + f2) / 2);
  d.dx = static_cast<float>(nx > 1 ? span / static_cast<double>(nx - 1) : 0.0);
  d.dy = static_cast<float>(nj > 1 ? std::fabs(f2 - f1) / static_cast<double>(nj - 1) : 0.0);
  if (nx <= 1) d.dx = d.dy;
  // Rows that each close a circle of latitude: their points lie at multiples
  // of their own mesh.
  g.circle = !g.rows.empty() && nx > 1 &&
             std::fabs(span + span / static_cast<double>(nx - 1) - 360.0) < 1e-3;
  if (nj <= 1) d.dy = d.dx;
  g.type = grid_code(0, la1, lo1, nx, static_cast<long>(std::lround(10.0 * d.dx)));
  return 0;
}

}  // namespace kav::grib2

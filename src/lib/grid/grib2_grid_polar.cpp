// GRIB edition-2 grid template 3.20: polar stereographic.
#include <kav/grd_read.h>
#include <kav/mess.h>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {

int grid_polar(const Sect &s, Grid &g) {
  if (!s.has(65)) {
    MESS_print(M_WARN, "GRIB_GDS: Polar stereographic grid definition of %lu octets is too short\n",
               static_cast<unsigned long>(s.len));
    return -1;
  }
  const uint32_t nx = s.u4(31), ny = s.u4(35);
  if (nx < 1 || ny < 1 || nx > static_cast<uint32_t>(GRD_MAX_POINTS) ||
      ny > static_cast<uint32_t>(GRD_MAX_POINTS) ||
      static_cast<long long>(nx) * ny > GRD_MAX_POINTS) {
    MESS_print(M_WARN, "GRIB_GDS: Bad polar stereographic grid size: %lu by %lu\n",
               static_cast<unsigned long>(nx), static_cast<unsigned long>(ny));
    return -1;
  }
  g.npts = static_cast<long>(nx) * static_cast<long>(ny);
  g.scan = static_cast<int>(s.u1(65));
  Domain &d = g.dom;
  d.proj = 1;
  d.nx = static_cast<int>(nx);
  d.ny = static_cast<int>(ny);
  d.plon = lon_deg(s.s4(52));
  d.param[0] = static_cast<float>(static_cast<double>(s.s4(48)) / 1e6);
  // The projection-centre flag: bit 0x80 set for the south pole.
  d.plat = (s.u1(64) & 0x80) ? -90.0f : 90.0f;
  d.dx = static_cast<float>(static_cast<double>(s.u4(56)) * 1e-8);
  d.dy = static_cast<float>(static_cast<double>(s.u4(60)) * 1e-8);
  const float lat1 = static_cast<float>(static_cast<double>(s.s4(39)) / 1e6);
  const float lon1 = lon_deg(s.s4(43));
  if (!(d.dx > 0) || !(d.dy > 0) ||
      !centre_from_corner(d, lat1, lon1, (g.scan & 0x80) ? -1 : 1, (g.scan & 0x40) ? 1 : -1)) {
    MESS_print(M_WARN, "GRIB_GDS: Polar stereographic grid off its projection\n");
    return -1;
  }
  g.type = grid_code(20, s.s4(39), s.s4(43), static_cast<long>(nx),
                     static_cast<long>(s.u4(56) / 1000000u));
  return 0;
}

}  // namespace kav::grib2

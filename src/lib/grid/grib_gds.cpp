// GRIB grid description: latitude/longitude, Mercator, Lambert conformal and
// polar stereographic grids, quasi-regular rows and the scanning mode, made
// into the record's Domain.
#include <kav/grib.h>
#include <kav/maptran.h>
#include <kav/mess.h>

#include <cmath>

#include "console/guard.hpp"
#include "grid/grib_geo.hpp"
#include "grid/grib_int.hpp"

namespace kav::grib {
namespace {

constexpr M_type kTrace = 0x40000000u;

float deg(const unsigned char *p) { return static_cast<float>(s3(p)) / 1000.0f; }

using grib_geo::KeepProjection;
using grib_geo::wrap180;

// Projected grids: the centre from the first point (lat1, lon1) moved half
// the grid across in the plane. false when the projection refuses it.
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
  dom.clat = clat;
  dom.clon = wrap180(clon);
  return true;
}

int reject(const char *why, int value) {
  MESS_print(M_WARN, "GRIB_GDB: %s: %d\n", why, value);
  return GRIB_REJECT;
}

int decode_gds(const unsigned char *g, size_t len, Domain &dom) {
  Decoder &d = dec();
  MESS_print(kTrace, "Grid description block\n");
  const int nv = g[3], pvl = g[4], rep = g[5];
  int ni = static_cast<int>(u2(g + 6));
  const int nj = static_cast<int>(u2(g + 8));
  const int scan = g[27];
  d.ydir = (scan & 0x40) ? 1 : -1;
  d.xdir = (scan & 0x80) ? -1 : 1;
  d.by_columns = (scan & 0x20) != 0;
  MESS_print(kTrace,
             d.ydir > 0 ? "Gridpoint direction: %x : south to north\n"
                        : "Gridpoint direction: %x : north to south\n",
             scan);
  if (rep != 0 && rep != 1 && rep != 3 && rep != 5)
    return reject("Grid representation type not decoded", rep);
  if ((rep == 1 || rep == 3) && len < 42) return reject("Grid description too short", int(len));
  // Rows of a quasi-regular grid: Ni all ones, the counts after any
  // vertical-coordinate values.
  d.thin = false;
  d.thin_ptr.clear();
  if (ni == 65535) {
    const size_t at = pvl >= 1 ? static_cast<size_t>(pvl - 1) + 4u * static_cast<size_t>(nv) : 0;
    if (pvl == 0 || pvl == 255 || nj < 1 || nj > 2000 || at + 2u * size_t(nj) > len)
      return reject("Quasi-regular grid without its row counts", nj);
    if (d.by_columns) return reject("Quasi-regular grid stored by columns", scan);
    MESS_print(kTrace, "Thinning grid\n");
    d.thin = true;
    ni = 0;
    for (int j = 0; j < nj; ++j) {
      const int c = static_cast<int>(u2(g + at + 2 * size_t(j)));
      d.thin_ptr.push_back(c);
      if (c > ni) ni = c;
    }
  }
  if (nj == 65535) return reject("Quasi-regular columns are not decoded", nj);
  if (ni < 1 || nj < 1 || ni > 2000 || nj > 2000)
    return reject(ni < 1 || ni > 2000 ? "Bad number of columns" : "Bad number of rows",
                  ni < 1 || ni > 2000 ? ni : nj);
  MESS_print(kTrace, "Number of gridpoints: %dx%d\n", ni, nj);
  DOM_init(&dom);
  dom.nx = ni;
  dom.ny = nj;
  const float la1 = deg(g + 10), lo1 = deg(g + 13);
  const int res = g[16];
  MESS_print(kTrace, "Res/comp flag: %X\n", res);
  d.lat = la1;
  if (rep == 0) {
    MESS_print(kTrace, "Lat-Lon Grid\n");
    const float la2 = deg(g + 17), lo2 = deg(g + 20);
    const unsigned di = u2(g + 23), dj = u2(g + 25);
    float span = d.xdir > 0 ? lo2 - lo1 : lo1 - lo2;
    if (span < 0) span += 360;
    if ((res & 0x80) && di != 65535 && dj != 65535) {
      dom.dx = static_cast<float>(di) / 1000.0f;
      dom.dy = static_cast<float>(dj) / 1000.0f;
    } else {
      dom.dy = nj > 1 ? std::fabs(la2 - la1) / static_cast<float>(nj - 1) : 0.0f;
      dom.dx = ni > 1 ? span / static_cast<float>(ni - 1) : dom.dy;
    }
    if (dom.dx > 30 && d.grid_id >= 37 && d.grid_id <= 44) dom.dx = 1.25f;
    const float west = d.xdir > 0 ? lo1 : lo1 - dom.dx * static_cast<float>(ni - 1);
    dom.proj = 2;
    dom.clon = wrap180(west + dom.dx * static_cast<float>(ni - 1) / 2);
    dom.clat = la1 + dom.dy * static_cast<float>(nj - 1) * static_cast<float>(d.ydir) / 2;
  } else if (rep == 1) {
    MESS_print(kTrace, "Mercator Grid\n");
    const float la2 = deg(g + 17), lo2 = deg(g + 20);
    float mid = lo1 > lo2 ? (lo1 - 360 + lo2) / 2 : (lo1 + lo2) / 2;
    if (mid < -180) mid += 360;
    dom.proj = 3;
    dom.plat = 0;
    dom.plon = mid;
    KeepProjection keep;
    Domain t = dom;
    t.clat = (la1 + la2) / 2;
    t.clon = mid;
    t.dx = t.dy = 1;
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0, clat = 0, clon = 0;
    if (MAP_domain(&t) != 0 || !MAP_tran(la1, lo1, &x1, &y1) || !MAP_tran(la2, lo2, &x2, &y2) ||
        !MAP_untran((x1 + x2) / 2, (y1 + y2) / 2, &clat, &clon))
      return reject("Mercator grid off its projection", rep);
    dom.dx = ni > 1 ? std::fabs(x2 - x1) / static_cast<float>(ni - 1) : 1.0f;
    dom.dy = nj > 1 ? std::fabs(y2 - y1) / static_cast<float>(nj - 1) : dom.dx;
    dom.clat = clat;
    dom.clon = wrap180(clon);
  } else {
    float lov = deg(g + 17);
    if (lov > 180) lov -= 360;
    const bool south = (g[26] & 0x80) != 0;  // projection centre flag
    dom.plon = lov;
    dom.plat = south ? -90.0f : 90.0f;
    dom.dx = static_cast<float>(u3(g + 20)) / 100000.0f;
    dom.dy = static_cast<float>(u3(g + 23)) / 100000.0f;
    if (rep == 3) {
      MESS_print(kTrace, "Lambert Conformal Grid\n");
      dom.proj = 4;
      dom.param[0] = deg(g + 28);
      dom.param[1] = deg(g + 31);
      dom.param[2] = 1.0f;
      MESS_print(kTrace, "Grid parallels: %3.2f N, %3.2f N\n", double(dom.param[0]),
                 double(dom.param[1]));
    } else {
      MESS_print(kTrace, "Polar Stereographic Grid\n");
      dom.proj = 1;
      dom.param[0] = south ? -60.0f : 60.0f;
    }
    if (!(dom.dx > 0) || !(dom.dy > 0)) return reject("Grid spacing of zero", rep);
    if (!centre_from_corner(dom, la1, lo1, d.xdir, d.ydir))
      return reject("Grid off its projection", rep);
  }
  MESS_print(kTrace, "Grid locate: %3.2f N, %3.2f E\n", double(dom.clat), double(dom.clon));
  MESS_print(kTrace, "Grid size: %3.2fx%3.2f\n", double(dom.dx), double(dom.dy));
  return GRIB_OK;
}

}  // namespace
}  // namespace kav::grib

using namespace kav::grib;

extern "C" {

static int grib_gdb_body(int grd_fd, GRD_report *grd) {
  if (!grd) return GRIB_FAIL;
  const int r = load_message(grd_fd, "GRIB_GDB");
  if (r != GRIB_OK) return r;
  Decoder &d = dec();
  if (d.mark != Mark::Grib || d.version > 1) return GRIB_REJECT;
  if (d.gds) {
    const int g = decode_gds(d.msg.data() + d.gds, d.gds_len, grd->domain);
    if (g != GRIB_OK) return g;
  } else if (d.by_columns || d.xdir < 0) {
    d.by_columns = false;
    d.xdir = 1;
  }
  const Domain &dom = grd->domain;
  if (dom.nx <= 0 || dom.ny <= 0) {
    MESS_print(M_WARN, "GRIB_GDB: Grid %d has no description and is not a known grid\n", d.grid_id);
    return GRIB_REJECT;
  }
  if (static_cast<long long>(dom.nx) * dom.ny > GRD_MAX_POINTS) {
    MESS_print(M_WARN, "GRIB_GDB: Grid of %dx%d points is too large\n", dom.nx, dom.ny);
    return GRIB_REJECT;
  }
  return GRIB_OK;
}

int GRIB_GDB(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_GDB", GRIB_FAIL, [&] { return grib_gdb_body(grd_fd, grd); });
}

}  // extern "C"

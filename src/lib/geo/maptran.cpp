// The current projection domain of the process and the transforms on it.
// The family of the domain's code is resolved and its constants derived
// once, when the domain (or its code, pole, true latitudes or view) is set;
// a transform is then a few checks and one call, with no allocation.
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/region.h>

#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

#include "geo/maptran_int.hpp"

namespace {

using namespace kav::proj;

constexpr float kFMiss = -9999.0f;

// Everything that makes a domain current; copied whole to save and restore.
struct Current {
  Domain domain{-9999, kFMiss, kFMiss, {kFMiss, 0, 0, 0, 0}, kFMiss, kFMiss, kFMiss, kFMiss,
                -9999, -9999,  0};  // the current domain
  const Family *fam = nullptr;      // its family; null with no projection or when refused
  bool refused = false;             // the domain was refused: every transform fails
  Consts c;                         // the derived constants, the limits and the view
};

// The module state.
struct State {
  Current cur;                // the current domain
  int grid_limit = 0;         // declutter cells per grid interval (0 off)
  std::vector<uint8_t> grid;  // declutter cells, 1 once an item took the cell
} g;

bool missing(float v) { return v == kFMiss; }
bool unusable(double v) { return !std::isfinite(v) || v == kMiss; }

void set_out(float *p, double v) {
  if (p) *p = static_cast<float>(v);
}

int fail2(float *a, float *b) {
  set_out(a, kMiss);
  set_out(b, kMiss);
  return 0;
}

// Into [-180, 180), for any finite value.
double wrap180(double v) {
  if (v >= -180 && v < 180) return v;
  v = std::fmod(v + 180, 360);
  if (v < 0) v += 360;
  return v - 180;
}

void clear_limits(MAP_limits *l) { l->x_min = l->x_max = l->y_min = l->y_max = kFMiss; }

bool limits_set(const MAP_limits &l) {
  return !missing(l.x_min) && !missing(l.x_max) && !missing(l.y_min) && !missing(l.y_max);
}

// Forward transform in double precision on the current domain.
int forward(const Current &cur, double a, double b, double *x, double *y) {
  const Family *f = cur.fam;
  if (!f || unusable(a) || unusable(b)) return 0;
  if (f->geographic) {
    if (a < -90 || a > 90) return 0;
    b = wrap180(b - cur.c.plon);
  }
  double u, v;
  if (!f->fwd(cur.c, a, b, &u, &v) || !std::isfinite(u) || !std::isfinite(v)) return 0;
  *x = u;
  *y = v;
  return 1;
}

int inverse(const Current &cur, double x, double y, double *a, double *b) {
  const Family *f = cur.fam;
  if (!f || unusable(x) || unusable(y)) return 0;
  double p, q;
  if (!f->inv(cur.c, x, y, &p, &q) || !std::isfinite(p) || !std::isfinite(q)) return 0;
  if (f->geographic) q = wrap180(q);
  *a = p;
  *b = q;
  return 1;
}

void set_corners(MAP_limits *l, double x1, double y1, double x2, double y2) {
  l->x_min = static_cast<float>(std::fmin(x1, x2));
  l->x_max = static_cast<float>(std::fmax(x1, x2));
  l->y_min = static_cast<float>(std::fmin(y1, y2));
  l->y_max = static_cast<float>(std::fmax(y1, y2));
}

// The limits of cur's domain, into cur.c.lim. False when they cannot be
// formed because a corner or the centre has no place on the projection.
// A geographic domain without a size gets unset limits (every point is in).
bool compute_limits(Current &cur) {
  const Domain &d = cur.domain;
  MAP_limits &l = cur.c.lim;
  clear_limits(&l);
  const Family *f = cur.fam;
  double xa, ya, xb, yb, xc, yc;
  switch (f->limits) {
    case Limits::Centred: {
      if (!forward(cur, d.clat, d.clon, &xc, &yc)) return false;
      if (missing(d.dx) || missing(d.dy) || d.nx == -9999 || d.ny == -9999) return true;
      const double hx = d.dx * ((d.nx - 1) / 2.0), hy = d.dy * ((d.ny - 1) / 2.0);
      set_corners(&l, xc - hx, yc - hy, xc + hx, yc + hy);
      return true;
    }
    case Limits::Corners:
      if (!forward(cur, d.clat, d.clon, &xa, &ya) ||
          !forward(cur, static_cast<double>(d.clat) + d.dx, static_cast<double>(d.clon) + d.dy, &xb,
                   &yb))
        return false;
      set_corners(&l, xa, ya, xb, yb);
      return true;
    case Limits::Diagram:
      if (!forward(cur, d.clat, d.clon, &xa, &ya) ||
          !forward(cur, static_cast<double>(d.clat) + d.dx, d.clon, &xb, &yb) ||
          !forward(cur, d.clat, static_cast<double>(d.clon) + d.dy, &xc, &yc))
        return false;
      set_corners(&l, xa, ya, xb, yc);
      return true;
    case Limits::Plain:
      if (missing(d.clat) || missing(d.clon) || missing(d.dx) || missing(d.dy)) return false;
      set_corners(&l, d.clat, d.clon, static_cast<double>(d.clat) + d.dx,
                  static_cast<double>(d.clon) + d.dy);
      return true;
    case Limits::Linear:
    case Limits::Reversed: {
      if (missing(d.clat) || missing(d.clon) || d.nx == -9999 || d.ny == -9999) return false;
      const double y0 = f->limits == Limits::Linear ? d.clon : -static_cast<double>(d.clon);
      set_corners(&l, d.clat, y0, static_cast<double>(d.clat) + d.nx, y0 + d.ny);
      return true;
    }
  }
  return false;
}

// Derives the constants and the limits of cur.domain (its pole filled in).
// False, with a message naming the reason, when the domain cannot be used.
bool derive(Current &cur, bool with_limits, const char *func) {
  Domain &d = cur.domain;
  Consts &c = cur.c;
  c.proj = d.proj;
  c.plat = d.plat;
  c.plon = d.plon;
  c.ellipse = d.ellipse;
  c.earth_ratio2 = (kEarthMin / kEarthMaj) * (kEarthMin / kEarthMaj);
  cur.refused = false;
  cur.fam = nullptr;
  if (d.proj == -9999) return true;
  const Family *f = find(d.proj);
  if (!f || !f->fwd) {
    MESS_print(M_WARN, "%s: Projection %d has no transform\n", func, d.proj);
    cur.refused = true;
    return false;
  }
  if (f->geographic && missing(d.plat) && d.proj == 5) {
    d.plat = 0;
    c.plat = 0;
  }
  if (f->geographic && (unusable(c.plat) || unusable(c.plon))) {
    MESS_print(M_WARN, "%s: The domain has no centre: %d\n", func, d.proj);
    cur.refused = true;
    return false;
  }
  cur.fam = f;
  c.unskewed = true;
  if (!f->init(c, d)) {
    MESS_print(M_WARN, "%s: The parameters of projection %d give no map\n", func, d.proj);
    cur.fam = nullptr;
    cur.refused = true;
    return false;
  }
  if (with_limits && !compute_limits(cur)) {
    MESS_print(M_WARN, "%s: The centre or a corner of the domain is not on projection %d\n", func,
               d.proj);
    clear_limits(&c.lim);
    cur.fam = nullptr;
    cur.refused = true;
    return false;
  }
  c.unskewed = false;
  f->init(c, d);
  return true;
}

// True latitudes from the domain's parameters.
void set_true_lats(Current &cur) {
  const Domain &d = cur.domain;
  Consts &c = cur.c;
  if (d.proj == 1) {
    c.tlat1 = d.plat < 0 ? -60 : 60;
    if (!missing(d.param[0])) c.tlat1 = d.param[0];
  } else if (d.proj == 4) {
    c.tlat1 = 30;
    c.tlat2 = 60;
    if (!missing(d.param[0])) {
      c.tlat1 = d.param[0];
      c.tlat2 = missing(d.param[1]) ? d.param[0] : d.param[1];
    }
  }
}

// Makes *dom current in cur: 0, or -1 when refused.
int set_domain(Current &cur, const Domain &dom, const char *func) {
  cur.domain = dom;
  if (missing(cur.domain.plat)) cur.domain.plat = cur.domain.clat;
  if (missing(cur.domain.plon)) cur.domain.plon = cur.domain.clon;
  clear_limits(&cur.c.lim);
  set_true_lats(cur);
  return derive(cur, true, func) ? 0 : -1;
}

// True direction at plane point (x, y) found numerically: the plot angle of
// a 1 km step towards dir.
double numeric_dir(const Current &cur, double dir, double x, double y) {
  double lat, lon, x2, y2;
  if (!inverse(cur, x, y, &lat, &lon)) return kMiss;
  const double cl = std::cos(kD * lat);
  if (cl < 1e-9) return kMiss;
  const double lon2 = lon + std::sin(kD * dir) / (cl * kKmPerDeg);
  const double lat2 = lat + std::cos(kD * dir) / kKmPerDeg;
  if (!forward(cur, lat2, lon2, &x2, &y2)) return kMiss;
  return std::atan2(x2 - x, y2 - y) * kR2D;
}

// The reverse: the true direction of a 1 km step on the plot towards dir.
double numeric_undir(const Current &cur, double dir, double x, double y) {
  double lat, lon, lat2, lon2;
  const double step = 0.01;
  if (!inverse(cur, x, y, &lat, &lon)) return kMiss;
  if (!inverse(cur, x + step * std::sin(kD * dir), y + step * std::cos(kD * dir), &lat2, &lon2))
    return kMiss;
  const double east = wrap180(lon2 - lon) * std::cos(kD * lat), north = lat2 - lat;
  if (east == 0 && north == 0) return kMiss;
  return std::atan2(east, north) * kR2D;
}

bool numeric_code(int proj) { return proj == 5 || proj == 7 || proj == 8 || proj == 9; }

double dir_adj(const Current &cur, double dir, double x, double y) {
  if (unusable(dir) || unusable(x) || unusable(y)) return kMiss;
  if (cur.refused) return kMiss;
  const Consts &c = cur.c;
  switch (cur.domain.proj) {
    case 1:
      if (x == 0 && y == 0) return c.plat >= 0 ? dir - c.plon : dir + c.plon;
      return c.plat >= 0 ? dir - std::atan2(x, -y) * kR2D : dir + std::atan2(x, y) * kR2D;
    case 4:
      return dir - c.scale * std::atan2(x, -c.scale * y) * kR2D;
    case 5:
    case 7:
    case 8:
    case 9:
      return numeric_dir(cur, dir, x, y);
    default:
      return dir;
  }
}

}  // namespace

extern "C" {

int MAP_domain(const Domain *dom) KAV_NOEXCEPT {
  if (!dom) {
    g.cur = Current{};
    return -1;
  }
  return set_domain(g.cur, *dom, "MAP_domain");
}

Domain *MAP_get_domain(Domain *dom) KAV_NOEXCEPT {
  if (!dom) return &g.cur.domain;
  *dom = g.cur.domain;
  return dom;
}

int MAP_proj(int proj) KAV_NOEXCEPT {
  g.cur.domain.proj = proj;
  set_true_lats(g.cur);
  return derive(g.cur, false, "MAP_proj") ? 0 : -1;
}

int MAP_get_proj(void) KAV_NOEXCEPT { return g.cur.domain.proj; }
float MAP_get_clat(void) KAV_NOEXCEPT { return g.cur.domain.clat; }
float MAP_get_clon(void) KAV_NOEXCEPT { return g.cur.domain.clon; }

int MAP_coord(float rlat, float rlon) KAV_NOEXCEPT {
  g.cur.domain.plat = rlat;
  g.cur.domain.plon = rlon;
  set_true_lats(g.cur);
  return derive(g.cur, false, "MAP_coord") ? 0 : -1;
}

int MAP_proj_coord(const float *value) KAV_NOEXCEPT {
  if (!value || g.cur.domain.proj != 4) return -1;
  g.cur.domain.param[0] = value[0];
  g.cur.domain.param[1] = value[1];
  set_true_lats(g.cur);
  return derive(g.cur, true, "MAP_proj_coord") ? 0 : -1;
}

int MAP_proj_str(const char *proj) KAV_NOEXCEPT { return DOM_proj_str(proj); }

int MAP_print_domain(void) KAV_NOEXCEPT { return DOM_print(M_PRINT, &g.cur.domain); }

int MAP_set_limits(void) KAV_NOEXCEPT {
  Current &cur = g.cur;
  if (!cur.fam) {
    clear_limits(&cur.c.lim);
    return cur.domain.proj == -9999 ? 0 : -1;
  }
  cur.c.unskewed = true;
  cur.fam->init(cur.c, cur.domain);
  const bool ok = compute_limits(cur);
  if (!ok) clear_limits(&cur.c.lim);
  cur.c.unskewed = false;
  cur.fam->init(cur.c, cur.domain);
  return ok ? 0 : -1;
}

int MAP_get_limits(MAP_limits *lim) KAV_NOEXCEPT {
  if (!lim) return -1;
  *lim = g.cur.c.lim;
  return 0;
}

int MAP_set_view(const MAP_limits *vp) KAV_NOEXCEPT {
  if (!vp) return -1;
  g.cur.c.view = *vp;
  if (g.cur.fam) g.cur.fam->init(g.cur.c, g.cur.domain);
  return 0;
}

int MAP_get_up_left(float *x, float *y) KAV_NOEXCEPT {
  set_out(x, g.cur.c.lim.x_min);
  set_out(y, g.cur.c.lim.y_max);
  return 0;
}

int MAP_tran_center(float *x, float *y) KAV_NOEXCEPT {
  return MAP_tran(g.cur.domain.clat, g.cur.domain.clon, x, y);
}

int MAP_tran(float lat, float lon, float *x, float *y) KAV_NOEXCEPT {
  const Current &cur = g.cur;
  if (!cur.fam && !cur.refused) {
    set_out(x, lat);
    set_out(y, lon);
    return 1;
  }
  double u, v;
  if (!forward(cur, lat, lon, &u, &v)) return fail2(x, y);
  set_out(x, u);
  set_out(y, v);
  return 1;
}

int MAP_untran(float x, float y, float *lat, float *lon) KAV_NOEXCEPT {
  const Current &cur = g.cur;
  if (!cur.fam && !cur.refused) {
    set_out(lat, x);
    set_out(lon, y);
    return 1;
  }
  double a, b;
  if (!inverse(cur, x, y, &a, &b)) return fail2(lat, lon);
  set_out(lat, a);
  set_out(lon, b);
  return 1;
}

int MAP_tran_ep(EarthPoint ept, Point *pt) KAV_NOEXCEPT {
  return MAP_tran(ept.lat, ept.lon, pt ? &pt->x : nullptr, pt ? &pt->y : nullptr);
}

int MAP_tran_pe(Point pt, EarthPoint *ept) KAV_NOEXCEPT {
  return MAP_untran(pt.x, pt.y, ept ? &ept->lat : nullptr, ept ? &ept->lon : nullptr);
}

int MAP_grid_tran(float gx, float gy, float *x, float *y) KAV_NOEXCEPT {
  const Domain &d = g.cur.domain;
  const MAP_limits &l = g.cur.c.lim;
  if (missing(gx) || missing(gy) || !limits_set(l) || missing(d.dx) || missing(d.dy)) {
    fail2(x, y);
    return -1;
  }
  set_out(x, l.x_min + static_cast<double>(d.dx) * gx);
  set_out(y, l.y_max - static_cast<double>(d.dy) * gy);
  return 0;
}

int MAP_grid_untran(float x, float y, float *gx, float *gy) KAV_NOEXCEPT {
  const Domain &d = g.cur.domain;
  const MAP_limits &l = g.cur.c.lim;
  if (missing(x) || missing(y) || !limits_set(l) || missing(d.dx) || missing(d.dy) || d.dx == 0 ||
      d.dy == 0) {
    fail2(gx, gy);
    return -1;
  }
  set_out(gx, (static_cast<double>(x) - l.x_min) / d.dx);
  set_out(gy, (static_cast<double>(l.y_max) - y) / d.dy);
  return 0;
}

int MAP_in_domain(float x, float y) KAV_NOEXCEPT {
  const Current &cur = g.cur;
  if (cur.domain.proj == -9999 && !cur.refused) return 1;
  if (cur.refused || missing(x) || missing(y)) return 0;
  const MAP_limits &l = cur.c.lim;
  if (!limits_set(l)) return 1;
  return x >= l.x_min && x <= l.x_max && y >= l.y_min && y <= l.y_max ? 1 : 0;
}

int MAP_in_grid_domain(float x, float y) KAV_NOEXCEPT {
  const Current &cur = g.cur;
  if (cur.domain.proj == -9999 && !cur.refused) return 1;
  if (cur.refused || missing(x) || missing(y)) return 0;
  const MAP_limits &l = cur.c.lim;
  if (!limits_set(l)) return 1;
  const double wx = missing(cur.domain.dx) ? 0 : 3.0 * std::fabs(cur.domain.dx);
  const double wy = missing(cur.domain.dy) ? 0 : 3.0 * std::fabs(cur.domain.dy);
  return x >= l.x_min - wx && x <= l.x_max + wx && y >= l.y_min - wy && y <= l.y_max + wy ? 1 : 0;
}

int MAP_domain_tran(const Domain *domain1, const Domain *domain2, float x1, float y1, float *x2,
                    float *y2) KAV_NOEXCEPT {
  if (!domain1 || !domain2) {
    fail2(x2, y2);
    return -1;
  }
  if (DOM_comp(domain1, domain2)) {
    set_out(x2, x1);
    set_out(y2, y1);
    return 0;
  }
  Current one, two;
  double lat, lon, u, v;
  if (set_domain(one, *domain1, "MAP_domain_tran") != 0 ||
      set_domain(two, *domain2, "MAP_domain_tran") != 0) {
    fail2(x2, y2);
    return -1;
  }
  // A domain without projection passes the point through as latitude and
  // longitude.
  if (one.fam) {
    if (!inverse(one, x1, y1, &lat, &lon)) {
      fail2(x2, y2);
      return -1;
    }
  } else {
    lat = x1;
    lon = y1;
  }
  if (two.fam) {
    if (!forward(two, lat, lon, &u, &v)) {
      fail2(x2, y2);
      return -1;
    }
  } else {
    u = lat;
    v = lon;
  }
  set_out(x2, u);
  set_out(y2, v);
  return 0;
}

int MAP_offset(float xi, float yi, float dir, float rad, float *xf, float *yf) KAV_NOEXCEPT {
  float lat, lon;
  if (!MAP_untran(xi, yi, &lat, &lon) || unusable(dir) || unusable(rad)) return fail2(xf, yf);
  const double cl = std::cos(kD * lat);
  if (cl < 1e-9) return fail2(xf, yf);
  const double lon2 = lon + rad * std::sin(kD * dir) / (cl * kKmPerDeg);
  const double lat2 = lat + rad * std::cos(kD * dir) / kKmPerDeg;
  return MAP_tran(static_cast<float>(lat2), static_cast<float>(lon2), xf, yf);
}

float MAP_factor(float lat, float lon) KAV_NOEXCEPT {
  const Current &cur = g.cur;
  if (unusable(lat) || unusable(lon) || lat < -90 || lat > 90) return kFMiss;
  if (cur.refused) return kFMiss;
  const Consts &c = cur.c;
  if (cur.domain.proj == 1 && cur.fam) {
    const double den = 1 - c.scale * std::sin(kD * lat);
    if (den <= 1e-12) return kFMiss;
    return static_cast<float>((1 + std::sin(kD * std::fabs(c.tlat1))) / den);
  }
  if (cur.domain.proj == 4 && cur.fam) {
    if (!missing(cur.domain.param[2])) return cur.domain.param[2];
    const double k = lambert_scale(c, lat);
    return k == kMiss || !std::isfinite(k) ? kFMiss : static_cast<float>(k);
  }
  return 1.0f;
}

float MAP_dir_adj(float dir, float x, float y) KAV_NOEXCEPT {
  return static_cast<float>(dir_adj(g.cur, dir, x, y));
}

float MAP_undir_adj(float dir, float x, float y) KAV_NOEXCEPT {
  if (unusable(dir) || unusable(x) || unusable(y) || g.cur.refused) return kFMiss;
  // Off the conformal maps a plot direction is no turned true direction.
  if (numeric_code(g.cur.domain.proj)) return static_cast<float>(numeric_undir(g.cur, dir, x, y));
  const double turn = dir_adj(g.cur, 0, x, y);
  if (turn == kMiss) return kFMiss;
  return static_cast<float>(dir - turn);
}

float MAP_uvdir_adj(float, float, float x, float y) KAV_NOEXCEPT {
  if (g.cur.domain.proj != 1) return 0;
  return static_cast<float>(dir_adj(g.cur, 0, x, y));
}

float MAP_dir(float x1, float y1, float x2, float y2) KAV_NOEXCEPT {
  if (unusable(x1) || unusable(y1) || unusable(x2) || unusable(y2)) return kFMiss;
  double d = std::atan2(static_cast<double>(x2) - x1, static_cast<double>(y2) - y1) * kR2D;
  if (g.cur.domain.proj == 1 && g.cur.fam) {
    if (g.cur.c.plat >= 0)
      d += std::atan2(x1, -y1) * kR2D;
    else
      d -= std::atan2(x1, y1) * kR2D;
  }
  return static_cast<float>(d);
}

int MAP_set_plot_limit(int val) KAV_NOEXCEPT {
  g.grid_limit = val;
  return 0;
}

int MAP_plot_grid_init(void) KAV_NOEXCEPT {
  g.grid.clear();
  g.grid.shrink_to_fit();
  const Domain &d = g.cur.domain;
  if (d.nx < 1 || d.ny < 1) return -1;
  const int64_t l = g.grid_limit > 1 ? g.grid_limit : 1;
  const int64_t cells = static_cast<int64_t>(d.nx) * l * static_cast<int64_t>(d.ny) * l;
  // A declutter grid finer than this serves no plot. A cell is taken or
  // free, so it costs one byte: 64 MiB at the most.
  constexpr int64_t kMaxCells = 1 << 26;
  if (cells > kMaxCells) {
    MESS_print(M_WARN, "MAP_plot_grid_init: Declutter grid too large: %lld cells\n",
               static_cast<long long>(cells));
    return -1;
  }
  try {
    g.grid.assign(static_cast<size_t>(cells), 0);
  } catch (const std::bad_alloc &) {
    g.grid.clear();
    return -1;
  }
  return 0;
}

int MAP_plot_grid(float x, float y) KAV_NOEXCEPT {
  if (g.grid_limit == 0 || g.grid.empty()) return 1;
  float gxf, gyf;
  if (MAP_grid_untran(x, y, &gxf, &gyf) != 0) return 0;
  const Domain &d = g.cur.domain;
  const double gx = gxf, gy = gyf;
  if (!(gx >= 0 && gx <= d.nx - 1 && gy >= 0 && gy <= d.ny - 1)) return 0;
  if (g.grid_limit == -1) return 1;
  int64_t cell;
  if (g.grid_limit > 0) {
    const double l = g.grid_limit;
    cell = static_cast<int64_t>(gx * l) +
           static_cast<int64_t>(gy * l) * d.nx * static_cast<int64_t>(g.grid_limit);
  } else {
    const double f = -static_cast<double>(g.grid_limit);
    cell = static_cast<int64_t>(gx / f) + static_cast<int64_t>(gy / f) * d.nx;
  }
  if (cell < 0 || cell >= static_cast<int64_t>(g.grid.size())) return 0;
  uint8_t &taken = g.grid[static_cast<size_t>(cell)];
  if (taken) return 0;
  taken = 1;
  return 1;
}

int MAP_proj_entry(int i, int *code, const char **name, int *has_transform) KAV_NOEXCEPT {
  std::size_t n;
  const Family *const *t = rows(&n);
  if (i < 0 || static_cast<std::size_t>(i) >= n) return 0;
  if (code) *code = t[i]->code;
  if (name) *name = t[i]->name;
  if (has_transform) *has_transform = t[i]->fwd ? 1 : 0;
  return 1;
}

}  // extern "C"

// The thermodynamic diagrams: skew-T log-p (40), Stuve (41), emagram (42),
// tephigram rotated by 45 degrees (43) and unrotated (44). Inputs are the
// temperature in degrees Celsius and the pressure in mb.
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

// The exponent of potential temperature (R/cp) and of the Stuve axis.
constexpr double kKappa = 0.286;
constexpr double kStuve = 0.285714;

// The device rectangle's width and height; an unset or empty view counts as
// the unit square, so the constants never divide by zero.
void view_size(const Consts &c, double *w, double *h, double *x0, double *y0) {
  const MAP_limits &v = c.view;
  const float m = static_cast<float>(kMiss);
  *w = static_cast<double>(v.x_max) - v.x_min;
  *h = static_cast<double>(v.y_max) - v.y_min;
  *x0 = v.x_min;
  *y0 = v.y_min;
  if (v.x_min == m || v.x_max == m || v.y_min == m || v.y_max == m || *w == 0 || *h == 0 ||
      !std::isfinite(*w) || !std::isfinite(*h)) {
    *w = *h = 1;
    *x0 = *y0 = 0;
  }
}

bool no_init(Consts &, const Domain &) { return true; }

// scale: the bottom of the diagram (y_min); xfactor: the skew that makes an
// isotherm rise at 45 degrees on the device (0 while limits are computed).
bool skewt_init(Consts &c, const Domain &) {
  c.xfactor = 0;
  c.scale = 0;
  if (c.unskewed) return true;
  double w, h, x0, y0;
  view_size(c, &w, &h, &x0, &y0);
  const double span = static_cast<double>(c.lim.y_max) - c.lim.y_min;
  c.scale = c.lim.y_min;
  c.xfactor = span != 0 ? (static_cast<double>(c.lim.x_max) - c.lim.x_min) * (h / w) / span : 0;
  return true;
}

int skewt_fwd(const Consts &c, double t, double p, double *x, double *y) {
  if (p <= 0) return 0;
  *y = -std::log(p);
  *x = t + c.xfactor * (*y - c.scale);
  return 1;
}

int skewt_inv(const Consts &c, double x, double y, double *t, double *p) {
  *t = x - c.xfactor * (y - c.scale);
  *p = std::exp(-y);
  return 1;
}

int stuve_fwd(const Consts &, double t, double p, double *x, double *y) {
  if (p <= 0) return 0;
  *x = t;
  *y = -std::pow(p, kStuve);
  return 1;
}

int stuve_inv(const Consts &, double x, double y, double *t, double *p) {
  if (y > 0) return 0;
  *t = x;
  *p = std::pow(-y, 1 / kStuve);
  return 1;
}

int ema_fwd(const Consts &, double t, double p, double *x, double *y) {
  if (p <= 0) return 0;
  *x = t;
  *y = -std::log(p);
  return 1;
}

int ema_inv(const Consts &, double x, double y, double *t, double *p) {
  *t = x;
  *p = std::exp(-y);
  return 1;
}

// ln of the potential temperature of t (Celsius) at p; false when either
// gives no potential temperature.
bool log_theta(double t, double p, double *g) {
  const double tk = t + 273.15;
  if (tk <= 0 || p <= 0) return false;
  *g = std::log(tk * std::pow(1000 / p, kKappa));
  return true;
}

// The pressure at which t (Celsius) has the potential temperature exp(g).
bool pressure_of(double t, double g, double *p) {
  const double tk = t + 273.15;
  if (tk <= 0) return false;
  *p = 1000 * std::pow(tk / std::exp(g), 1 / kKappa);
  return std::isfinite(*p);
}

// xfactor, yfactor: device units per plot unit in x and y (0 while limits
// are computed: the diagram is then unrotated, y the log of pressure).
bool teph_init(Consts &c, const Domain &) {
  c.xfactor = c.yfactor = 0;
  if (c.unskewed) return true;
  double w, h, x0, y0;
  view_size(c, &w, &h, &x0, &y0);
  const double xs = static_cast<double>(c.lim.x_max) - c.lim.x_min;
  const double ys = static_cast<double>(c.lim.y_max) - c.lim.y_min;
  c.xfactor = xs != 0 ? w / xs : 1;
  c.yfactor = ys != 0 ? h / ys : 1;
  return true;
}

int teph_fwd(const Consts &c, double t, double p, double *x, double *y) {
  if (c.xfactor == 0) {
    if (p <= 0) return 0;
    *x = t;
    *y = std::log(p);
    return 1;
  }
  double g;
  if (!log_theta(t, p, &g)) return 0;
  double w, h, vx, vy;
  view_size(c, &w, &h, &vx, &vy);
  const double u = c.xfactor * (t - c.lim.x_min) + vx;
  const double v = c.yfactor * (g - c.lim.y_min) + vy;
  const double ur = (u + vx) / 2 + (v - vy) / 2;
  const double vr = v - (ur - vx);
  *x = c.lim.x_min + (ur - vx) / c.xfactor;
  *y = c.lim.y_min + (vr - vy) / c.yfactor;
  return 1;
}

int teph_inv(const Consts &c, double x, double y, double *t, double *p) {
  if (c.xfactor == 0) {
    *t = x;
    *p = std::exp(y);
    return 1;
  }
  double w, h, vx, vy;
  view_size(c, &w, &h, &vx, &vy);
  const double u = c.xfactor * (x - c.lim.x_min) + vx;
  const double v = c.yfactor * (y - c.lim.y_min) + vy;
  const double vr = (u - vx) + v;
  const double ur = 2 * u - (vr - vy) - vx;
  *t = c.lim.x_min + (ur - vx) / c.xfactor;
  return pressure_of(*t, c.lim.y_min + (vr - vy) / c.yfactor, p) ? 1 : 0;
}

int rteph_fwd(const Consts &, double t, double p, double *x, double *y) {
  double g;
  if (!log_theta(t, p, &g)) return 0;
  *x = t;
  *y = g;
  return 1;
}

int rteph_inv(const Consts &, double x, double y, double *t, double *p) {
  *t = x;
  return pressure_of(x, y, p) ? 1 : 0;
}

const Accepted kSkewNames[] = {{"skewt", false}, {"therm", false}, {nullptr, false}};
const Accepted kStuveNames[] = {{"stuve", false}, {nullptr, false}};
const Accepted kEmaNames[] = {{"ema", false}, {nullptr, false}};
const Accepted kTephNames[] = {{"teph", false}, {nullptr, false}};
const Accepted kRtephNames[] = {{"rteph", false}, {nullptr, false}};

}  // namespace

const Family kSkewT = {40,        "skewt",   kSkewNames, false, Limits::Diagram,
                       skewt_fwd, skewt_inv, skewt_init};
const Family kStuve = {41,        "stuve",   kStuveNames, false, Limits::Corners,
                       stuve_fwd, stuve_inv, no_init};
const Family kEmagram = {42, "ema", kEmaNames, false, Limits::Corners, ema_fwd, ema_inv, no_init};
const Family kTephigram = {43,       "teph",   kTephNames, false, Limits::Diagram,
                           teph_fwd, teph_inv, teph_init};
const Family kTephigramFlat = {44,        "rteph",   kRtephNames, false, Limits::Diagram,
                               rteph_fwd, rteph_inv, no_init};

}  // namespace kav::proj

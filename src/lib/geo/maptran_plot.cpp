// The plot codes: pixel (image) coordinates (99), linear x-y plots (20, 24,
// and 25 with the y axis reversed), value against minus the logarithm of
// pressure (22) and the polar (direction, speed) diagram (23).
#include <cmath>

#include "geo/maptran_int.hpp"

namespace kav::proj {
namespace {

bool no_init(Consts &, const Domain &) { return true; }

int pixel_fwd(const Consts &, double a, double b, double *x, double *y) {
  *x = a;
  *y = -b;
  return 1;
}

int pixel_inv(const Consts &, double x, double y, double *a, double *b) {
  *a = x;
  *b = -y;
  return 1;
}

// xfactor, yfactor: plot span over data span (nx/dx, ny/dy).
bool linear_init(Consts &c, const Domain &dom) {
  if (dom.dx == 0 || dom.dy == 0 || dom.dx == static_cast<float>(kMiss) ||
      dom.dy == static_cast<float>(kMiss) || dom.nx == -9999 || dom.ny == -9999)
    return false;
  c.xfactor = static_cast<double>(dom.nx) / dom.dx;
  c.yfactor = static_cast<double>(dom.ny) / dom.dy;
  return c.xfactor != 0 && c.yfactor != 0;
}

int linear_fwd(const Consts &c, double a, double b, double *x, double *y) {
  *x = c.lim.x_min + (a - c.lim.x_min) * c.xfactor;
  *y = c.lim.y_min + (b - c.lim.y_min) * c.yfactor;
  return 1;
}

int linear_inv(const Consts &c, double x, double y, double *a, double *b) {
  *a = c.lim.x_min + (x - c.lim.x_min) / c.xfactor;
  *b = c.lim.y_min + (y - c.lim.y_min) / c.yfactor;
  return 1;
}

int reversed_fwd(const Consts &c, double a, double b, double *x, double *y) {
  *x = c.lim.x_min + (a - c.lim.x_min) * c.xfactor;
  *y = c.lim.y_min + (c.lim.y_min - b) * c.yfactor;
  return 1;
}

int reversed_inv(const Consts &c, double x, double y, double *a, double *b) {
  *a = c.lim.x_min + (x - c.lim.x_min) / c.xfactor;
  *b = c.lim.y_min + (c.lim.y_min - y) / c.yfactor;
  return 1;
}

int logp_fwd(const Consts &, double a, double b, double *x, double *y) {
  if (b <= 0) return 0;
  *x = a;
  *y = -std::log(b);
  return 1;
}

int logp_inv(const Consts &, double x, double y, double *a, double *b) {
  *a = x;
  *b = std::exp(-y);
  return 1;
}

int hodo_fwd(const Consts &, double dir, double speed, double *x, double *y) {
  *x = speed * std::sin(kD * dir);
  *y = speed * std::cos(kD * dir);
  return 1;
}

int hodo_inv(const Consts &, double x, double y, double *dir, double *speed) {
  double d = (x == 0 && y == 0) ? 0.0 : std::atan2(x, y) * kR2D;
  if (d < 0) d += 360;
  *dir = d;
  *speed = std::hypot(x, y);
  return 1;
}

const Accepted kPixelNames[] = {{"pix", false}, {nullptr, false}};
const Accepted kXYNames[] = {{"xy", false}, {nullptr, false}};
const Accepted kLogPNames[] = {
    {"xlogy", false}, {"xlogp", false}, {"vert", false}, {nullptr, false}};
const Accepted kCatNames[] = {{"cat", false}, {nullptr, false}};
const Accepted kReversedNames[] = {{"xp", true}, {nullptr, false}};
const Accepted kHodoNames[] = {{"hodo", false}, {nullptr, false}};

}  // namespace

const Family kPixel = {99,        "pixel",   kPixelNames, false, Limits::Corners,
                       pixel_fwd, pixel_inv, no_init};
const Family kXY = {20, "xy", kXYNames, false, Limits::Linear, linear_fwd, linear_inv, linear_init};
const Family kCategory = {24,         "cat",      kCatNames,  false, Limits::Linear,
                          linear_fwd, linear_inv, linear_init};
const Family kReversed = {25,           "xp",         kReversedNames, false, Limits::Reversed,
                          reversed_fwd, reversed_inv, linear_init};
const Family kLogP = {22, "xlogp", kLogPNames, false, Limits::Corners, logp_fwd, logp_inv, no_init};
const Family kHodograph = {23,       "hodo",   kHodoNames, false, Limits::Plain,
                           hodo_fwd, hodo_inv, no_init};

}  // namespace kav::proj

// GRIB edition-2 products: the fixed surfaces of a product made into the
// record's level type and level, and forecast times made into hours.
#include <kav/mess.h>

#include <climits>
#include <cmath>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {
namespace {

constexpr double kNone = -9999.0;

// A whole number of a level, bounded to the int range; kNone for what is
// not a number.
int to_int(double v) {
  if (!std::isfinite(v)) return KAV_IMISSING;
  if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (v <= -static_cast<double>(INT_MAX)) return -INT_MAX;
  return static_cast<int>(v);
}

// A surface value (4 octets, sign and magnitude) at octet n with the scale
// factor at octet n - 1: kNone when either is missing.
double surface_value(const Sect &s, size_t n) {
  const unsigned scale = s.u1(n - 1);
  if (scale == 255 || (s.u1(n) == 255 && s.u1(n + 1) == 255)) return kNone;
  return static_cast<double>(s.s4(n)) * std::pow(10.0, -s.s1(n - 1));
}

int trunc(double v) { return to_int(v); }

// Two parts of a layer, a * 1000 + b, kept inside the int range.
int join(int a, int b) {
  const long long v = static_cast<long long>(a) * 1000LL + b;
  if (v > INT_MAX) return INT_MAX;
  if (v < -INT_MAX) return -INT_MAX;
  return static_cast<int>(v);
}

}  // namespace

long to_hours(int unit, long value) {
  switch (unit) {
    case 0:
      return value / 60;  // minutes
    case 2:
      return value + 800;  // days, in the time-label form
    case 3:
      return value + 900;  // months
    case 10:
      return value * 3;
    case 11:
      return value * 6;
    case 12:
      return value * 12;
    case 13:
      return value / 3600;  // seconds
    default:
      return value;
  }
}

void product_level(const Sect &s, bool variant_b, Product &pr) {
  const int t1 = static_cast<int>(s.u1(23)), t2 = static_cast<int>(s.u1(29));
  double p = surface_value(s, 25), q = surface_value(s, 31);
  const bool layer = t2 != 255;
  if (p == kNone) p = 0;  // a surface without a value (ground, sea level, ...)
  if (q == kNone) q = 0;
  int ltype = t1, level = trunc(p);
  switch (t1) {
    case 100:
      ltype = layer ? 101 : 100;
      level = layer ? join(trunc(p / 1000), trunc(q / 1000)) : trunc(p / 100);
      break;
    case 101:
      ltype = 102;
      level = 0;
      break;
    case 102:
      ltype = layer ? 104 : 103;
      level = layer ? join(trunc(p / 100), trunc(q / 100)) : trunc(p);
      break;
    case 103:
      ltype = layer ? 106 : 105;
      level = layer ? join(trunc(p / 100), trunc(q / 100)) : trunc(variant_b ? p : p + 0.5);
      break;
    case 104:
      ltype = layer ? 108 : 107;
      if (variant_b)
        level = layer ? join(trunc(p), trunc(q)) : trunc(p / 100);
      else
        level =
            layer ? join(trunc(100 * p + 0.01), trunc(100 * q + 0.01)) : trunc(10000 * p + 0.01);
      break;
    case 105:
      ltype = 109;
      break;
    case 106:
      ltype = layer ? 112 : 111;
      if (variant_b)
        level = trunc(p);
      else
        level = layer ? join(trunc(100 * p + 0.01), trunc(100 * q + 0.01)) : trunc(100 * p + 0.01);
      break;
    case 107:
      ltype = layer ? 114 : 113;
      break;
    case 108:
      ltype = layer ? 116 : 115;
      if (variant_b)
        level = layer ? join(trunc(100 * p), trunc(100 * q)) : trunc(100 * p);
      else
        level = layer ? join(trunc(p / 100), trunc(q / 100)) : trunc(p / 100);
      break;
    case 109:
      // Potential vorticity in units of 10^-6 K m2 kg-1 s-1; negative on
      // the southern hemisphere.
      if (variant_b) {
        ltype = 130;
        level = trunc(1000000 * p + 0.0005);
      } else {
        ltype = 117;
        level = trunc(1000000 * p + (p < 0 ? -0.01 : 0.01));
      }
      break;
    case 111:
      ltype = variant_b ? (layer ? 118 : 117) : (layer ? 120 : 119);
      break;
    default:
      break;
  }
  // Sums of two truncated parts can leave the int range only through the
  // bound above; keep the result defined.
  pr.ltype = ltype;
  pr.level = level;
  MESS_print(0x40000000u, "LEV %d %d %f %f\n", t1, t2, p, q);
}

}  // namespace kav::grib2

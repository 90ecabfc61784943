// GRIB edition-2 product templates at a fixed time: 4.0 analysis or
// forecast, 4.1 ensemble member, 4.2 derived from an ensemble, 4.5
// probability; and the local template 50008.
#include <kav/mess.h>

#include <climits>
#include <cmath>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {
namespace {

int bounded(long long v) {
  if (v > INT_MAX) return INT_MAX;
  if (v < -INT_MAX) return -INT_MAX;
  return static_cast<int>(v);
}

// A probability limit: value at octet n, scale factor at octet n - 1.
float limit(const Sect &s, size_t n) {
  if (s.u1(n) == 255 && s.u1(n + 1) == 255) return kMiss;
  const double v = static_cast<double>(s.s4(n)) * std::pow(10.0, -s.s1(n - 1));
  return std::isfinite(v) && std::fabs(v) < 1e30 ? static_cast<float>(v) : kMiss;
}

}  // namespace

int product_fixed(const Sect &s, const ProductContext &ctx, Product &pr) {
  static const size_t need[] = {34, 37, 36, 0, 0, 47};
  const int t = pr.tmpl;
  if (t < 0 || t > 5 || need[t] == 0 || !s.has(need[t])) {
    MESS_print(M_WARN, "GRIB_PDS: Product definition template 4.%d of %lu octets is too short\n", t,
               static_cast<unsigned long>(s.len));
    return -1;
  }
  pr.var = param_var(ctx.centre, ctx.discipline, static_cast<int>(s.u1(10)),
                     static_cast<int>(s.u1(11)), pr.units, sizeof pr.units);
  pr.model = static_cast<int>(s.u1(14));
  product_level(s, false, pr);
  const long f = to_hours(static_cast<int>(s.u1(18)), static_cast<long>(s.u4(19) & 0x7FFFFFFFu));
  pr.time = bounded(f);
  pr.ens = 0;
  if (t == 1) {
    const unsigned e = s.u1(35);
    pr.ens = 1;
    pr.ens_type = e <= 1 ? 1 : (e == 2 || e == 3) ? static_cast<int>(e) : 1;
    pr.ens_id = static_cast<int>(s.u1(36));
    pr.ens_prod = 1;
  } else if (t == 2) {
    pr.ens = 1;
    pr.ens_type = 5;
    pr.ens_id = 0;
    const unsigned code = s.u1(35);
    pr.ens_prod = code == 2 ? 11 : 2;  // 0, 1: means; 2: spread
  } else if (t == 5) {
    pr.ens = 1;
    pr.ens_prob_var = pr.var;
    pr.var = 191;
    pr.ens_type = 5;
    pr.ens_prod = 0;
    const unsigned process = s.u1(12), type = s.u1(37);
    pr.ens_prob_type = (process == 2 || process == 4 || process == 5) && type <= 2
                           ? static_cast<int>(type) + 1
                           : 0;
    pr.ens_prob_low = limit(s, 39);
    pr.ens_prob_up = limit(s, 44);
  }
  MESS_print(0x40000000u, "TIM %d %d %d\n", static_cast<int>(s.u1(18)),
             static_cast<int>(s.u4(19) & 0x7FFFFFFFu), pr.time);
  return 0;
}

int product_local50008(const Sect &s, const ProductContext &ctx, Product &pr) {
  if (!s.has(14)) {
    MESS_print(M_WARN, "GRIB_PDS: Local product definition of %lu octets is too short\n",
               static_cast<unsigned long>(s.len));
    return -1;
  }
  pr.var = param_var(ctx.centre, ctx.discipline, static_cast<int>(s.u1(10)),
                     static_cast<int>(s.u1(11)), pr.units, sizeof pr.units);
  pr.model = static_cast<int>(s.u1(14));
  pr.ltype = 1;
  pr.level = 0;
  pr.time = 0;
  pr.ens = 0;
  return 0;
}

}  // namespace kav::grib2

// GRIB edition-2 product templates over a time range: 4.8 statistics,
// 4.9 probability, 4.11 ensemble member, 4.12 derived from an ensemble.
#include <kav/date.h>
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

float limit(const Sect &s, size_t n) {
  if (s.u1(n) == 255 && s.u1(n + 1) == 255) return kMiss;
  const double v = static_cast<double>(s.s4(n)) * std::pow(10.0, -s.s1(n - 1));
  return std::isfinite(v) && std::fabs(v) < 1e30 ? static_cast<float>(v) : kMiss;
}

// Hours of a duration in a time unit (days and longer in hours as well).
long duration_hours(int unit, long v) {
  switch (unit) {
    case 0:
      return v / 60;
    case 2:
      return v * 24;
    case 10:
      return v * 3;
    case 11:
      return v * 6;
    case 12:
      return v * 12;
    case 13:
      return v / 3600;
    default:
      return v;
  }
}

// Code of a statistical process (code table 4.10).
long process_code(unsigned p) {
  switch (p) {
    case 0:
      return 3000000;  // average
    case 1:
      return 4000000;  // accumulation
    case 2:
      return 6000000;  // maximum
    case 3:
      return 7000000;  // minimum
    case 4:
      return 5000000;  // difference
    default:
      return 2000000;
  }
}

// Hours from the reference time to the end of the period at octet n.
long hours_to_end(const Sect &s, size_t n, const ProductContext &c) {
  const int y = static_cast<int>(s.u2(n)), mo = static_cast<int>(s.u1(n + 2)),
            d = static_cast<int>(s.u1(n + 3)), h = static_cast<int>(s.u1(n + 4));
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || c.ref_month < 1 || c.ref_month > 12 ||
      c.ref_day < 1 || c.ref_day > 31)
    return -1;
  const long days = static_cast<long>(DATE_date_days(y, mo, d)) -
                    static_cast<long>(DATE_date_days(c.ref_year, c.ref_month, c.ref_day));
  return days * 24 + h - c.ref_hour;
}

struct Layout {
  size_t need, end_time, process, unit, length;
};

}  // namespace

int product_range(const Sect &s, const ProductContext &ctx, Product &pr) {
  Layout l{};
  switch (pr.tmpl) {
    case 8:
      l = {58, 35, 47, 49, 50};
      break;
    case 9:
      l = {71, 48, 60, 62, 63};
      break;
    case 11:
      l = {61, 38, 50, 52, 53};
      break;
    case 12:
      l = {60, 37, 49, 51, 52};
      break;
    default:
      return -1;
  }
  if (!s.has(l.need)) {
    MESS_print(M_WARN, "GRIB_PDS: Product definition template 4.%d of %lu octets is too short\n",
               pr.tmpl, static_cast<unsigned long>(s.len));
    return -1;
  }
  pr.var = param_var(ctx.centre, ctx.discipline, static_cast<int>(s.u1(10)),
                     static_cast<int>(s.u1(11)), pr.units, sizeof pr.units);
  pr.model = static_cast<int>(s.u1(14));
  product_level(s, pr.tmpl != 9, pr);
  const int unit = static_cast<int>(s.u1(18));
  const long f = to_hours(unit, static_cast<long>(s.u4(19) & 0x7FFFFFFFu));
  const unsigned proc = s.u1(l.process);
  long len = duration_hours(static_cast<int>(s.u1(l.unit)),
                            static_cast<long>(s.u4(l.length) & 0x7FFFFFFFu));
  if (proc == 255 && unit == 1) {
    const long end = hours_to_end(s, l.end_time, ctx);
    if (end >= f) len = end - f;
  }
  pr.ens = 0;
  if (pr.tmpl == 8 || proc <= 4)
    pr.time = bounded(process_code(proc) + static_cast<long long>(f) * 1001LL + len);
  else
    pr.time = bounded(f);  // a process without a time-range code: the start
  if (pr.tmpl == 9) {
    pr.ens = 1;
    pr.ens_prob_var = pr.var;
    pr.var = 191;
    pr.ens_type = 5;
    pr.ens_prod = 0;
    const unsigned process = s.u1(12), type = s.u1(37);
    pr.ens_prob_type = 0;
    if (process == 5 && type <= 2)
      pr.ens_prob_type = static_cast<int>(type) + 4;
    else if (process == 2 && type <= 4)
      pr.ens_prob_type = static_cast<int>(type) + 4;
    else if (process == 4 && type <= 2)
      pr.ens_prob_type = static_cast<int>(type) + 1;
    pr.ens_prob_low = limit(s, 39);
    pr.ens_prob_up = limit(s, 44);
  } else if (pr.tmpl == 11) {
    const unsigned e = s.u1(35);
    pr.ens = 1;
    pr.ens_type = e <= 1 ? 1 : (e == 2 || e == 3) ? static_cast<int>(e) : 1;
    pr.ens_id = static_cast<int>(s.u1(36));
    pr.ens_prod = 1;
  } else if (pr.tmpl == 12) {
    pr.ens = 1;
    pr.ens_type = 5;
    pr.ens_id = 0;
    pr.ens_prod = s.u1(35) == 2 ? 11 : 2;
  }
  MESS_print(0x40000000u, "TIM %d %d %d\n", unit, static_cast<int>(proc), pr.time);
  return 0;
}

}  // namespace kav::grib2

// GRIB edition-2 data template 5.200: run-length packing with level values.
// A packed value up to the largest level is a level (0 missing, else an
// index into the table of level values); a larger one lengthens the run of
// the level before it, in digits of base 2^bits - 1 - largest level.
#include <kav/mess.h>

#include <cmath>
#include <cstdint>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {
namespace {

int refuse(const char *why, unsigned long v) {
  MESS_print(M_WARN, "GRIB_DS: Run length packing: %s: %lu\n", why, v);
  return -1;
}

}  // namespace

int data_rle(const DataJob &job) {
  const Sect &s5 = job.s5;
  if (!s5.has(17)) return refuse("data representation section too short", s5.len);
  const int nbits = static_cast<int>(s5.u1(12));
  const unsigned maxv = s5.u2(13), nlev = s5.u2(15);
  const double scale = std::pow(10.0, -static_cast<int>(s5.u1(17)));
  if (!s5.has(17 + 2 * size_t(nlev))) return refuse("level values past the section", nlev);
  if (nbits < 1 || nbits > 16) return refuse("bad number of bits per value", unsigned(nbits));
  const uint64_t range = (uint64_t{1} << nbits) - 1;
  if (maxv >= range) return refuse("no room for run lengths", maxv);
  const uint64_t base = range - maxv;  // digits of a run length
  std::vector<float> level(size_t(nlev) + 1);
  level[0] = kMiss;
  for (size_t i = 0; i < nlev; ++i)
    level[i + 1] = static_cast<float>(static_cast<double>(s5.u2(18 + 2 * i)) * scale);
  const unsigned char *p = job.s7.at(6);
  const size_t len = job.s7.len - 5, values = len * 8 / size_t(nbits);
  const size_t n = job.npacked;
  size_t at = 0;
  long pending = -1;  // level of the pending run
  uint64_t count = 0, mult = 1;
  auto flush = [&]() {
    if (pending < 0) return true;
    if (count > n - at) return false;
    const float v = level[static_cast<size_t>(pending)];
    for (uint64_t i = 0; i < count; ++i) job.out[at++] = v;
    return true;
  };
  size_t pos = 0;
  for (size_t k = 0; k < values; ++k, pos += size_t(nbits)) {
    const size_t byte = pos >> 3;
    uint32_t w = uint32_t(p[byte]) << 16;
    if (byte + 1 < len) w |= uint32_t(p[byte + 1]) << 8;
    if (byte + 2 < len) w |= p[byte + 2];
    const uint32_t v =
        (w >> (24 - nbits - static_cast<int>(pos & 7))) & static_cast<uint32_t>(range);
    if (v <= maxv) {
      if (v > nlev) return refuse("level beyond the table of levels", v);
      if (!flush()) return refuse("more values than points", static_cast<unsigned long>(n));
      if (at == n) {  // the field is whole: what follows is padding
        pending = -1;
        break;
      }
      pending = static_cast<long>(v);
      count = 1;
      mult = 1;
    } else {
      if (pending < 0) return refuse("run length before any level", v);
      count += (v - maxv - 1) * mult;
      if (count > n) return refuse("run longer than the field", static_cast<unsigned long>(count));
      mult *= base;
      if (mult > n) mult = n + 1;  // any further digit overflows the field
    }
  }
  if (!flush()) return refuse("more values than points", static_cast<unsigned long>(n));
  if (at != n) return refuse("fewer values than points", static_cast<unsigned long>(at));
  return 0;
}

}  // namespace kav::grib2

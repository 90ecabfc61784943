// GRIB edition-2 data templates 5.2 (complex packing) and 5.3 (complex
// packing with spatial differencing): groups of values with their own
// reference and width, missing-value management 0, 1 and 2, differencing of
// order 1 and 2.
#include <kav/mess.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {
namespace {

// A bounded big-endian bit cursor over the data section's octets.
struct Bits {
  const unsigned char *p;
  size_t len;      // octets
  size_t pos = 0;  // bits
  size_t left() const { return len * 8 - pos; }
  void align() { pos = (pos + 7) & ~size_t{7}; }
  uint32_t get(int n) {  // the caller has checked that n bits are left
    if (n == 0) return 0;
    const size_t byte = pos >> 3;
    uint64_t w = 0;
    if (byte + 8 <= len) {
      std::memcpy(&w, p + byte, 8);
      w = __builtin_bswap64(w);
    } else {
      for (size_t i = 0; i < 8; ++i) w = (w << 8) | (byte + i < len ? p[byte + i] : 0u);
    }
    const uint32_t v = static_cast<uint32_t>((w << (pos & 7)) >> (64 - n));
    pos += static_cast<size_t>(n);
    return v;
  }
};

// Differencing in modular arithmetic: sums that a hostile message drives
// past 64 bits wrap instead of overflowing.
inline int64_t wrap(uint64_t v) { return static_cast<int64_t>(v); }

int refuse(const char *why, unsigned long value) {
  MESS_print(M_WARN, "GRIB_DS: Complex packing: %s: %lu\n", why, value);
  return -1;
}

}  // namespace

int data_complex(const DataJob &job) {
  const Sect &s5 = job.s5;
  const int tmpl = s5.has(11) ? static_cast<int>(s5.u2(10)) : -1;
  if (!s5.has(tmpl == 3 ? 49 : 47))
    return refuse("data representation section too short", static_cast<unsigned long>(s5.len));
  const Scaling sc = read_scaling(s5);
  const int nb_ref = sc.nbits;
  const unsigned miss = s5.u1(23);
  const size_t ng = s5.u4(32);
  const int ref_width = static_cast<int>(s5.u1(36)), nb_width = static_cast<int>(s5.u1(37));
  const uint64_t ref_len = s5.u4(38), inc_len = s5.u1(42), last_len = s5.u4(43);
  const int nb_len = static_cast<int>(s5.u1(47));
  const int order = tmpl == 3 ? static_cast<int>(s5.u1(48)) : 0;
  const size_t extra = tmpl == 3 ? s5.u1(49) : 0;
  const size_t n = job.npacked;
  if (nb_ref > 32 || nb_width > 32 || nb_len > 32)
    return refuse("field wider than 32 bits", static_cast<unsigned long>(nb_ref));
  if (miss > 2) return refuse("unknown missing-value management", miss);
  // Order 0 (written by some encoders when differencing would not help):
  // no differencing and no extra descriptors.
  if (tmpl == 3 && order != 0 && (order > 2 || extra < 1 || extra > 4))
    return refuse("bad spatial differencing", static_cast<unsigned long>(order * 10 + int(extra)));
  if (n == 0) return 0;
  if (ng == 0 || ng > n) return refuse("bad number of groups", static_cast<unsigned long>(ng));
  Bits bits{job.s7.at(6), job.s7.len - 5};
  // Extra descriptors: the first values and the overall minimum.
  int64_t first[2] = {0, 0}, minimum = 0;
  if (order > 0) {
    if (bits.left() < 8 * extra * size_t(order + 1))
      return refuse("data section too short", static_cast<unsigned long>(job.s7.len));
    auto descriptor = [&]() {
      const uint32_t raw = bits.get(static_cast<int>(8 * extra));
      const uint32_t sign = uint32_t{1} << (8 * extra - 1);
      return (raw & sign) ? -static_cast<int64_t>(raw & (sign - 1)) : static_cast<int64_t>(raw);
    };
    for (int i = 0; i < order; ++i) first[i] = descriptor();
    minimum = descriptor();
  }
  // Group references, widths and lengths, each list from an octet boundary,
  // then the values: four cursors read in step, so that nothing the size of
  // the field is held beside the field itself.
  auto skip_list = [&](int nb) {
    bits.align();
    const size_t at = bits.pos;
    if (nb > 0 && bits.left() / static_cast<size_t>(nb) < ng) return SIZE_MAX;
    bits.pos += static_cast<size_t>(nb) * ng;
    return at;
  };
  const size_t at_ref = skip_list(nb_ref), at_width = skip_list(nb_width),
               at_len = skip_list(nb_len);
  if (at_ref == SIZE_MAX || at_width == SIZE_MAX || at_len == SIZE_MAX)
    return refuse("data section too short for the groups", static_cast<unsigned long>(ng));
  bits.align();
  const size_t at_values = bits.pos;
  // One pass over the widths and lengths: they must add up to the field, and
  // the values they call for must be in the section.
  Bits wl = bits, ll = bits;
  wl.pos = at_width;
  ll.pos = at_len;
  auto group_len = [&](size_t g, uint32_t raw) {
    return g + 1 == ng ? last_len : ref_len + uint64_t(raw) * inc_len;
  };
  uint64_t total = 0, value_bits = 0;
  for (size_t g = 0; g < ng; ++g) {
    const uint64_t w = uint64_t(wl.get(nb_width)) + static_cast<uint64_t>(ref_width);
    if (w > 32) return refuse("group wider than 32 bits", static_cast<unsigned long>(w));
    const uint64_t l = group_len(g, ll.get(nb_len));
    if (l > n) return refuse("group longer than the field", static_cast<unsigned long>(l));
    total += l;
    value_bits += l * w;
  }
  if (total != n)
    return refuse("group lengths do not add up to the number of values",
                  static_cast<unsigned long>(total));
  if (value_bits > bits.len * 8 - at_values)
    return refuse("data section too short for the values", static_cast<unsigned long>(value_bits));
  // Values, group by group, undifferenced and scaled as they come. The
  // differencing runs over the values that are not missing.
  Bits rl = bits, vl = bits;
  rl.pos = at_ref;
  wl.pos = at_width;
  ll.pos = at_len;
  vl.pos = at_values;
  const uint64_t ref_all = nb_ref == 32 ? 0xFFFFFFFFull : (uint64_t{1} << nb_ref) - 1;
  float *out = job.out;
  size_t k = 0, seen = 0;
  int64_t p1 = 0, p2 = 0;
  auto emit = [&](int64_t raw) {
    int64_t v = raw;
    if (order > 0) {
      if (seen < static_cast<size_t>(order))
        v = first[seen];
      else if (order == 1)
        v = wrap(uint64_t(raw) + uint64_t(minimum) + uint64_t(p1));
      else
        v = wrap(uint64_t(raw) + uint64_t(minimum) + 2 * uint64_t(p1) - uint64_t(p2));
      p2 = p1;
      p1 = v;
      ++seen;
    }
    out[k++] = static_cast<float>(sc.ref + static_cast<double>(v) * sc.step);
  };
  for (size_t g = 0; g < ng; ++g) {
    const int64_t r = rl.get(nb_ref);
    const int w = static_cast<int>(wl.get(nb_width)) + ref_width;
    const size_t l = static_cast<size_t>(group_len(g, ll.get(nb_len)));
    if (w == 0) {
      const bool missing = (miss >= 1 && static_cast<uint64_t>(r) == ref_all) ||
                           (miss == 2 && static_cast<uint64_t>(r) == ref_all - 1);
      if (missing) {
        std::fill(out + k, out + k + l, kMiss);
        k += l;
      } else if (order == 0) {
        const float v = static_cast<float>(sc.ref + static_cast<double>(r) * sc.step);
        std::fill(out + k, out + k + l, v);
        k += l;
      } else {
        for (size_t i = 0; i < l; ++i) emit(r);
      }
    } else if (miss == 0) {
      for (size_t i = 0; i < l; ++i) emit(r + vl.get(w));
    } else {
      const uint32_t all = w == 32 ? 0xFFFFFFFFu : (uint32_t{1} << w) - 1;
      for (size_t i = 0; i < l; ++i) {
        const uint32_t v = vl.get(w);
        if (v == all || (miss == 2 && v == all - 1))
          out[k++] = kMiss;
        else
          emit(r + v);
      }
    }
  }
  return 0;
}

}  // namespace kav::grib2

// GRIB edition-2 bit unpacking: values of 0-32 bits, most significant bit
// first, through a 64-bit big-endian accumulator with fast paths for whole
// octets.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {
namespace {

inline uint64_t load64(const unsigned char *p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return __builtin_bswap64(w);
}

// The nbits-bit value at bit offset b, read octet by octet near the end.
inline uint32_t slow_get(const unsigned char *buf, size_t len, size_t b, int nbits) {
  uint64_t w = 0;
  const size_t byte = b >> 3;
  for (size_t i = 0; i < 8; ++i) w = (w << 8) | (byte + i < len ? buf[byte + i] : 0u);
  return static_cast<uint32_t>((w << (b & 7)) >> (64 - nbits));
}

template <typename Out>
void unpack(const unsigned char *buf, size_t len, size_t pos, int nbits, size_t n, Out out) {
  if (nbits == 0) {
    for (size_t i = 0; i < n; ++i) out(i, 0u);
    return;
  }
  if ((pos & 7) == 0 && nbits == 8) {
    const unsigned char *q = buf + (pos >> 3);
    for (size_t i = 0; i < n; ++i) out(i, q[i]);
    return;
  }
  if ((pos & 7) == 0 && nbits == 16) {
    const unsigned char *q = buf + (pos >> 3);
    for (size_t i = 0; i < n; ++i) out(i, (uint32_t(q[2 * i]) << 8) | q[2 * i + 1]);
    return;
  }
  const uint64_t mask = (nbits == 32) ? 0xFFFFFFFFull : ((uint64_t{1} << nbits) - 1);
  size_t i = 0;
  size_t b = pos;
  // Each value from the eight octets that begin at its first octet (a value
  // of at most 32 bits at a bit offset below 8 always lies inside them).
  for (; i < n; ++i, b += static_cast<size_t>(nbits)) {
    if ((b >> 3) + 8 > len) break;
    const uint64_t w = load64(buf + (b >> 3));
    out(i, static_cast<uint32_t>((w >> (64 - nbits - static_cast<int>(b & 7))) & mask));
  }
  for (; i < n; ++i, b += static_cast<size_t>(nbits)) out(i, slow_get(buf, len, b, nbits));
}

}  // namespace

void unpack_scaled(const unsigned char *buf, size_t len, size_t pos, int nbits, size_t n,
                   double ref, double step, float *out) {
  if (nbits == 0) {
    const float v = static_cast<float>(ref);
    for (size_t i = 0; i < n; ++i) out[i] = v;
    return;
  }
  if (nbits <= 24) {
    // Every value is exact in a float: one multiply-add in single precision
    // is as good as double and vectorises.
    const float r = static_cast<float>(ref), s = static_cast<float>(step);
    unpack(buf, len, pos, nbits, n,
           [&](size_t i, uint32_t v) { out[i] = r + static_cast<float>(v) * s; });
    return;
  }
  unpack(buf, len, pos, nbits, n, [&](size_t i, uint32_t v) {
    out[i] = static_cast<float>(ref + static_cast<double>(v) * step);
  });
}

void unpack_uint(const unsigned char *buf, size_t len, size_t pos, int nbits, size_t n,
                 uint32_t *out) {
  unpack(buf, len, pos, nbits, n, [&](size_t i, uint32_t v) { out[i] = v; });
}

Scaling read_scaling(const Sect &s5) {
  Scaling sc;
  const double r = static_cast<double>(s5.ieee(12));
  const int e = s5.s2(16), d = s5.s2(18);
  const double dscale = std::pow(10.0, -d);
  sc.ref = r * dscale;
  sc.step = std::ldexp(1.0, e) * dscale;
  sc.nbits = static_cast<int>(s5.u1(20));
  return sc;
}

}  // namespace kav::grib2

// GRIB edition-2 data template 5.42: CCSDS adaptive entropy coding
// (decoded through the adapter in grib2_aec.cpp).
#include <kav/mess.h>

#include <cstdint>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {

int data_ccsds(const DataJob &job) {
  if (!job.s5.has(25)) {
    MESS_print(M_WARN, "GRIB_DRS: CCSDS packing of %lu octets is too short\n",
               static_cast<unsigned long>(job.s5.len));
    return -1;
  }
  const Scaling sc = read_scaling(job.s5);
  if (sc.nbits == 0 || job.npacked == 0) {
    const float v = static_cast<float>(sc.ref);
    for (size_t i = 0; i < job.npacked; ++i) job.out[i] = v;
    return 0;
  }
  if (sc.nbits > 32) {
    MESS_print(M_WARN, "GRIB_DS: %d bits per value are too many\n", sc.nbits);
    return -1;
  }
  // The samples are decoded into the output array itself, at most four
  // octets a value, and widened to floats from the last down: sample i lies
  // at octet width * i, never past the float it becomes, so no sample is
  // overwritten before it is read. Nothing the size of the field is made
  // beside the field.
  auto *bytes = reinterpret_cast<unsigned char *>(job.out);
  const int flags = static_cast<int>(job.s5.u1(22));
  const size_t width =
      ccsds_decode(job.s7.at(6), job.s7.len - 5, sc.nbits, flags, static_cast<int>(job.s5.u1(23)),
                   static_cast<int>(job.s5.u2(24)), job.npacked, bytes);
  if (width == 0) return -1;
  const bool msb = (flags & 4) != 0;
  const size_t n = job.npacked;
  float *out = job.out;
  const auto wide = [&](size_t i) {
    const unsigned char *p = bytes + i * width;
    uint32_t v = 0;
    for (size_t k = 0; k < width; ++k) v = (v << 8) | p[msb ? k : width - 1 - k];
    return v;
  };
  if (sc.nbits <= 24) {
    const float r = static_cast<float>(sc.ref), s = static_cast<float>(sc.step);
    if (width == 1) {
      for (size_t i = n; i-- > 0;) out[i] = r + static_cast<float>(bytes[i]) * s;
    } else if (width == 2 && msb) {
      for (size_t i = n; i-- > 0;)
        out[i] = r + static_cast<float>((unsigned(bytes[2 * i]) << 8) | bytes[2 * i + 1]) * s;
    } else if (width == 2) {
      for (size_t i = n; i-- > 0;)
        out[i] = r + static_cast<float>((unsigned(bytes[2 * i + 1]) << 8) | bytes[2 * i]) * s;
    } else {
      for (size_t i = n; i-- > 0;) out[i] = r + static_cast<float>(wide(i)) * s;
    }
  } else {
    for (size_t i = n; i-- > 0;)
      out[i] = static_cast<float>(sc.ref + static_cast<double>(wide(i)) * sc.step);
  }
  return 0;
}

}  // namespace kav::grib2

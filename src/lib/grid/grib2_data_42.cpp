// GRIB edition-2 data template 5.42: CCSDS adaptive entropy coding
// (decoded through the adapter in grib2_aec.cpp).
#include <kav/mess.h>

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
  std::vector<uint32_t> &v = job.scratch->u32;
  if (!ccsds_decode(job.s7.at(6), job.s7.len - 5, sc.nbits, static_cast<int>(job.s5.u1(22)),
                    static_cast<int>(job.s5.u1(23)), static_cast<int>(job.s5.u2(24)), job.npacked,
                    v))
    return -1;
  const double ref = sc.ref, step = sc.step;
  if (sc.nbits <= 24) {
    const float r = static_cast<float>(ref), s = static_cast<float>(step);
    for (size_t i = 0; i < job.npacked; ++i) job.out[i] = r + static_cast<float>(v[i]) * s;
  } else {
    for (size_t i = 0; i < job.npacked; ++i)
      job.out[i] = static_cast<float>(ref + static_cast<double>(v[i]) * step);
  }
  return 0;
}

}  // namespace kav::grib2

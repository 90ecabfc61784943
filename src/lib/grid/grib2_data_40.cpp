// GRIB edition-2 data templates 5.40 and 5.40000: JPEG 2000 code streams
// (decoded through the adapter in grib2_jpeg.cpp).
#include <kav/mess.h>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {

int data_jpeg(const DataJob &job) {
  if (!job.s5.has(21)) {
    MESS_print(M_WARN, "GRIB_DRS: JPEG 2000 packing of %lu octets is too short\n",
               static_cast<unsigned long>(job.s5.len));
    return -1;
  }
  const Scaling sc = read_scaling(job.s5);
  if (sc.nbits == 0 || job.npacked == 0) {
    // No code stream: every value is the reference value.
    const float v = static_cast<float>(sc.ref);
    for (size_t i = 0; i < job.npacked; ++i) job.out[i] = v;
    return 0;
  }
  // The samples are scaled straight out of the decoder's image.
  bool fits = true;
  const bool decoded = jpeg2000_decode(
      job.s7.at(6), job.s7.len - 5, job.npacked, [&](const int32_t *px, int w, int h) {
        const size_t got = static_cast<size_t>(w) * static_cast<size_t>(h);
        if (got != job.npacked) {
          MESS_print(M_WARN, "GRIB_DS: JPEG 2000 image of %d by %d does not hold the %lu values\n",
                     w, h, static_cast<unsigned long>(job.npacked));
          fits = false;
          return false;
        }
        const double ref = sc.ref, step = sc.step;
        for (size_t i = 0; i < got; ++i)
          job.out[i] = static_cast<float>(ref + static_cast<double>(px[i]) * step);
        return true;
      });
  if (!decoded) {
    if (fits) MESS_print(M_WARN, "GRIB_DS: jpc_decode error\n");
    return -1;
  }
  return 0;
}

}  // namespace kav::grib2

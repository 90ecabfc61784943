// GRIB edition-2 data template 5.0: simple packing.
#include <kav/mess.h>

#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {

int data_simple(const DataJob &job) {
  if (!job.s5.has(21)) {
    MESS_print(M_WARN, "GRIB_DRS: Simple packing of %lu octets is too short\n",
               static_cast<unsigned long>(job.s5.len));
    return -1;
  }
  const Scaling sc = read_scaling(job.s5);
  if (sc.nbits > 32) {
    MESS_print(M_WARN, "GRIB_DS: %d bits per value are too many\n", sc.nbits);
    return -1;
  }
  const size_t octets = job.s7.len - 5;
  if (job.npacked > octets * 8 / (sc.nbits ? static_cast<size_t>(sc.nbits) : 1) && sc.nbits) {
    MESS_print(M_WARN, "GRIB_DS: Data section of %lu octets holds fewer than %lu values\n",
               static_cast<unsigned long>(octets), static_cast<unsigned long>(job.npacked));
    return -1;
  }
  unpack_scaled(job.s7.at(6), octets, 0, sc.nbits, job.npacked, sc.ref, sc.step, job.out);
  return 0;
}

}  // namespace kav::grib2

// Numbers of GRIB edition 1: IBM System/360 single-precision floats and
// binary scale factors.
#include <kav/grib.h>

#include <cmath>

#include "grid/grib_int.hpp"

namespace kav::grib {

double ibm_double(const unsigned char *pc) {
  if (pc[0] == 0) return 0.0;
  const double fraction = static_cast<double>(u3(pc + 1)) / 16777216.0;
  const int exponent = (pc[0] & 0x7F) - 64;
  const double v = std::ldexp(fraction, 4 * exponent);  // 16 to the power exponent
  return (pc[0] & 0x80) ? -v : v;
}

double scale_double(const unsigned char *pc) { return std::ldexp(1.0, s2(pc)); }

}  // namespace kav::grib

extern "C" {

float GRIB_flt_conv(const unsigned char *pc) KAV_NOEXCEPT {
  return pc ? static_cast<float>(kav::grib::ibm_double(pc)) : 0.0f;
}

float GRIB_scl_conv(const unsigned char *pc) KAV_NOEXCEPT {
  return pc ? static_cast<float>(kav::grib::scale_double(pc)) : 1.0f;
}

}  // extern "C"

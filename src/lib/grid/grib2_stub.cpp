// GRIB edition 2 until its decoder comes: every edition-2 message is passed
// over with a message, and the messages around it are read as usual.
#include <kav/grib.h>
#include <kav/mess.h>

#include "grid/grib2_int.hpp"

int kav_grib2_decode(const unsigned char *msg, size_t len, int product, GRD_report *grd,
                     int rep_type) {
  (void)product;
  (void)grd;
  (void)rep_type;
  if (!msg || len < 16) return GRIB_FAIL;
  MESS_print(M_WARN, "GRIB_header: GRIB edition 2 message of %lu octets skipped: no decoder\n",
             static_cast<unsigned long>(len));
  return 0;
}

// GRIB files (format 21): recognised here; their decoder plugs into this row.
#include <kav/mess.h>

#include <cstring>

#include "grid/grd_read_int.hpp"

namespace kav::grd {

int grib_detect(const unsigned char *head, size_t len) {
  if (len >= 4 && std::memcmp(head, "GRIB", 4) == 0) return 1;
  return len >= 1 && (head[0] == '*' || head[0] == 1) ? 1 : 0;
}

// A message behind a transmission header: "GRIB" anywhere in the bytes read.
int grib_detect_late(const unsigned char *head, size_t len) {
  for (size_t i = 0; i + 4 <= len; ++i)
    if (std::memcmp(head + i, "GRIB", 4) == 0) return 1;
  return 0;
}

int grib_open(Slot &slot, const char *name, int access) {
  (void)access;
  (void)slot;
  MESS_print(M_WARN, "GRD_open: This build has no GRIB decoder for grid file: %s\n",
             name && name[0] ? name : "-");
  return -1;
}

}  // namespace kav::grd

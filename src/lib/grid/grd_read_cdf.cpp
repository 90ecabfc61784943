// netCDF grid files (format 11): recognised here; their reader plugs into
// this row.
#include <kav/mess.h>

#include <cstring>

#include "grid/grd_read_int.hpp"

namespace kav::grd {

int cdf_detect(const unsigned char *head, size_t len) {
  return len >= 3 && std::memcmp(head, "CDF", 3) == 0 ? 1 : 0;
}

int cdf_open(Slot &slot, const char *name, int access) {
  (void)access;
  (void)slot;
  MESS_print(M_WARN, "GRD_open: This build has no netCDF reader for grid file: %s\n",
             name && name[0] ? name : "-");
  return -1;
}

}  // namespace kav::grd

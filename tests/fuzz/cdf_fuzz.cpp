// Fuzzes the netCDF grid reader: the input is written to a file, opened as a
// netCDF grid file and read grid by grid in several orders, then opened
// through the access module and probed. Any result is fine; a crash, a hang
// or a read outside a buffer is not.
//
// What is bounded: a classic header is walked against the file's bytes
// before the netCDF library parses it (the library crashed on hostile name
// lengths and counts; the corpus keeps such inputs), and every size the
// reader allocates is bounded by the file's size and GRD_MAX_POINTS. What is
// not: a netCDF-4 file is parsed by the HDF5 library, whose own checks are
// all there is; mutated HDF5 files were seen to make it loop, so the corpus
// holds only well-formed and cut ones of that kind, and the damaged ones
// whose failed open loses memory inside the netCDF and HDF5 libraries
// (lsan.supp names those allocations).
#include <kav/cdf.h>

#include "grd_fuzz_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  grdfuzz::read_all(data, size, GRD_NETCDF);
  const std::string file = fuzzscratch::write("access.nc", data, size);
  CDF_print_errors(0);
  if (CDF_open(file.c_str(), 0) >= 0) {
    CDF_get_dim_size(-1);
    CDF_get_dim_size(CDF_get_dim("x"));
    char text[32];
    CDF_get_glob_att("title", text, 31);
    for (const char *name : {"values", "datim", "lat", "time", "t"}) {
      const int var = CDF_get_var(name);
      CDF_set_pos(2, 0L, 0L);
      CDF_get_float(var);
      CDF_get_long(var);
      CDF_get_str(var, 16, text);
      float block[4];
      CDF_set_range(2, 0L, 1L, 0L, 4L);
      CDF_get_float_array(var, block);
    }
    CDF_close();
  }
  CDF_print_errors(1);
  std::remove(file.c_str());
  return 0;
}

// Memory that runs out inside the grid readers and writers: each attempt
// ends with the function's failure result and a message, or succeeds; no
// exception escapes the C interface.
#include <gtest/gtest.h>
#include <kav/cdf.h>
#include <kav/grd_read.h>
#include <kav/mess.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/grid_sample.h"
#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

const std::string kData = KAV_TEST_DATA;

// Closes whatever an attempt left open.
void close_all() {
  for (int fd = 0; fd < GRD_MAX_FILES; ++fd) GRD_close(fd);
  CDF_close();
}

// Opens a grid file, asks for its information and reads every grid: true
// when at least one grid was read and the file closed cleanly.
bool read_all(const std::string &name) {
  int type = 0;
  const int fd = GRD_open(name.c_str(), 0, &type);
  if (fd < 0) return false;
  GRD_info info{};
  bool ok = GRD_getinfo(fd, &info) == 0;
  int grids = 0;
  for (int k = 0; ok && k < 64; ++k) {
    GRD_report grd;
    GRD_init(&grd);
    int num = k;
    const int r = GRD_read(fd, &grd, 0, &num);
    std::free(grd.grid);
    if (r == -1) break;
    if (r == 0) ++grids;
  }
  ok = ok && GRD_read_status(fd) == 0 && grids > 0;
  return GRD_close(fd) == 0 && ok;
}

TEST(FailAllocGrid, ReadersOfEachFormat) {
  MESS_set(0, M_WARN | M_ERROR);
  for (const char *file :
       {"grid/plain.grd", "grid/two.grd", "grid/chars.grd", "grib/regular_latlon_surface.grib1",
        "grib/regular_latlon_surface.grib2", "grib/cmc_ps60km.grib", "netcdf/model_global.nc",
        "netcdf/cf_packed.nc"}) {
    const std::string name = kData + "/" + file;
    ASSERT_TRUE(read_all(name)) << name;  // the fixture reads without failures
    // The netCDF library does not survive its own allocations failing: only
    // the C++ allocations fail under it.
    const bool netcdf = std::strstr(file, "netcdf/") != nullptr;
    kavtest::alloc_sweep(
        file, [&] { return read_all(name); }, close_all, netcdf);
  }
}

// Grids whose values are kept in files of their own: each value file is
// closed however its reading ends (the sweep counts the open files).
TEST(FailAllocGrid, ValueFileReferences) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  const float raw[6] = {6, 5, 4, 3, 2, 1};
  {
    FILE *fp = std::fopen(dir.file("vals.bin").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    std::fwrite(raw, sizeof raw[0], 6, fp);
    std::fclose(fp);
  }
  dir.write("vals.txt", "1 2 3 4 5 6");
  const std::string name =
      dir.write("ref.grd",
                "KAVGRID\nlabel\n4-bin\n1 4 1 0 0 0 0 0\nLL 0 0 1 1 3 2\nB vals.bin 0 0 0\n"
                "label\n4-ascii\n1 4 1 0 0 0 0 0\nLL 0 0 1 1 3 2\nA vals.txt 0 1 1\n");
  ASSERT_TRUE(read_all(name));
  kavtest::alloc_sweep(
      "value files", [&] { return read_all(name); }, close_all);
  // The format test reads the head of a file and closes it.
  const int type = GRD_chktype(name.c_str());
  ASSERT_GT(type, 0);
  kavtest::alloc_sweep("GRD_chktype", [&] { return GRD_chktype(name.c_str()) == type; });
}

TEST(FailAllocGrid, WritersOfEachFormat) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  GRD_report grd;
  float values[12];
  kavtest::sample_grid(grd, values);
  for (int code : {GRD_TEXT, GRD_BINARY, GRD_NETCDF}) {
    const std::string name = dir.file("out" + std::to_string(code));
    kavtest::alloc_sweep(
        GRD_format_name(code),
        [&] {
          int type = code;
          const int fd = GRD_open(name.c_str(), 1, &type);
          if (fd < 0) return false;
          GRD_info info{};
          const bool ok = GRD_putinfo(fd, &info) == 0 && GRD_write(fd, &grd, 0, nullptr) == 0;
          return GRD_close(fd) == 0 && ok;
        },
        close_all, code == GRD_NETCDF);
  }
}

// The netCDF access functions one by one on an open file.
TEST(FailAllocGrid, NetcdfAccess) {
  MESS_set(0, M_WARN | M_ERROR);
  const std::string name = kData + "/netcdf/model_global.nc";
  kavtest::alloc_sweep(
      "CDF access",
      [&] {
        if (CDF_open(name.c_str(), 0) < 0) return false;
        char text[64];
        const bool ok = CDF_get_dim_size(-1) >= 0 && CDF_get_var("nonexistent_variable") == -1 &&
                        CDF_get_glob_att("nonexistent_attribute", text, 63) == -1;
        return CDF_close() == 0 && ok;
      },
      close_all, true);
}

// The message names the function whose memory ran out.
TEST(FailAllocGrid, MessageNamesTheFunction) {
  const std::string name = kData + "/grid/plain.grd";
  int fd = 0;
  const kavtest::Captured cap = kavtest::capture([&] {
    kavtest::FailAlloc fail(1);
    int type = 0;
    fd = GRD_open(name.c_str(), 0, &type);
  });
  close_all();
  EXPECT_EQ(fd, -1);
  EXPECT_NE(cap.err.find("Out of memory"), std::string::npos) << cap.err;
}

}  // namespace

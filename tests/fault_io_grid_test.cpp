// Reads and opens that fail inside the grid readers of every format: the
// open, the information or the read fails with a message, and no grid made of
// bytes around a failed read is handed out as the file's. The netCDF library
// reads its files on its own, past the library's file seam: for netCDF files
// only the reads of the header check fail here.
#include <gtest/gtest.h>
#include <kav/cdf.h>
#include <kav/grd_read.h>
#include <kav/grib2.h>
#include <kav/mess.h>
#include <kav/resrc.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "support/grid_sample.h"
#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

const std::string kData = KAV_TEST_DATA;

void close_all() {
  for (int fd = 0; fd < GRD_MAX_FILES; ++fd) GRD_close(fd);
  CDF_close();
}

// Opens a grid file, asks for its information and reads every grid, fully
// and header only: a digest of what was read, empty when anything failed.
// A failed read must leave no grid behind.
std::string read_all(const std::string &name) {
  int type = 0;
  const int fd = GRD_open(name.c_str(), 0, &type);
  if (fd < 0) return "";
  GRD_info info{};
  bool ok = GRD_getinfo(fd, &info) == 0;
  std::ostringstream out;
  for (int k = 0; ok && k < 64; ++k) {
    GRD_report grd;
    GRD_init(&grd);
    int num = k;
    const int head = GRD_read(fd, &grd, 1, &num);
    if (head == -1) {
      ok = GRD_read_status(fd) == 0;
      break;
    }
    num = k;
    const int r = GRD_read(fd, &grd, 0, &num);
    if (r != 0) {
      EXPECT_EQ(grd.grid, nullptr) << "a failed read left values";
    }
    if (r == 0 && grd.grid) {
      out << k << ' ' << grd.var << ' ' << grd.level << ' ' << grd.domain.nx << 'x'
          << grd.domain.ny;
      const long n = static_cast<long>(grd.domain.nx) * grd.domain.ny;
      for (long i = 0; i < n; i += n / 7 + 1) out << ' ' << grd.grid[i];
      out << '\n';
    }
    std::free(grd.grid);
    if (r != 0) ok = false;
  }
  ok = GRD_close(fd) == 0 && ok;
  return ok ? out.str() : "";
}

// Sweeps a file: read failures at each read in turn, then opens refused in
// turn. Returns the number of reads struck.
int sweep_file(const std::string &name, bool opens = true) {
  SCOPED_TRACE(name);
  const std::string want = read_all(name);
  EXPECT_FALSE(want.empty()) << "the fixture reads without failures";
  if (want.empty()) return 0;
  const int struck = kavtest::io_sweep(
      name.c_str(), [&] { return read_all(name) == want; }, close_all);
  if (opens)
    kavtest::open_sweep(
        name.c_str(), [&] { return read_all(name) == want; }, close_all);
  return struck;
}

TEST(FailIOGrid, TextFormatsOfThePackage) {
  MESS_set(0, M_WARN | M_ERROR);
  for (const char *file : {"grid/plain.grd", "grid/two.grd", "grid/chars.grd", "grid/header.grd4"})
    EXPECT_GT(sweep_file(kData + "/" + file), 100) << file;
}

// A grid whose values lie in a file of their own.
TEST(FailIOGrid, ValueFileOfAReference) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  dir.write("values.txt", "1.5 2.5 3.5\n4.5 5.5 6.5\n");
  const std::string name = dir.write("ref.grd",
                                     "KAVGRID\n1200Z  5 MAR 24\n4-500 mb Height\n"
                                     "7 4 81 211 100 500 12 7\n"
                                     "LL 40.0 -100.0 1.0 1.0 3 2\nA values.txt 0 1 1\n");
  const std::string want = read_all(name);
  ASSERT_NE(want.find("1.5"), std::string::npos) << want;
  EXPECT_GT(sweep_file(name), 100);
}

// Binary and text grids the package writes, read back.
TEST(FailIOGrid, WrittenFormats) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  GRD_report grd;
  float values[12];
  kavtest::sample_grid(grd, values);
  for (int code : {GRD_TEXT, GRD_BINARY}) {
    const std::string name = dir.file("out" + std::to_string(code));
    int type = code;
    const int fd = GRD_open(name.c_str(), 1, &type);
    ASSERT_GE(fd, 0);
    GRD_info info{};
    ASSERT_EQ(GRD_putinfo(fd, &info), 0);
    for (int level : {500, 850}) {
      grd.level = level;
      ASSERT_EQ(GRD_write(fd, &grd, 0, nullptr), 0);
    }
    ASSERT_EQ(GRD_close(fd), 0);
    EXPECT_GT(sweep_file(name), code == GRD_BINARY ? 10 : 100) << GRD_format_name(code);
  }
}

TEST(FailIOGrid, GribEditionsOneAndTwo) {
  MESS_set(0, M_WARN | M_ERROR);
  for (const char *file : {"grib/regular_latlon_surface.grib1", "grib/latlon_scan40.grib1",
                           "grib/regular_latlon_surface.grib2", "grib2/ll_jpeg.grib2",
                           "grib2/ll_ccsds.grib2", "grib2/ll_complex.grib2", "grib2/lambert.grib2"})
    EXPECT_GT(sweep_file(kData + "/" + file), 0) << file;
}

// The header check of classic netCDF files reads through the seam.
TEST(FailIOGrid, NetcdfHeaderCheck) {
  MESS_set(0, M_WARN | M_ERROR);
  for (const char *file : {"netcdf/model_global.nc", "netcdf/cf_packed.nc"})
    EXPECT_GE(sweep_file(kData + "/" + file, false), 2) << file;
  const std::string name = kData + "/netcdf/model_global.nc";
  EXPECT_GE(kavtest::io_sweep(
                "CDF_open",
                [&] {
                  const bool ok = CDF_open(name.c_str(), 0) >= 0;
                  CDF_close();
                  return ok;
                },
                close_all),
            2);
}

TEST(FailIOGrid, FormatDetectionAndHeader) {
  MESS_set(0, M_WARN | M_ERROR);
  const std::string name = kData + "/grid/two.grd";
  ASSERT_EQ(GRD_chktype(name.c_str()), GRD_TEXT);
  kavtest::io_sweep("GRD_chktype", [&] { return GRD_chktype(name.c_str()) == GRD_TEXT; });

  int type = 0;
  const int fd = GRD_open(name.c_str(), 0, &type);
  ASSERT_GE(fd, 0);
  char header[GRD_HEADER_LEN];
  // The file was opened before the failure was armed: its reads are not
  // counted, so the header is read from a second handle.
  GRD_close(fd);
  kavtest::io_sweep(
      "GRD_get_header",
      [&] {
        int t = 0;
        const int h = GRD_open(name.c_str(), 0, &t);
        if (h < 0) return false;
        const int r = GRD_get_header(h, header);
        GRD_close(h);
        return r == 0 && std::string(header, 7) == "KAVGRID";
      },
      close_all);
}

// After a failed read the bytes that follow are not trusted: every later read
// of the file fails, and the message names it.
TEST(FailIOGrid, AFailedFileStaysFailed) {
  MESS_set(0, M_WARN | M_ERROR);
  const std::string name = kData + "/grid/two.grd";
  int fd = -1, first = 0, later = 0, status = 0;
  const std::string err = kavtest::capture([&] {
                            kavtest::FailIO fail(30);  // inside the first grid
                            int type = GRD_TEXT;       // no detection reads
                            fd = GRD_open(name.c_str(), 0, &type);
                            GRD_report g;
                            GRD_init(&g);
                            int num = 0;
                            first = GRD_read(fd, &g, 0, &num);
                            EXPECT_EQ(g.grid, nullptr);
                            num = 1;
                            later = GRD_read(fd, &g, 0, &num);
                            std::free(g.grid);
                            status = GRD_read_status(fd);
                          }).err;
  GRD_close(fd);
  EXPECT_GE(fd, 0);
  EXPECT_EQ(first, -1);
  EXPECT_EQ(later, -1);
  EXPECT_EQ(status, -1);
  EXPECT_NE(err.find("GRD_read: Unable to read grid file: " + name), std::string::npos) << err;
}

// A GRIB index beside the file: its lines are read through the seam too.
TEST(FailIOGrid, GribIndexFile) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  const std::string grib = kData + "/grib/regular_latlon_surface.grib1";
  const std::string idx = dir.write("r.idx",
                                    "0 first / GRIB 1 S7 M89 G211 T12 L100 H500 V7\n"
                                    "0 again / GRIB 1 S7 M89 G211 T12 L100 H850 V11\n");
  GRD_use_hdr_file(1);
  const auto headers = [&] {
    int type = 0;
    const int fd = GRD_open(grib.c_str(), 0, &type);
    if (fd < 0) return false;
    bool ok = GRD_hdr_open(fd, idx.c_str()) == 0;
    int levels = 0;
    for (int k = 0; ok && k < 4; ++k) {
      GRD_report g;
      GRD_init(&g);
      int num = k;
      if (GRD_read(fd, &g, 1, &num) != 0) break;
      levels += g.level;
    }
    ok = ok && GRD_read_status(fd) == 0 && levels == 1350;
    GRD_close(fd);
    return ok;
  };
  ASSERT_TRUE(headers());
  EXPECT_GT(kavtest::io_sweep("GRD_hdr_open", headers, close_all), 60);
  kavtest::open_sweep("GRD_hdr_open", headers, close_all);
  GRD_use_hdr_file(0);
}

// The edition-2 parameter table: a small one, so that the sweep stays short.
TEST(FailIOGrid, Grib2ParameterTable) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  std::ifstream in(std::string(KAV_SOURCE_DATA) + "/grib2_var.lup");
  std::string line, text;
  for (int i = 0; i < 40 && std::getline(in, line); ++i) text += line + "\n";
  text += "0 0 0 250 LASTP K The last parameter of the table\n";
  dir.write("a/grib2_var.lup", text);
  dir.write("b/grib2_var.lup", text);
  // Each attempt names the other directory, so that the table is read again.
  bool flip = false;
  const auto lookup = [&] {
    flip = !flip;
    RES_put("file_path", dir.file(flip ? "a" : "b").c_str());
    GribParam p;
    const int r = GRIB_get_ver2_param(&p, 0, 0, 0, 250);
    return r == 1 && std::strcmp(p.name, "LASTP") == 0;
  };
  ASSERT_TRUE(lookup());
  EXPECT_GT(kavtest::io_sweep("GRIB_get_ver2_param", lookup), 500);
  // The table that cannot be opened (the variable table opened after it is
  // not there: it is looked for, and missed, on every lookup).
  const std::string err = kavtest::capture([&] {
                            kavtest::FailOpen fail(1);
                            EXPECT_FALSE(lookup());
                          }).err;
  EXPECT_NE(err.find("GRIB_get_ver2_param: Unable to open file: "), std::string::npos) << err;
  RES_put("file_path", "");
}

}  // namespace

// Grid files: detection, the open-file table, round trips of the writable
// formats, the fixtures of the read-only formats and malformed copies.
#include <gtest/gtest.h>
#include <kav/grd_read.h>
#include <kav/mess.h>
#include <kav/resrc.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

const std::string kFixtures = KAV_TEST_DATA "/grid";

// A record that frees its values.
struct Grid {
  GRD_report r;
  Grid() { GRD_init(&r); }
  ~Grid() { std::free(r.grid); }
  Grid(const Grid &) = delete;
  Grid &operator=(const Grid &) = delete;
};

void set_grid(GRD_report &g, int proj, int nx, int ny, float base) {
  GRD_init(&g);
  g.source = 7;
  g.version = 2;
  g.model = 81;
  g.type = 211;
  g.ltype = 100;
  g.level = 500;
  g.time = 4006012;
  g.var = 61;
  std::snprintf(g.datim, sizeof g.datim, "1200Z  5 MAR 24");
  std::snprintf(g.info, sizeof g.info, "a grid");
  std::snprintf(g.units, sizeof g.units, "kg m-2");
  Domain &d = g.domain;
  d.proj = proj;
  d.clat = 40;
  d.clon = -100;
  d.dx = 1.5f;
  d.dy = 2.5f;
  d.nx = nx;
  d.ny = ny;
  g.grid = static_cast<float *>(std::malloc(sizeof(float) * static_cast<size_t>(nx * ny)));
  for (int k = 0; k < nx * ny; ++k)
    g.grid[k] = base + 0.125f * static_cast<float>(k) - 3e5f * static_cast<float>(k % 3);
  g.grid[nx * ny - 1] = KAV_MISSING;
}

int open_read(const std::string &name, int code = 0) {
  int type = code;
  const int fd = GRD_open(name.c_str(), 0, &type);
  if (fd >= 0) {
    GRD_info info;
    GRD_getinfo(fd, &info);
  }
  return fd;
}

// Writes grids to a file of the format and returns its name.
std::string write_file(const kavtest::TempDir &dir, int code, std::vector<GRD_report> &grids) {
  const std::string name = dir.file("out" + std::to_string(code) + ".grd");
  int type = code;
  const int fd = GRD_open(name.c_str(), 1, &type);
  EXPECT_GE(fd, 0);
  GRD_info info{};
  EXPECT_EQ(GRD_putinfo(fd, &info), 0);
  for (GRD_report &g : grids) EXPECT_EQ(GRD_write(fd, &g, 0, nullptr), 0);
  EXPECT_EQ(GRD_close(fd), 0);
  return name;
}

void expect_same(const GRD_report &a, const GRD_report &b, bool exact) {
  EXPECT_EQ(a.source, b.source);
  EXPECT_EQ(a.model, b.model);
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(a.ltype, b.ltype);
  EXPECT_EQ(a.level, b.level);
  EXPECT_EQ(a.time, b.time);
  EXPECT_EQ(a.var, b.var);
  EXPECT_STREQ(a.datim, b.datim);
  EXPECT_STREQ(a.info, b.info);
  EXPECT_STREQ(b.units, "kg_m-2");
  EXPECT_EQ(a.domain.proj, b.domain.proj);
  EXPECT_FLOAT_EQ(a.domain.clat, b.domain.clat);
  EXPECT_FLOAT_EQ(a.domain.clon, b.domain.clon);
  EXPECT_FLOAT_EQ(a.domain.dx, b.domain.dx);
  EXPECT_FLOAT_EQ(a.domain.dy, b.domain.dy);
  EXPECT_EQ(a.domain.nx, b.domain.nx);
  EXPECT_EQ(a.domain.ny, b.domain.ny);
  EXPECT_EQ(b.date.year, 2024);
  EXPECT_EQ(b.date.hour, 12);
  ASSERT_NE(b.grid, nullptr);
  for (int k = 0; k < a.domain.nx * a.domain.ny; ++k) {
    if (exact)
      EXPECT_EQ(a.grid[k], b.grid[k]) << k;
    else
      EXPECT_NEAR(a.grid[k], b.grid[k], std::fabs(a.grid[k]) * 1e-7 + 1e-30) << k;
  }
}

// ---- Detection.

TEST(GrdChktype, RecognisesEachFormatByItsFirstBytes) {
  kavtest::TempDir dir;
  const std::string behind(150, 'x');
  const std::vector<std::pair<std::string, int>> rows = {{"1200Z", 1},
                                                         {" 12", 1},
                                                         {"KAVGRID4\n", 4},
                                                         {"KAVGRID4B\n", 4},
                                                         {"KAVGRID\n", 2},
                                                         {"CDF\x01", 11},
                                                         {"GRIB....", 21},
                                                         {"*header", 21},
                                                         {std::string("\x01x", 2), 21},
                                                         {"GRID 07001", 22},
                                                         {behind + "GRIB", 21},
                                                         {"hello", -1},
                                                         {"K", -1},
                                                         {"", -1},
                                                         {std::string(196, 'y') + "GRIB", 21},
                                                         {std::string(197, 'y') + "GRIB", 21},
                                                         {std::string(65533, 'y') + "GRIB", -1}};
  int i = 0;
  for (const auto &[text, code] : rows) {
    const std::string name = dir.write("f" + std::to_string(i++), text);
    EXPECT_EQ(GRD_chktype(name.c_str()), code) << text.substr(0, 12);
  }
  EXPECT_EQ(GRD_chktype(dir.file("absent").c_str()), -1);
}

// ---- The table of open files.

TEST(GrdTable, SixteenthOpenIsRefused) {
  const std::string name = kFixtures + "/two.grd";
  std::vector<int> fds;
  for (int i = 0; i < GRD_MAX_FILES; ++i) {
    fds.push_back(open_read(name));
    EXPECT_EQ(fds.back(), i);
  }
  kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(open_read(name), -1); });
  EXPECT_NE(c.err.find("GRD_open: No free slot"), std::string::npos);
  for (int fd : fds) EXPECT_EQ(GRD_close(fd), 0);
  EXPECT_EQ(GRD_close(3), 0);  // an empty slot
  EXPECT_EQ(GRD_close(15), -1);
  EXPECT_EQ(GRD_close(-1), -1);
  EXPECT_EQ(GRD_get_gfile(0), nullptr);
  Grid g;
  int n = 0;
  EXPECT_EQ(GRD_read(20, &g.r, 0, &n), -1);
}

TEST(GrdTable, NetcdfFailsClearlyForNowAndAGribFileWithoutAMessageIsRefused) {
  kavtest::TempDir dir;
  const std::string grib = dir.write("a.grb", "GRIB\x01");
  const std::string cdf = dir.write("a.nc", "CDF\x01");
  kavtest::Captured c = kavtest::capture([&] {
    int type = 0;
    const int fd = GRD_open(grib.c_str(), 0, &type);
    EXPECT_EQ(type, GRD_GRIB);
    GRD_info info{};
    EXPECT_EQ(GRD_getinfo(fd, &info), -1);
    GRD_close(fd);
    EXPECT_EQ(open_read(cdf), -1);
  });
  EXPECT_NE(c.err.find("No GRIB message"), std::string::npos);
  EXPECT_NE(c.err.find("no netCDF reader"), std::string::npos);
}

TEST(GrdTable, ReadOnlyFormatsAreNotWritten) {
  kavtest::TempDir dir;
  for (int code : {GRD_HEADER, GRD_CHAR}) {
    int type = code;
    kavtest::capture([&] { EXPECT_EQ(GRD_open(dir.file("x").c_str(), 1, &type), -1); });
  }
  int type = 0;
  kavtest::capture([&] { EXPECT_EQ(GRD_open(dir.file("x").c_str(), 1, &type), -1); });
  EXPECT_EQ(GRD_format_code("binary"), 3);
  EXPECT_EQ(GRD_format_code("2"), 2);
  EXPECT_EQ(GRD_format_code("7"), -1);
  EXPECT_STREQ(GRD_format_name(22), "char");
}

// ---- Round trips.

class GrdRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(GrdRoundTrip, EveryProjectionTokenKeysUnitsAndMissingValues) {
  const int code = GetParam();
  kavtest::TempDir dir;
  std::vector<GRD_report> grids(7);
  set_grid(grids[0], 2, 3, 2, 250);    // LL
  set_grid(grids[1], 3, 4, 3, -1);     // ME
  set_grid(grids[2], 1, 2, 2, 1e-3f);  // PS, plon = clon
  set_grid(grids[3], 1, 5, 1, 12);     // PS:plon
  grids[3].domain.plon = -105;
  set_grid(grids[4], 4, 2, 3, 7);  // LC
  set_grid(grids[5], 4, 3, 3, 8);  // LC:plon
  grids[5].domain.plon = -95;
  set_grid(grids[6], 4, 1, 4, 9);  // LC:plat:plon:p0:p1:p2
  grids[6].domain.plat = 25;
  grids[6].domain.plon = -95;
  grids[6].domain.param[0] = 25;
  grids[6].domain.param[1] = 30;
  grids[6].domain.param[2] = 1;
  const std::string name = write_file(dir, code, grids);
  EXPECT_EQ(GRD_chktype(name.c_str()), code == GRD_PLAIN ? 1 : 2);
  const int fd = open_read(name);
  ASSERT_GE(fd, 0);
  Grid g;
  for (int n = 0; n < static_cast<int>(grids.size()); ++n) {
    int num = n;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0) << n;
    EXPECT_EQ(num, n);
    expect_same(grids[static_cast<size_t>(n)], g.r, code == GRD_BINARY);
  }
  EXPECT_FLOAT_EQ(g.r.domain.plat, 25);
  EXPECT_FLOAT_EQ(g.r.domain.param[1], 30);
  int num = static_cast<int>(grids.size());
  EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1);
  EXPECT_EQ(GRD_read_status(fd), 0);  // a clean end
  num = 2;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);
  EXPECT_FLOAT_EQ(g.r.domain.plon, g.r.domain.clon);
  num = 3;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);
  EXPECT_FLOAT_EQ(g.r.domain.plon, -105);
  num = 5;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);
  EXPECT_FLOAT_EQ(g.r.domain.plon, -95);
  EXPECT_FLOAT_EQ(g.r.domain.plat, KAV_MISSING);
  GRD_close(fd);
  for (GRD_report &r : grids) std::free(r.grid);
}

INSTANTIATE_TEST_SUITE_P(Formats, GrdRoundTrip, ::testing::Values(GRD_PLAIN, GRD_TEXT, GRD_BINARY));

TEST(GrdWrite, FormatBinaryIsBigEndianOnAnyHost) {
  kavtest::TempDir dir;
  std::vector<GRD_report> grids(1);
  set_grid(grids[0], 2, 1, 1, 1.0f);
  grids[0].grid[0] = 1.0f;
  const std::string name = write_file(dir, GRD_BINARY, grids);
  const std::string text = kavtest::read_file(name);
  EXPECT_NE(text.find(std::string("\x3f\x80\x00\x00\n", 5)), std::string::npos);
  std::free(grids[0].grid);
}

TEST(GrdWrite, WideValuesStaySeparated) {
  // "%14.8e" of a negative value with a three-digit exponent fills more than
  // 14 characters: each value is still followed by a blank or a line end.
  kavtest::TempDir dir;
  std::vector<GRD_report> grids(1);
  set_grid(grids[0], 2, 3, 1, 0);
  grids[0].grid[0] = -1.2345678e-30f;
  grids[0].grid[1] = -3.4e38f;
  grids[0].grid[2] = 5;
  const std::string name = write_file(dir, GRD_TEXT, grids);
  const int fd = open_read(name);
  Grid g;
  int n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_NEAR(g.r.grid[0], -1.2345678e-30f, 1e-37f);
  EXPECT_FLOAT_EQ(g.r.grid[1], -3.4e38f);
  GRD_close(fd);
  std::free(grids[0].grid);
}

TEST(GrdWrite, UserFormatAndItsChecks) {
  kavtest::TempDir dir;
  kavtest::capture([&] {
    EXPECT_EQ(GRD_set_format("%s"), -1);
    EXPECT_EQ(GRD_set_format("%f %f"), -1);
    EXPECT_EQ(GRD_set_format("%n"), -1);
    EXPECT_EQ(GRD_set_format("%123456789012.3f"), -1);
  });
  ASSERT_EQ(GRD_set_format("%.1f"), 0);
  std::vector<GRD_report> grids(1);
  set_grid(grids[0], 2, 2, 1, 3);
  const std::string name = write_file(dir, GRD_TEXT, grids);
  EXPECT_NE(kavtest::read_file(name).find("3.0 -9999.0\n"), std::string::npos);
  EXPECT_EQ(GRD_set_format(""), 0);
  std::free(grids[0].grid);
}

TEST(GrdWrite, RefusesWhatCannotBeReadBack) {
  kavtest::TempDir dir;
  int type = GRD_TEXT;
  const int fd = GRD_open(dir.file("w.grd").c_str(), 1, &type);
  ASSERT_GE(fd, 0);
  GRD_report g;
  set_grid(g, 5, 2, 2, 0);  // orthographic: no token in these files
  kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(GRD_write(fd, &g, 0, nullptr), -1); });
  EXPECT_NE(c.err.find("GRD_write: Projection 5 has no form"), std::string::npos);
  g.domain.proj = 2;
  g.domain.nx = 0;
  kavtest::capture([&] { EXPECT_EQ(GRD_write(fd, &g, 0, nullptr), -1); });
  std::free(g.grid);
  g.grid = nullptr;
  EXPECT_EQ(GRD_write(fd, &g, 0, nullptr), -1);
  EXPECT_EQ(GRD_write(fd, nullptr, 0, nullptr), -1);
  GRD_close(fd);
}

TEST(GrdWrite, LongTextsAreCutAndKeptOnOneLine) {
  kavtest::TempDir dir;
  std::vector<GRD_report> grids(1);
  set_grid(grids[0], 2, 1, 1, 0);
  std::memset(grids[0].info, 'i', sizeof grids[0].info);  // no terminator
  grids[0].info[3] = '\n';
  const std::string name = write_file(dir, GRD_TEXT, grids);
  const int fd = open_read(name);
  Grid g;
  int n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_STREQ(g.r.info, "iii");
  GRD_close(fd);
  std::free(grids[0].grid);
}

TEST(GrdWrite, AppendingAddsGridsAndMakesANewFileWhole) {
  kavtest::TempDir dir;
  const std::string name = dir.file("app.grd");
  std::vector<GRD_report> grids(2);
  set_grid(grids[0], 2, 2, 2, 1);
  set_grid(grids[1], 2, 3, 1, 2);
  for (int i = 0; i < 2; ++i) {
    int type = i == 0 ? GRD_TEXT : 0;  // the second open takes the file's format
    const int fd = GRD_open(name.c_str(), 2, &type);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(type, GRD_TEXT);
    EXPECT_EQ(GRD_putinfo(fd, nullptr), 0);
    EXPECT_EQ(GRD_write(fd, &grids[static_cast<size_t>(i)], 0, nullptr), 0);
    GRD_close(fd);
  }
  const std::string text = kavtest::read_file(name);
  EXPECT_EQ(text.find("KAVGRID"), 0u);
  EXPECT_EQ(text.find("KAVGRID", 1), std::string::npos);
  const int fd = open_read(name);
  Grid g;
  int n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.domain.nx, 3);
  GRD_close(fd);
  int type = 0;
  kavtest::capture([&] { EXPECT_EQ(GRD_open(dir.file("none.grd").c_str(), 2, &type), -1); });
  for (GRD_report &r : grids) std::free(r.grid);
}

TEST(GrdRead, LongLinesAreCutAndUnitsDoNotCarryOver) {
  kavtest::TempDir dir;
  const std::string label(300, 'L'), info(300, 'I');
  const std::string name =
      dir.write("long.grd",
                "KAVGRID\n" + label + "\n2-" + info + "\n1 2 1 0 0 0 0 0:" + std::string(40, 'u') +
                    "\nLL 0 0 1 1 1 1\n5\nlabel\n2-i\n1 2 1 0 0 0 0 0\nLL 0 0 1 1 1 1\n6\n");
  const int fd = open_read(name);
  EXPECT_EQ(std::string(GRD_get_gfile(fd)->datim), std::string(GRD_DATIM_LEN - 1, 'L'));
  Grid g;
  int n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(std::string(g.r.datim), std::string(GRD_DATIM_LEN - 1, 'L'));
  EXPECT_EQ(std::string(g.r.info), std::string(GRD_INFO_LEN - 1, 'I'));
  EXPECT_EQ(std::string(g.r.units), std::string(GRD_UNITS_LEN - 1, 'u'));
  EXPECT_EQ(g.r.date.year, KAV_IMISSING);  // no date in that label
  n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_STREQ(g.r.units, "");
  EXPECT_FLOAT_EQ(g.r.grid[0], 6);
  GRD_close(fd);
}

// ---- Reading order.

TEST(GrdRead, NumbersInAnyOrderReturnTheGridAskedFor) {
  kavtest::TempDir dir;
  std::vector<GRD_report> grids(4);
  for (int i = 0; i < 4; ++i)
    set_grid(grids[static_cast<size_t>(i)], 2, i + 1, 1, static_cast<float>(i));
  const std::string name = write_file(dir, GRD_TEXT, grids);
  const int fd = open_read(name);
  Grid g;
  for (int want : {0, 0, 1, 3, 1, 2, 2, 0, 3}) {
    int n = want;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
    EXPECT_EQ(n, want);
    EXPECT_EQ(g.r.domain.nx, want + 1);
    EXPECT_EQ(GRD_get_gfile(fd)->num, want);
  }
  int n = 3;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  ASSERT_EQ(GRD_rewind(fd), 0);
  n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);  // after a rewind grid 0 is grid 0
  EXPECT_EQ(g.r.domain.nx, 1);
  char header[GRD_HEADER_LEN];
  ASSERT_EQ(GRD_get_header(fd, header), 0);
  EXPECT_EQ(std::string(header, 15), "1200Z  5 MAR 24");
  GRD_close(fd);
  for (GRD_report &r : grids) std::free(r.grid);
}

TEST(GrdRead, HeaderOnlyLeavesValuesAndFullReadsResize) {
  const int fd = open_read(kFixtures + "/two.grd");
  Grid g;
  int n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);  // 2 x 2
  float *kept = g.r.grid;
  n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &n), 0);  // header of the 3 x 2 grid
  EXPECT_EQ(g.r.grid, kept);
  EXPECT_EQ(g.r.domain.nx, 3);
  n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_FLOAT_EQ(g.r.grid[5], 290);  // the array is large enough for 6
  EXPECT_FLOAT_EQ(g.r.grid[2], KAV_MISSING);
  EXPECT_STREQ(g.r.units, "K");
  n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &n), 0);
  EXPECT_STREQ(g.r.units, "in");
  EXPECT_EQ(g.r.time, 4006012);
  EXPECT_EQ(g.r.date.day, 6);
  GRD_close(fd);
}

TEST(GrdRead, StandardInputReadsForward) {
  const std::string text = kavtest::read_file(kFixtures + "/two.grd");
  kavtest::with_stdin(text, [&] {
    int type = 0;
    const int fd = GRD_open("-", 0, &type);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(type, GRD_TEXT);
    GRD_info info;
    ASSERT_EQ(GRD_getinfo(fd, &info), 0);
    EXPECT_STREQ(info.datim, "1200Z  5 MAR 24");
    Grid g;
    int n = 0;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
    EXPECT_EQ(g.r.domain.nx, 3);
    n = 1;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
    EXPECT_EQ(g.r.domain.nx, 2);
    n = 0;
    kavtest::capture([&] { EXPECT_EQ(GRD_read(fd, &g.r, 0, &n), -1); });
    GRD_close(fd);
  });
}

// ---- Fixtures of every format.

TEST(GrdRead, PlainFileOldFormsAndVersionOne) {
  const int fd = open_read(kFixtures + "/plain.grd");
  Grid g;
  int n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.version, 1);
  EXPECT_EQ(g.r.domain.proj, 1);
  EXPECT_FLOAT_EQ(g.r.domain.clon, -100);  // stored 100 in a version-1 grid
  EXPECT_FLOAT_EQ(g.r.domain.dy, 2);
  EXPECT_FLOAT_EQ(g.r.grid[3], 4);
  n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.version, 0);
  EXPECT_STREQ(g.r.info, "an info line without a version");
  EXPECT_EQ(g.r.domain.proj, 4);
  EXPECT_FLOAT_EQ(g.r.domain.plon, -95);
  EXPECT_FLOAT_EQ(g.r.domain.plat, KAV_MISSING);
  GRD_close(fd);
}

TEST(GrdRead, HeaderFileDomainTexts) {
  const int fd = open_read(kFixtures + "/header.grd4");
  EXPECT_EQ(GRD_get_gfile(fd)->type, GRD_HEADER);
  Grid g;
  int n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.domain.proj, 4);
  EXPECT_FLOAT_EQ(g.r.domain.plat, 25);
  EXPECT_FLOAT_EQ(g.r.domain.param[1], 25);
  EXPECT_EQ(g.r.domain.nx, 3);
  EXPECT_FLOAT_EQ(g.r.grid[4], 50);
  n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.domain.proj, 2);
  EXPECT_FLOAT_EQ(g.r.grid[3], 4);
  GRD_close(fd);
}

TEST(GrdRead, ValueFileReferencesInBothDirections) {
  kavtest::TempDir dir;
  // Values 1..6 of a 3 x 2 grid, stored from the last column and last row.
  const float raw[6] = {6, 5, 4, 3, 2, 1};
  {
    FILE *fp = std::fopen(dir.file("vals.bin").c_str(), "wb");
    std::fwrite("pad", 1, 3, fp);
    std::fwrite(raw, sizeof raw[0], 6, fp);
    std::fclose(fp);
  }
  dir.write("vals.txt", "xx 1 2 3 4 5 6");
  const std::string grid_text =
      "KAVGRID\nlabel\n4-bin\n1 4 1 0 0 0 0 0\nLL 0 0 1 1 3 2\nB vals.bin 3 0 0\n"
      "label\n4-ascii\n1 4 1 0 0 0 0 0\nLL 0 0 1 1 3 2\nA vals.txt 3 1 1\n"
      "label\n4-gone\n1 4 1 0 0 0 0 0\nLL 0 0 1 1 3 2\nB missing.bin 0 1 1\n"
      "label\n4-pipe\n1 4 1 0 0 0 0 0\nLL 0 0 1 1 3 2\nB |touch_x 0 1 1\n";
  const std::string name = dir.write("ref.grd", grid_text);
  const int fd = open_read(name);
  Grid g;
  for (int n : {0, 1}) {
    int num = n;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0) << n;
    for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(g.r.grid[k], static_cast<float>(k + 1)) << n;
  }
  int num = 3;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);  // the header only never opens the file
  for (int n : {2, 3}) {
    num = n;
    kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1); });
    EXPECT_NE(c.err.find("GRD_read:"), std::string::npos);
    EXPECT_EQ(g.r.grid, nullptr);
  }
  GRD_close(fd);
}

TEST(GrdRead, CharacterGridsAndTheirWindPair) {
  const int fd = open_read(kFixtures + "/chars.grd");
  ASSERT_GE(fd, 0);
  EXPECT_STREQ(GRD_get_gfile(fd)->datim, "1200Z  5 MAR 24");
  Grid g;
  int n = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.var, 4);
  EXPECT_EQ(g.r.type, 71);
  EXPECT_EQ(g.r.source, 7);
  EXPECT_EQ(g.r.ltype, 10);
  EXPECT_EQ(g.r.level, 500);
  EXPECT_EQ(g.r.domain.nx, 19);
  EXPECT_FLOAT_EQ(g.r.domain.clat, 55);
  EXPECT_EQ(g.r.date.year, 2024);
  // Area 1: the file's first row is the southernmost.
  EXPECT_NEAR(g.r.grid[0 + 19 * 14], -2.3f, 1e-4);
  EXPECT_NEAR(g.r.grid[5 + 19 * 13], -1.7f, 1e-4);
  EXPECT_FLOAT_EQ(g.r.grid[4 + 19 * 11], KAV_MISSING);
  EXPECT_NEAR(g.r.grid[0 + 19 * 7], -27.8f, 1e-4);
  n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.var, 23);
  EXPECT_NEAR(g.r.grid[0], 10, 1e-4);  // from 270 degrees at 10
  EXPECT_NEAR(g.r.grid[19 * 14], 0, 1e-4);
  n = 2;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &n), 0);
  EXPECT_EQ(g.r.var, 24);
  EXPECT_NEAR(g.r.grid[0], 0, 1e-4);
  EXPECT_NEAR(g.r.grid[19 * 14], 5, 1e-4);  // from 180 degrees at 5
  EXPECT_EQ(g.r.time, 12);
  n = 3;
  EXPECT_EQ(GRD_read(fd, &g.r, 0, &n), -1);
  EXPECT_EQ(GRD_read_status(fd), 0);
  n = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &n), 0);  // back to the first component
  EXPECT_EQ(g.r.var, 23);
  GRD_close(fd);
}

// ---- Bad input.

TEST(GrdBad, SizesAreBoundedBeforeAnyAllocation) {
  kavtest::TempDir dir;
  const std::vector<std::string> domains = {
      "LL 0 0 1 1 0 5",           "LL 0 0 1 1 5 -2",      "LL 0 0 1 1 2147483647 2147483647",
      "LL 0 0 1 1 100000 100000", "LL 0 0 1 1 1000 1000", "LL 0 0 1 1 99999999999 1"};
  for (const std::string &dom : domains) {
    const std::string name =
        dir.write("s.grd", "KAVGRID\nl\n2-i\n1 2 1 0 0 0 0 0\n" + dom + "\n1 2 3\n");
    const int fd = open_read(name);
    Grid g;
    int n = 0;
    kavtest::Captured c =
        kavtest::capture([&] { EXPECT_EQ(GRD_read(fd, &g.r, 0, &n), -1) << dom; });
    EXPECT_NE(c.err.find("GRD_read:"), std::string::npos) << dom;
    EXPECT_EQ(GRD_read_status(fd), -1);
    GRD_close(fd);
  }
}

TEST(GrdBad, ShortValueListFailsNamingFileAndGrid) {
  kavtest::TempDir dir;
  const std::string name =
      dir.write("short.grd", "KAVGRID\nl\n2-i\n1 2 1 0 0 0 0 0\nLL 0 0 1 1 2 2\n1 2 3\n");
  const int fd = open_read(name);
  Grid g;
  int n = 0;
  kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(GRD_read(fd, &g.r, 0, &n), -1); });
  EXPECT_NE(c.err.find("Grid 0 of " + name), std::string::npos) << c.err;
  EXPECT_EQ(g.r.grid, nullptr);
  GRD_close(fd);
}

// Every truncation and a garbled byte at every position of each fixture:
// a read either fails or returns exactly what the whole file holds.
TEST(GrdBad, TruncatedAndGarbledCopiesNeverReadAsGarbage) {
  kavtest::TempDir dir;
  for (const char *fixture : {"two.grd", "plain.grd", "header.grd4", "chars.grd"}) {
    const std::string whole = kavtest::read_file(kFixtures + "/" + fixture);
    std::vector<std::vector<float>> good;
    {
      const int fd = open_read(kFixtures + "/" + fixture);
      Grid g;
      for (int n = 0;; ++n) {
        int num = n;
        if (GRD_read(fd, &g.r, 0, &num) != 0) break;
        good.emplace_back(g.r.grid, g.r.grid + g.r.domain.nx * g.r.domain.ny);
      }
      GRD_close(fd);
    }
    ASSERT_FALSE(good.empty()) << fixture;
    const size_t step = whole.size() > 400 ? 7 : 1;
    for (size_t cut = 0; cut < whole.size(); cut += step) {
      for (int garble = 0; garble < 2; ++garble) {
        std::string text = whole.substr(0, garble ? whole.size() : cut);
        if (garble) text[cut] = text[cut] == '5' ? 'x' : '5';
        const std::string name = dir.write("t", text);
        int type = 0;
        const int fd = GRD_open(name.c_str(), 0, &type);
        if (fd < 0) continue;
        kavtest::capture([&] {
          GRD_info info;
          GRD_getinfo(fd, &info);
          Grid g;
          for (int n = 0; n < 8; ++n) {
            int num = n;
            if (GRD_read(fd, &g.r, 0, &num) != 0) break;
            ASSERT_NE(g.r.grid, nullptr);
            const long long count = static_cast<long long>(g.r.domain.nx) * g.r.domain.ny;
            ASSERT_GT(count, 0);
            ASSERT_LE(count, GRD_MAX_POINTS);
            if (garble) continue;
            // A grid read from a cut copy is the grid of the whole file.
            ASSERT_LT(static_cast<size_t>(n), good.size()) << fixture << " cut " << cut;
            const std::vector<float> &want = good[static_cast<size_t>(n)];
            ASSERT_EQ(static_cast<size_t>(count), want.size()) << fixture << " cut " << cut;
            for (size_t k = 0; k < want.size(); ++k)
              ASSERT_EQ(g.r.grid[k], want[k]) << fixture << " cut " << cut << " value " << k;
          }
        });
        GRD_close(fd);
      }
    }
  }
}

}  // namespace

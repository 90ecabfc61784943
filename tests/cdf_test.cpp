// netCDF grid files and the access module: round trips of the package's own
// schema, the committed model-output and CF fixtures (built by ncgen from
// the .cdl beside them, netCDF-4 by nccopy), the mended faults, and ncdump as
// the oracle where it is installed.
#include <gtest/gtest.h>
#include <kav/cdf.h>
#include <kav/grd_read.h>
#include <kav/mess.h>
#include <netcdf.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/fault.h"
#include "support/kavtest.h"

namespace {

const std::string kFix = KAV_TEST_DATA "/netcdf/";

struct Grid {
  GRD_report r;
  Grid() { GRD_init(&r); }
  ~Grid() { std::free(r.grid); }
  Grid(const Grid &) = delete;
  Grid &operator=(const Grid &) = delete;
};

// The full name of an installed tool, or empty.
std::string tool(const char *name) {
  for (const char *dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
    const std::string path = std::string(dir) + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

void make_grid(GRD_report &g, int proj, int nx, int ny, float base) {
  std::free(g.grid);
  GRD_init(&g);
  g.source = 7;
  g.version = 2;
  g.model = 81;
  g.type = 211;
  g.ltype = 100;
  g.level = 500;
  g.time = 12;
  g.var = 11;
  std::snprintf(g.datim, sizeof g.datim, "1200Z  5 MAR 24");
  std::snprintf(g.info, sizeof g.info, "500 mb Temperature (K)");
  std::snprintf(g.units, sizeof g.units, "K");
  Domain &d = g.domain;
  d.proj = proj;
  d.clat = 40;
  d.clon = -100;
  d.plat = 60;
  d.plon = -105;
  d.dx = 1.5f;
  d.dy = 2.5f;
  d.nx = nx;
  d.ny = ny;
  g.grid = static_cast<float *>(std::malloc(sizeof(float) * static_cast<size_t>(nx * ny)));
  for (int k = 0; k < nx * ny; ++k) g.grid[k] = base + 0.5f * static_cast<float>(k);
  g.grid[nx * ny - 1] = KAV_MISSING;
}

GRD_info file_info(int grid_type, int max_x, int max_y) {
  GRD_info info{};
  info.grid_type = grid_type;
  info.max_x = max_x;
  info.max_y = max_y;
  info.date = Date{2024, 3, 5, KAV_IMISSING, KAV_IMISSING, 12, 0, 0};
  return info;
}

// Writes grids to a new own-schema file; false on any failure.
bool write_file(const std::string &name, int grid_type, std::vector<GRD_report *> grids, int max_x,
                int max_y) {
  int type = GRD_NETCDF;
  const int fd = GRD_open(name.c_str(), 1, &type);
  if (fd < 0) return false;
  GRD_info info = file_info(grid_type, max_x, max_y);
  bool good = GRD_putinfo(fd, &info) == 0;
  for (size_t i = 0; good && i < grids.size(); ++i) {
    int num = static_cast<int>(i);
    good = GRD_write(fd, grids[i], 0, &num) == 0;
  }
  return GRD_close(fd) == 0 && good;
}

int open_read(const std::string &name, GRD_info *info = nullptr) {
  int type = 0;
  const int fd = GRD_open(name.c_str(), 0, &type);
  if (fd < 0) return -1;
  EXPECT_EQ(type, GRD_NETCDF);
  GRD_info local{};
  if (GRD_getinfo(fd, info ? info : &local) != 0) {
    GRD_close(fd);
    return -1;
  }
  return fd;
}

std::vector<float> values(const GRD_report &g) {
  return std::vector<float>(g.grid, g.grid + g.domain.nx * g.domain.ny);
}

// ---- The package's own schema ----

TEST(CdfOwn, GridsOfBothTypesComeBackWithTheirKeysTextsDomainAndValues) {
  kavtest::TempDir dir;
  for (int grid_type : {0, 1}) {
    SCOPED_TRACE(grid_type);
    Grid a, b;
    make_grid(a.r, 4, 3, 2, 250);
    make_grid(b.r, 1, 2, 2, 5);
    b.r.time = 4006012;  // beyond 16 bits: does not survive
    b.r.model = 3;
    const std::string name = dir.file("own" + std::to_string(grid_type) + ".nc");
    ASSERT_TRUE(write_file(name, grid_type, {&a.r, &b.r}, 3, 2));
    GRD_info info{};
    const int fd = open_read(name, &info);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(info.grid_type, grid_type);
    EXPECT_EQ(info.date.year, 2024);  // the full year, not 124
    EXPECT_EQ(info.date.month, 3);
    EXPECT_EQ(info.date.hour, 12);
    EXPECT_EQ(GRD_get_gfile(fd)->max_num, 2);
    EXPECT_EQ(GRD_get_gfile(fd)->proj_id >= 0, grid_type == 0);
    Grid g;
    int num = 0;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
    EXPECT_STREQ(g.r.datim, "1200Z  5 MAR 24");
    EXPECT_STREQ(g.r.info, "500 mb Temperature (K)");
    EXPECT_STREQ(g.r.units, "");
    EXPECT_EQ(g.r.source, 7);
    EXPECT_EQ(g.r.version, 2);
    EXPECT_EQ(g.r.model, 81);
    EXPECT_EQ(g.r.type, 211);
    EXPECT_EQ(g.r.ltype, 100);
    EXPECT_EQ(g.r.level, 500);
    EXPECT_EQ(g.r.time, 12);
    EXPECT_EQ(g.r.var, 11);
    EXPECT_EQ(g.r.domain.nx, 3);
    EXPECT_EQ(g.r.domain.ny, 2);
    if (grid_type == 0) {
      EXPECT_EQ(g.r.domain.proj, 4);
      EXPECT_FLOAT_EQ(g.r.domain.clat, 40);
      EXPECT_FLOAT_EQ(g.r.domain.clon, -100);
      EXPECT_FLOAT_EQ(g.r.domain.plat, 60);
      EXPECT_FLOAT_EQ(g.r.domain.plon, -105);
      EXPECT_FLOAT_EQ(g.r.domain.dx, 1.5f);
      EXPECT_FLOAT_EQ(g.r.domain.dy, 2.5f);
    } else {
      EXPECT_EQ(g.r.domain.proj, 2);  // chosen from model 81
    }
    EXPECT_EQ(values(g.r), values(a.r));
    num = 1;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
    EXPECT_EQ(values(g.r), values(b.r));
    EXPECT_NE(g.r.time, 4006012);
    if (grid_type == 1) {
      EXPECT_EQ(g.r.domain.proj, 1);  // model 3
    }
    num = 2;
    EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1);
    EXPECT_EQ(GRD_read_status(fd), 0);  // the end, not a failure
    EXPECT_EQ(GRD_close(fd), 0);
  }
}

TEST(CdfOwn, TheFileCarriesTheSchemaNcdumpShows) {
  kavtest::TempDir dir;
  Grid a;
  make_grid(a.r, 2, 3, 2, 1);
  const std::string name = dir.file("h.nc");
  ASSERT_TRUE(write_file(name, 0, {&a.r}, 3, 2));
  // Through the access module: dimensions, variables, attributes.
  ASSERT_GE(CDF_open(name.c_str(), 0), 0);
  EXPECT_EQ(CDF_get_dim_size(-1), 1);
  EXPECT_EQ(CDF_get_dim_size(CDF_get_dim("x")), 3);
  EXPECT_EQ(CDF_get_dim_size(CDF_get_dim("y")), 2);
  EXPECT_EQ(CDF_get_dim_size(CDF_get_dim("string_len")), 50);
  for (const char *v :
       {"values", "proj",    "lat1",  "lat2", "lon1",  "lon2",  "dx",   "dy",  "datim", "info",
        "source", "version", "model", "type", "ltype", "level", "time", "var", "nx",    "ny"})
    EXPECT_GE(CDF_get_var(v), 0) << v;
  EXPECT_EQ(CDF_get_var("x_coord"), -1);
  char text[16];
  EXPECT_EQ(CDF_get_glob_att("source", text, 15), 0);
  EXPECT_STREQ(text, "KAV");
  EXPECT_EQ(CDF_get_glob_att("version", text, 15), 0);
  EXPECT_STREQ(text, "1.0");
  EXPECT_EQ(CDF_close(), 0);
  const std::string ncdump = tool("ncdump");
  if (ncdump.empty()) GTEST_SKIP() << "ncdump is not installed";
  const kavtest::RunResult r = kavtest::run({ncdump, "-h", name});
  ASSERT_EQ(r.status, 0);
  std::string expected = kavtest::read_file(kFix + "own_header.cdl");
  const std::string shown = r.out.substr(r.out.find('\n'));
  EXPECT_EQ(shown, expected.substr(expected.find('\n')));
}

TEST(CdfOwn, ARecordFromASmallerGridIsSizedForTheGridRead) {
  kavtest::TempDir dir;
  Grid a;
  make_grid(a.r, 2, 30, 20, 1);
  const std::string name = dir.file("big.nc");
  ASSERT_TRUE(write_file(name, 0, {&a.r}, 30, 20));
  const int fd = open_read(name);
  ASSERT_GE(fd, 0);
  Grid g;
  g.r.grid = static_cast<float *>(std::malloc(sizeof(float)));  // from a 1-point grid
  int num = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(values(g.r), values(a.r));
  GRD_close(fd);
}

TEST(CdfOwn, LongTextsAreCutToTheStringDimension) {
  kavtest::TempDir dir;
  Grid a;
  make_grid(a.r, 2, 2, 2, 1);
  const std::string long_info(69, 'i');
  std::snprintf(a.r.info, sizeof a.r.info, "%s", long_info.c_str());
  std::memset(a.r.datim, 'd', sizeof a.r.datim - 1);
  const std::string name = dir.file("texts.nc");
  ASSERT_TRUE(write_file(name, 0, {&a.r}, 2, 2));
  const int fd = open_read(name);
  Grid g;
  int num = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);
  EXPECT_EQ(std::string(g.r.info), long_info.substr(0, 49));
  EXPECT_EQ(std::string(g.r.datim), std::string(49, 'd'));
  GRD_close(fd);
}

TEST(CdfOwn, SizesBeyondTheFileAndFailedReadsAndWritesAreFailures) {
  kavtest::TempDir dir;
  Grid a, big;
  make_grid(a.r, 2, 2, 2, 1);
  make_grid(big.r, 2, 4, 2, 1);
  const std::string name = dir.file("bad.nc");
  kavtest::Captured c = kavtest::capture([&] {
    int type = GRD_NETCDF;
    const int fd = GRD_open(name.c_str(), 1, &type);
    ASSERT_GE(fd, 0);
    GRD_info info = file_info(0, 2, 2);
    ASSERT_EQ(GRD_putinfo(fd, &info), 0);
    int num = 0;
    EXPECT_EQ(GRD_write(fd, &a.r, 0, &num), 0);
    num = 1;
    EXPECT_EQ(GRD_write(fd, &big.r, 0, &num), -1);  // wider than the file
    num = -2;
    EXPECT_EQ(GRD_write(fd, &a.r, 0, &num), -1);
    // The library refuses the write: the handle was closed behind our back.
    ncclose(GRD_get_gfile(fd)->fd);
    num = 1;
    EXPECT_EQ(GRD_write(fd, &a.r, 0, &num), -1);
    GRD_get_gfile(fd)->fd = -1;
    GRD_close(fd);
  });
  EXPECT_NE(c.err.find("does not fit the file's 2 x 2"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("GRD_write: netCDF error in ncvarput"), std::string::npos) << c.err;

  // nx beyond the x dimension, set behind the writer's back.
  ASSERT_TRUE(write_file(name, 0, {&a.r}, 2, 2));
  int nc = -1;
  ASSERT_EQ(nc_open(name.c_str(), NC_WRITE, &nc), NC_NOERR);
  int var = -1;
  ASSERT_EQ(nc_inq_varid(nc, "nx", &var), NC_NOERR);
  const size_t zero = 0;
  const short wide = 99;
  ASSERT_EQ(nc_put_var1_short(nc, var, &zero, &wide), NC_NOERR);
  nc_close(nc);
  c = kavtest::capture([&] {
    const int fd = open_read(name);
    Grid g;
    int num = 0;
    EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1);
    EXPECT_EQ(GRD_read_status(fd), -1);
    EXPECT_EQ(g.r.grid, nullptr);
    num = -2;
    EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1);
    GRD_close(fd);
  });
  EXPECT_NE(c.err.find("99 x 2 points does not fit"), std::string::npos) << c.err;
}

// A file whose description was refused is not read afterwards, and what it
// states about its texts never sizes an allocation: a damaged header once
// made a read ask for a gigabyte after its text dimension had been refused.
TEST(CdfOwn, AFileRefusedByGetinfoIsNotReadAndItsTextDimensionSizesNothing) {
  kavtest::TempDir dir;
  const std::string name = dir.file("long_text.nc");
  constexpr size_t kTextLen = 100000;
  int nc = -1, grid = -1, text = -1, datim = -1, info_var = -1, x = -1, y = -1;
  ASSERT_EQ(nc_create(name.c_str(), NC_CLOBBER, &nc), NC_NOERR);
  ASSERT_EQ(nc_def_dim(nc, "grid", NC_UNLIMITED, &grid), NC_NOERR);
  ASSERT_EQ(nc_def_dim(nc, "x", 2, &x), NC_NOERR);
  ASSERT_EQ(nc_def_dim(nc, "y", 2, &y), NC_NOERR);
  ASSERT_EQ(nc_def_dim(nc, "string_len", kTextLen, &text), NC_NOERR);
  const int dims[2] = {grid, text};
  ASSERT_EQ(nc_def_var(nc, "datim", NC_CHAR, 2, dims, &datim), NC_NOERR);
  ASSERT_EQ(nc_def_var(nc, "info", NC_CHAR, 2, dims, &info_var), NC_NOERR);
  ASSERT_EQ(nc_enddef(nc), NC_NOERR);
  const std::string record(kTextLen, 'a');
  const size_t start[2] = {0, 0}, count[2] = {1, kTextLen};
  ASSERT_EQ(nc_put_vara_text(nc, datim, start, count, record.c_str()), NC_NOERR);
  ASSERT_EQ(nc_close(nc), NC_NOERR);

  const kavtest::Captured c = kavtest::capture([&] {
    int type = GRD_NETCDF;
    const int fd = GRD_open(name.c_str(), 0, &type);
    ASSERT_GE(fd, 0);
    GRD_info info{};
    EXPECT_EQ(GRD_getinfo(fd, &info), -1);
    Grid g;
    int num = 0;
    {
      kavtest::CapAlloc cap(kTextLen / 2);
      EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1);
      EXPECT_EQ(cap.refused(), 0u) << "a read asked for " << cap.refused() << " bytes";
    }
    EXPECT_EQ(g.r.grid, nullptr);
    GRD_close(fd);
  });
  EXPECT_NE(c.err.find("GRD_getinfo: Text dimension of 100000 characters refused"),
            std::string::npos)
      << c.err;
  EXPECT_EQ(c.err.find("Out of memory"), std::string::npos) << c.err;
}

TEST(CdfOwn, AFileOfAnOlderWriterWithTheYearLess1900ComesOutAsTheFullYear) {
  kavtest::TempDir dir;
  Grid a;
  make_grid(a.r, 2, 2, 2, 1);
  const std::string name = dir.file("old.nc");
  ASSERT_TRUE(write_file(name, 0, {&a.r}, 2, 2));
  int nc = -1;
  ASSERT_EQ(nc_open(name.c_str(), NC_WRITE, &nc), NC_NOERR);
  nc_redef(nc);
  const short year = 124;
  ASSERT_EQ(nc_put_att_short(nc, NC_GLOBAL, "year", NC_SHORT, 1, &year), NC_NOERR);
  nc_close(nc);
  GRD_info info{};
  const int fd = open_read(name, &info);
  EXPECT_EQ(info.date.year, 2024);
  GRD_close(fd);
}

TEST(CdfOwn, AFileWrittenWithoutSizesTakesTheFirstGrids) {
  kavtest::TempDir dir;
  Grid a;
  make_grid(a.r, 2, 5, 3, 1);
  const std::string name = dir.file("nosize.nc");
  ASSERT_TRUE(write_file(name, 0, {&a.r}, 0, 0));
  GRD_info info{};
  const int fd = open_read(name, &info);
  EXPECT_EQ(info.max_x, 5);
  EXPECT_EQ(info.max_y, 3);
  Grid g;
  int num = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(values(g.r), values(a.r));
  GRD_close(fd);
}

// ---- The older model-output files ----

TEST(CdfModel, TheGlobalFileNumbersItsGridsLevelsFastestWithTheirKeys) {
  GRD_info info{};
  const int fd = open_read(kFix + "model_global.nc", &info);
  ASSERT_GE(fd, 0);
  GRD_file *f = GRD_get_gfile(fd);
  EXPECT_EQ(info.date.year, 2024);
  EXPECT_EQ(info.date.month, 3);
  EXPECT_EQ(info.date.day, 5);
  EXPECT_EQ(info.date.hour, 12);
  EXPECT_EQ(f->itype, 40);
  ASSERT_EQ(f->var_num, 4);
  EXPECT_EQ(f->var[0], 104);  // T in kelvin
  EXPECT_EQ(f->var[1], 101);  // Psl in Pa
  EXPECT_EQ(f->var[2], 1);    // Ptrop in hectopascals
  EXPECT_EQ(f->var[3], 102);  // Ztrop in gp m
  EXPECT_EQ(f->max_num, 6 + 3 + 3 + 3);
  Grid g;
  // T: three forecast times by two levels, levels fastest.
  const int levels[] = {850, 500, 850, 500, 850, 500};
  const int hours[] = {0, 0, 12, 12, 24, 24};
  for (int n = 0; n < 6; ++n) {
    int num = n;
    ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
    EXPECT_EQ(g.r.level, levels[n]);
    EXPECT_EQ(g.r.time, hours[n]);
    EXPECT_EQ(g.r.ltype, 10);
    EXPECT_EQ(g.r.var, 104);
    EXPECT_EQ(g.r.source, 7);
    EXPECT_EQ(g.r.model, n < 4 ? 81 : 82);
  }
  // Grid 3 (12 hours, 500 mb): the first latitude row at the bottom, 1e35 missing.
  int num = 3;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(values(g.r), (std::vector<float>{309, 310, 311, KAV_MISSING, 305, 306, 307, 308, 301,
                                             302, 303, 304}));
  const Domain &d = g.r.domain;
  EXPECT_EQ(d.proj, 2);
  EXPECT_EQ(d.nx, 4);
  EXPECT_EQ(d.ny, 3);
  EXPECT_FLOAT_EQ(d.dx, 2);
  EXPECT_FLOAT_EQ(d.dy, 10);
  EXPECT_FLOAT_EQ(d.clat, 20);
  EXPECT_FLOAT_EQ(d.clon, -97);
  EXPECT_EQ(g.r.type, 1);
  EXPECT_EQ(g.r.version, 1);
  // Psl: sea level; Ptrop: the file's kind turns tropopause.
  num = 6;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);
  EXPECT_EQ(g.r.ltype, 12);
  EXPECT_EQ(f->itype, 40);
  num = 9;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);
  EXPECT_EQ(f->itype, 41);
  EXPECT_EQ(g.r.ltype, 7);
  // A first value of 1e35 clears the keys.
  num = 11;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(g.r.var, 0);
  EXPECT_EQ(g.r.ltype, 0);
  EXPECT_EQ(g.r.time, 0);
  EXPECT_EQ(g.r.grid[g.r.domain.nx * 2], KAV_MISSING);
  num = 15;
  EXPECT_EQ(GRD_read(fd, &g.r, 0, &num), -1);
  GRD_rewind(fd);
  EXPECT_EQ(f->cur_var, -1);
  GRD_close(fd);
}

TEST(CdfModel, ASingleRowATwoDigitYearAndTheUsersVariables) {
  kavtest::ScopedEnv var("GRIDVAR", "extra");
  kavtest::ScopedEnv qp("GRIBQP", "6");
  GRD_info info{};
  const int fd = open_read(kFix + "model_row.nc", &info);
  ASSERT_GE(fd, 0);
  GRD_file *f = GRD_get_gfile(fd);
  EXPECT_EQ(info.date.year, 1997);
  EXPECT_EQ(info.date.month, 11);
  EXPECT_EQ(info.date.day, 30);
  EXPECT_EQ(info.date.hour, 18);
  EXPECT_EQ(f->itype, 123);  // "NMC Exte", "72 hours", no rtime
  ASSERT_EQ(f->var_num, 3);
  EXPECT_EQ(f->var[0], 0);   // the user's, first
  EXPECT_EQ(f->var[1], 62);  // SST in degC
  EXPECT_EQ(f->var[2], 50);
  Grid g;
  int num = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_STREQ(g.r.info, "Something else (widgets)");
  EXPECT_EQ(values(g.r), (std::vector<float>{7, 8, 9}));
  EXPECT_EQ(g.r.domain.ny, 1);
  EXPECT_FLOAT_EQ(g.r.domain.dy, 5);  // a single row takes the column spacing
  EXPECT_FLOAT_EQ(g.r.domain.clat, 45);
  EXPECT_EQ(g.r.type, 11);  // model 77
  num = 5;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);  // precip at 18 hours
  EXPECT_EQ(g.r.time, 18 + 6);
  EXPECT_EQ(g.r.ltype, 1);
  EXPECT_EQ(values(g.r), (std::vector<float>{1.5f, 2, 2.5f}));
  GRD_close(fd);
}

TEST(CdfModel, CodesFollowTheUnitsOfEachField) {
  kavtest::TempDir dir;
  const std::string name = dir.file("codes.nc");
  const struct {
    const char *name, *units;
    int code;
  } rows[] = {{"temp", "degC", 4},
              {"TEMP", "kelvin", 104},
              {"T", "furlongs", 4},
              {"omega", "Pa/s", 140},
              {"vert_vel", "mb/s", 40},
              {"wave_dir", "10 degrees", 75},
              {"wave_dir", "degrees true", 175},
              {"Z", "geopotential meters", 102},
              {"sea_temp", "degK", 161},
              {"wave_hgt", "meters", 164},
              {"rh", "%", 13}};
  const int fd = CDF_open(name.c_str(), 1);
  ASSERT_GE(fd, 0);
  const int lon = CDF_def_dim("lon", 2), lat = CDF_def_dim("lat", 2), fr = CDF_def_dim("frtime", 1);
  ASSERT_EQ(CDF_set_shape(3, fr, lat, lon), 0);
  for (const auto &r : rows) {
    // Names are matched without regard to case: the second wave_dir is upper case.
    const int id = CDF_def_float_var(
        std::strcmp(r.name, "wave_dir") == 0 && r.code == 175 ? "WAVE_DIR" : r.name);
    ASSERT_GE(id, 0) << r.name;
    ASSERT_EQ(CDF_put_base_att(id, nullptr, r.units), 0);
  }
  ASSERT_EQ(CDF_put_glob_att("title", "ECMWF: test"), 0);
  ASSERT_EQ(CDF_end_def(), 0);
  ASSERT_EQ(CDF_close(), 0);
  GRD_info info{};
  const int gfd = open_read(name, &info);
  ASSERT_GE(gfd, 0);
  GRD_file *f = GRD_get_gfile(gfd);
  EXPECT_EQ(f->itype, 130);
  ASSERT_EQ(f->var_num, static_cast<int>(sizeof rows / sizeof rows[0]));
  for (int i = 0; i < f->var_num; ++i) EXPECT_EQ(f->var[i], rows[i].code) << rows[i].name;
  GRD_close(gfd);
}

// ---- CF files ----

void check_cf(const std::string &name) {
  GRD_info info{};
  const int fd = open_read(name, &info);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(GRD_get_gfile(fd)->itype, CDF_ITYPE_CF);
  EXPECT_EQ(info.date.year, 2024);
  EXPECT_EQ(info.date.day, 5);
  EXPECT_EQ(GRD_get_gfile(fd)->max_num, 4 + 2 + 1);
  Grid g;
  int num = 0;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  // Packed shorts, south-to-north rows turned north-up, the fill missing.
  const std::vector<float> want = {275.15f, 275.16f, 275.17f, KAV_MISSING, 274.15f, 274.16f,
                                   274.17f, 274.18f, 273.15f, 273.16f,     273.17f, 273.18f};
  const std::vector<float> got = values(g.r);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-3) << i;
  EXPECT_EQ(g.r.var, 11);
  EXPECT_EQ(g.r.ltype, 100);
  EXPECT_EQ(g.r.level, 850);
  EXPECT_STREQ(g.r.units, "K");
  EXPECT_STREQ(g.r.info, "850 mb Temperature (K)");
  const Domain &d = g.r.domain;
  EXPECT_EQ(d.proj, 2);
  EXPECT_FLOAT_EQ(d.clat, 0);
  EXPECT_FLOAT_EQ(d.clon, 135);
  EXPECT_FLOAT_EQ(d.dx, 90);
  EXPECT_FLOAT_EQ(d.dy, 10);
  num = 3;  // 6 hours, 500 mb
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(g.r.level, 500);
  EXPECT_EQ(g.r.date.hour, 6);
  EXPECT_NEAR(g.r.grid[0], 273.15 - 11.90, 1e-3);
  num = 4;  // surface pressure, its missing value
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(g.r.var, 0);
  EXPECT_EQ(g.r.ltype, 1);
  EXPECT_STREQ(g.r.info, "Surface pressure (Pa)");
  EXPECT_EQ(g.r.grid[7], KAV_MISSING);
  EXPECT_EQ(g.r.grid[0], 98000);
  num = 6;  // a static double field
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(values(g.r), (std::vector<float>{9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}));
  GRD_close(fd);
}

TEST(CdfCf, PackedValuesFillDatesAndLevelsOfAClassicFile) { check_cf(kFix + "cf_packed.nc"); }

TEST(CdfCf, TheSameFileInNetcdf4StorageReadsTheSame) {
  EXPECT_EQ(GRD_chktype((kFix + "cf_packed_nc4.nc").c_str()), GRD_NETCDF);
  check_cf(kFix + "cf_packed_nc4.nc");
}

TEST(CdfCf, The64BitOffsetAndCdf5VariantsReadTheSame) {
  const std::string ncgen = tool("ncgen");
  if (ncgen.empty()) GTEST_SKIP() << "ncgen is not installed";
  kavtest::TempDir dir;
  for (const char *kind : {"64-bit-offset", "cdf5"}) {
    SCOPED_TRACE(kind);
    const std::string out = dir.file(std::string(kind) + ".nc");
    const kavtest::RunResult r =
        kavtest::run({ncgen, "-b", "-k", kind, "-o", out, kFix + "cf_packed.cdl"});
    ASSERT_EQ(r.status, 0) << r.err;
    check_cf(out);
  }
}

TEST(CdfCf, TimesAgreeWithNcdump) {
  const std::string ncdump = tool("ncdump");
  if (ncdump.empty()) GTEST_SKIP() << "ncdump is not installed";
  const kavtest::RunResult r = kavtest::run({ncdump, "-t", "-v", "time", kFix + "cf_packed.nc"});
  EXPECT_NE(r.out.find("\"2024-03-05\", \"2024-03-05 06\""), std::string::npos) << r.out;
  const int fd = open_read(kFix + "cf_packed.nc");
  Grid g;
  int num = 2;
  ASSERT_EQ(GRD_read(fd, &g.r, 1, &num), 0);
  EXPECT_EQ(g.r.date.year, 2024);
  EXPECT_EQ(g.r.date.day, 5);
  EXPECT_EQ(g.r.date.hour, 6);
  GRD_close(fd);
}

TEST(CdfCf, AFileWrittenByXarrayReads) {
  const std::string name = kFix + "cf_xarray.nc";
  if (!kavtest::read_file(name).size()) GTEST_SKIP() << "no xarray fixture";
  GRD_info info{};
  const int fd = open_read(name, &info);
  ASSERT_GE(fd, 0);
  Grid g;
  int num = 1;
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(g.r.domain.nx, 4);
  EXPECT_EQ(g.r.domain.ny, 3);
  EXPECT_EQ(g.r.date.year, 2024);
  EXPECT_EQ(g.r.date.hour, 6);
  EXPECT_NEAR(g.r.grid[0], 120.5, 1e-3);  // the northern row first
  EXPECT_EQ(g.r.grid[11], KAV_MISSING);
  EXPECT_STREQ(g.r.info, "Total precipitation (mm)");
  num = 3;  // the packed temperature at 6 hours
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(g.r.var, 11);
  EXPECT_NEAR(g.r.grid[0], 273.65, 1e-3);
  EXPECT_NEAR(g.r.grid[11], 276.15, 1e-3);
  EXPECT_FLOAT_EQ(g.r.domain.clat, 0);
  EXPECT_FLOAT_EQ(g.r.domain.dy, 10);
  GRD_close(fd);
}

TEST(CdfCf, ForecastHoursPascalsEastToWestColumnsAndASingleRow) {
  kavtest::TempDir dir;
  const std::string name = dir.file("fc.nc");
  ASSERT_GE(CDF_open(name.c_str(), 1), 0);
  const int t = CDF_def_dim("step", 2), p = CDF_def_dim("plev", 1), la = CDF_def_dim("lat", 1),
            lo = CDF_def_dim("lon", 3);
  CDF_set_shape(1, t);
  const int step = CDF_def_var("step", CDF_DOUBLE, 1, t);
  CDF_put_base_att(step, nullptr, "minutes since 2024-03-05T06:00:00Z");
  const int plev = CDF_def_var("plev", CDF_FLOAT, 1, p);
  CDF_put_base_att(plev, nullptr, "Pa");
  const int lat = CDF_def_var("lat", CDF_FLOAT, 1, la);
  CDF_put_base_att(lat, nullptr, "degrees_north");
  const int lon = CDF_def_var("lon", CDF_FLOAT, 1, lo);
  CDF_put_base_att(lon, nullptr, "degrees_east");
  const int ref = CDF_def_var("reftime", CDF_DOUBLE, 0);
  CDF_put_base_att(ref, nullptr, "hours since 2024-03-05 00:00");
  const int z = CDF_def_var("z", CDF_FLOAT, 4, t, p, la, lo);
  CDF_put_base_att(z, "Height", "m");
  const int w = CDF_def_var("w", CDF_FLOAT, 4, t, p, la, lo);
  CDF_put_glob_att("Conventions", "CF-1.6");
  ASSERT_EQ(CDF_end_def(), 0);
  CDF_set_range(1, 0L, 2L);
  const float steps[2] = {0, 180};
  CDF_put_float_array(step, steps);
  CDF_set_pos(1, 0L);
  CDF_put_float(plev, 70000);
  CDF_put_float(lat, 45);
  CDF_set_range(1, 0L, 3L);
  const float lons[3] = {20, 10, 0};  // east to west
  CDF_put_float_array(lon, lons);
  CDF_set_pos(0);
  CDF_put_float(ref, 6);
  CDF_set_range(4, 1L, 1L, 0L, 1L, 0L, 1L, 0L, 3L);
  const float vals[3] = {3, 2, 1};
  CDF_put_float_array(z, vals);
  CDF_put_float_array(w, vals);
  ASSERT_EQ(CDF_close(), 0);

  kavtest::ScopedEnv var("GRIDVAR", "w");
  GRD_info info{};
  const int fd = open_read(name, &info);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(info.date.hour, 6);  // the forecast reference time
  EXPECT_EQ(GRD_get_gfile(fd)->max_num, 4);
  Grid g;
  int num = 3;  // z at the second step
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(g.r.time, 3);  // 06Z + 180 minutes is the 3-hour forecast from 06Z
  EXPECT_EQ(g.r.date.hour, 6);
  EXPECT_EQ(g.r.ltype, 100);
  EXPECT_EQ(g.r.level, 700);  // Pa to hPa
  EXPECT_STREQ(g.r.info, "700 mb Height (m)");
  EXPECT_EQ(values(g.r), (std::vector<float>{1, 2, 3}));  // west to east
  EXPECT_FLOAT_EQ(g.r.domain.clon, 10);
  EXPECT_FLOAT_EQ(g.r.domain.dx, 10);
  EXPECT_FLOAT_EQ(g.r.domain.dy, 10);  // a single row takes the column spacing
  num = 0;  // the user's variable first; a step never written holds the fill
  ASSERT_EQ(GRD_read(fd, &g.r, 0, &num), 0);
  EXPECT_EQ(values(g.r), (std::vector<float>{KAV_MISSING, KAV_MISSING, KAV_MISSING}));
  GRD_close(fd);
}

TEST(CdfCf, AFileWithoutLatitudesIsRefusedClearly) {
  kavtest::TempDir dir;
  const std::string name = dir.file("none.nc");
  ASSERT_GE(CDF_open(name.c_str(), 1), 0);
  const int x = CDF_def_dim("x", 3);
  CDF_set_shape(1, x);
  CDF_def_float_var("v");
  CDF_end_def();
  CDF_close();
  kavtest::Captured c = kavtest::capture([&] { EXPECT_EQ(open_read(name), -1); });
  EXPECT_NE(c.err.find("GRD_getinfo: No netCDF schema known here"), std::string::npos) << c.err;
}

TEST(CdfHostile, HeadersWhoseCountsOrNamesRunPastTheFileAreRefusedBeforeTheLibrary) {
  kavtest::TempDir dir;
  const std::string good = kavtest::read_file(kFix + "model_row.nc");
  ASSERT_GT(good.size(), 64u);
  std::vector<std::string> bad = {
      std::string("CDF\x01\0\0\0\0\0\0\0\x0a\0\0\0\x01\0\0\0\x7f\xff\xffx", 24),  // name
      std::string("CDF\x01\0\0\0\0\0\0\0\x0a\x7f\xff\xff\xff", 16),               // dimension count
      std::string("CDF\x07\0\0\0\0", 8),                                          // version
      good.substr(0, 40),                                                         // cut short
  };
  std::string two = good;
  two[20] = '\x03';  // "lon" becomes a name with a control character
  bad.push_back(two);
  int i = 0;
  for (const std::string &bytes : bad) {
    SCOPED_TRACE(i);
    const std::string name = dir.write("bad" + std::to_string(i++) + ".nc", bytes);
    kavtest::Captured c = kavtest::capture([&] {
      int type = 0;
      EXPECT_EQ(GRD_open(name.c_str(), 0, &type), -1);
      EXPECT_EQ(CDF_open(name.c_str(), 0), -1);
    });
    EXPECT_NE(c.err.find("GRD_open: Not a readable netCDF file ("), std::string::npos) << c.err;
    EXPECT_NE(c.err.find("CDF_open: Not a readable netCDF file ("), std::string::npos);
  }
}

// ---- The access module ----

TEST(CdfAccess, TheLibraryNeverEndsTheProcessAndErrorsNameTheFunction) {
  EXPECT_EQ(ncopts & NC_FATAL, 0);
  EXPECT_EQ(ncopts & NC_VERBOSE, 0);
  kavtest::Captured c = kavtest::capture([] {
    CDF_set_fd(4321);  // no such file; no GRD_open before
    EXPECT_EQ(CDF_get_dim_size(0), -1);
    EXPECT_EQ(CDF_def_dim("x", 3), -1);
    CDF_set_fd(-1);
  });
  EXPECT_NE(c.err.find("CDF_get_dim_size: netCDF error in ncdiminq"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("CDF_def_dim: netCDF error in ncdimdef"), std::string::npos);
  CDF_print_errors(0);
  c = kavtest::capture([] {
    CDF_set_fd(4321);
    EXPECT_EQ(CDF_get_dim_size(0), -1);
    CDF_set_fd(-1);
  });
  CDF_print_errors(1);
  EXPECT_EQ(c.err, "");
  c = kavtest::capture([] { EXPECT_EQ(CDF_open("/nonexistent/dir/x.nc", 0), -1); });
  EXPECT_NE(c.err.find("CDF_open: netCDF error in ncopen"), std::string::npos) << c.err;
}

TEST(CdfAccess, PositionsBeyondTenDimensionsAndNegativeIndicesAreRefused) {
  kavtest::Captured c = kavtest::capture([] {
    EXPECT_EQ(CDF_set_pos(11, 0L, 0L, 0L, 0L, 0L, 0L, 0L, 0L, 0L, 0L, 0L), -1);
    EXPECT_EQ(CDF_set_range(11, 0L, 1L, 0L, 1L, 0L, 1L, 0L, 1L, 0L, 1L, 0L, 1L, 0L, 1L, 0L, 1L, 0L,
                            1L, 0L, 1L, 0L, 1L),
              -1);
    EXPECT_EQ(CDF_set_shape(11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(CDF_set_pos(2, 0L, -1L), -1);
    EXPECT_EQ(CDF_set_range(1, 0L, -1L), -1);
    EXPECT_EQ(CDF_set_pos(-1), -1);
  });
  EXPECT_NE(c.err.find("CDF_set_pos: 11 dimensions; at most 10"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("CDF_set_shape: 11 dimensions"), std::string::npos);
}

TEST(CdfAccess, WithoutAFileWritersDoNothingAndReadersGiveTheirDefaults) {
  CDF_set_fd(-1);
  EXPECT_EQ(CDF_put_float(0, 1), 0);
  EXPECT_EQ(CDF_put_long(0, 1), 0);
  EXPECT_EQ(CDF_put_str(0, "x"), 0);
  EXPECT_EQ(CDF_get_float(0), KAV_MISSING);
  EXPECT_EQ(CDF_get_double(0), -9999.0);
  EXPECT_EQ(CDF_get_long(0), -9999);
  EXPECT_EQ(CDF_get_byte(0), -1);
  EXPECT_EQ(CDF_get_char(0), ' ');
  float f = 0;
  EXPECT_EQ(CDF_get_float_array(0, &f), -1);
  char s[4] = "abc";
  EXPECT_EQ(CDF_get_str(0, 3, s), 0);
  EXPECT_STREQ(s, "");
  EXPECT_EQ(CDF_close(), -1);
}

TEST(CdfAccess, AProductWrittenAndReadBackAgreesWithNcdump) {
  kavtest::TempDir dir;
  const std::string name = dir.file("sub/product.nc");  // the directory is made
  const int fd = CDF_open(name.c_str(), 1);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(CDF_open(name.c_str(), 7), fd);
  const int rec = CDF_def_dim("rec", 0), st = CDF_def_dim("station", 3),
            len = CDF_def_dim("len", 8);
  ASSERT_GE(len, 0);
  EXPECT_EQ(CDF_get_dim("station"), st);
  ASSERT_EQ(CDF_set_shape(2, rec, st), 0);
  const int temp = CDF_def_float_var("temp"), count = CDF_def_long_var("count"),
            code = CDF_def_short_var("code"), flag = CDF_def_byte_var("flag");
  const int name_v = CDF_def_var("name", CDF_CHAR, 3, rec, st, len);
  const int dbl = CDF_def_var("dbl", CDF_DOUBLE, 1, st);
  ASSERT_GE(name_v, 0);
  ASSERT_GE(dbl, 0);
  EXPECT_EQ(CDF_def_var("bad", 99, 1, st), -1);
  EXPECT_EQ(CDF_put_base_att(temp, "Temperature", "K"), 0);
  EXPECT_EQ(CDF_put_float_range_att(temp, 150, 350), 0);
  EXPECT_EQ(CDF_put_fill_att(temp), 0);
  EXPECT_EQ(CDF_put_long_range_att(count, 0, 100000), 0);
  EXPECT_EQ(CDF_put_long_fill_att(count, -1), 0);
  EXPECT_EQ(CDF_put_long_fill_att(count, 1L << 40), -1);
  EXPECT_EQ(CDF_put_glob_att("title", "A product"), 0);
  ASSERT_EQ(CDF_end_def(), 0);
  ASSERT_EQ(CDF_set_pos(2, 0L, 1L), 0);
  EXPECT_EQ(CDF_put_float(temp, 271.5f), 0);
  EXPECT_EQ(CDF_put_long(count, 70000), 0);
  EXPECT_EQ(CDF_put_long(count, 1L << 40), -1);  // does not fit 32 bits
  EXPECT_EQ(CDF_put_short(code, 12), 0);
  EXPECT_EQ(CDF_put_byte(flag, -3), 0);
  EXPECT_EQ(CDF_put_str(name_v, "KOAX"), 0);
  ASSERT_EQ(CDF_set_pos(2, 1L, 0L), 0);
  EXPECT_EQ(CDF_put_str(name_v, "A NAME TOO LONG"), 0);  // cut to 7 and the NUL
  ASSERT_EQ(CDF_set_pos(2, 0L, 1L), 0);
  ASSERT_EQ(CDF_set_range(2, 1L, 1L, 0L, 3L), 0);
  const float row[3] = {1, 2, 3};
  EXPECT_EQ(CDF_put_float_array(temp, row), 0);
  const signed char flags[3] = {4, 5, 6};
  EXPECT_EQ(CDF_put_byte_array(flag, flags), 0);
  ASSERT_EQ(CDF_close(), 0);

  ASSERT_GE(CDF_open(name.c_str(), 0), 0);
  EXPECT_EQ(CDF_get_dim_size(-1), 2);
  const int t = CDF_get_var("temp");
  ASSERT_EQ(CDF_set_pos(2, 0L, 1L), 0);
  EXPECT_FLOAT_EQ(CDF_get_float(t), 271.5f);
  EXPECT_DOUBLE_EQ(CDF_get_double(t), 271.5);
  EXPECT_EQ(CDF_get_long(CDF_get_var("count")), 70000);
  EXPECT_EQ(CDF_get_byte(CDF_get_var("flag")), -3);
  char text[9];
  EXPECT_EQ(CDF_get_str(CDF_get_var("name"), 8, text), 1);
  EXPECT_STREQ(text, "KOAX");
  ASSERT_EQ(CDF_set_pos(2, 1L, 0L), 0);
  EXPECT_EQ(CDF_get_str(CDF_get_var("name"), 8, text), 1);
  EXPECT_STREQ(text, "A NAME ");
  ASSERT_EQ(CDF_set_pos(3, 0L, 1L, 1L), 0);
  EXPECT_EQ(CDF_get_char(CDF_get_var("name")), 'O');
  ASSERT_EQ(CDF_set_pos(2, 0L, 0L), 0);
  EXPECT_FLOAT_EQ(CDF_get_float(t), KAV_MISSING);  // the fill value
  ASSERT_EQ(CDF_set_range(2, 1L, 1L, 0L, 3L), 0);
  float back[3] = {};
  EXPECT_EQ(CDF_get_float_array(t, back), 0);
  EXPECT_EQ(std::vector<float>(back, back + 3), std::vector<float>(row, row + 3));
  double dback[3] = {};
  EXPECT_EQ(CDF_get_double_array(t, dback), 0);  // converted from the stored floats
  EXPECT_DOUBLE_EQ(dback[2], 3.0);
  signed char bback[3] = {};
  EXPECT_EQ(CDF_get_byte_array(CDF_get_var("flag"), bback), 0);
  EXPECT_EQ(bback[2], 6);
  char title[4];
  EXPECT_EQ(CDF_get_glob_att("title", title, 3), 0);
  EXPECT_STREQ(title, "A p");
  EXPECT_EQ(CDF_get_glob_att("absent", title, 3), -1);
  ASSERT_EQ(CDF_close(), 0);

  const std::string ncdump = tool("ncdump");
  if (ncdump.empty()) GTEST_SKIP() << "ncdump is not installed";
  const kavtest::RunResult r = kavtest::run({ncdump, name});
  EXPECT_NE(r.out.find("temp =\n  _, 271.5, _,\n  1, 2, 3 ;"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("count =\n  _, 70000, _,"), std::string::npos);
  EXPECT_NE(r.out.find("temp:valid_range = 150.f, 350.f ;"), std::string::npos);
  EXPECT_NE(r.out.find("\"KOAX\""), std::string::npos);
  EXPECT_NE(r.out.find(":title = \"A product\" ;"), std::string::npos);
}

TEST(CdfUnits, EachCodeOfTheOlderFilesHasItsUnits) {
  const struct {
    int code;
    const char *units;
  } rows[] = {{1, "hectopascals"},   {2, "geopotential dekameters"},
              {4, "celsius"},        {15, "celsius"},
              {13, "percent"},       {23, "meters/second"},
              {24, "meters/second"}, {40, "millibars/second"},
              {50, "kg/m2"},         {61, "0.5 degC"},
              {62, "degC"},          {64, "0.5 meters"},
              {75, "10 degrees"},    {76, "seconds"},
              {101, "pascals"},      {102, "geopotential meters"},
              {104, "kelvin"},       {140, "pascals/second"},
              {161, "degK"},         {164, "meters"},
              {175, "degrees"}};
  for (const auto &r : rows) EXPECT_STREQ(GRIB_cdf_units(r.code), r.units) << r.code;
  for (int other : {0, 3, 51, 100, 200, -1}) EXPECT_EQ(GRIB_cdf_units(other), nullptr) << other;
}

}  // namespace

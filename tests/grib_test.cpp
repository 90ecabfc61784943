// GRIB editions 0 and 1: real files against ecCodes' decoding (rows in
// data/grib_oracle.txt), and built messages for what no sample covers:
// envelopes, index files, special grids, bit maps and the refusals.
#include <gtest/gtest.h>
#include <kav/grd_read.h>
#include <kav/grib.h>
#include <kav/mess.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/gribbuild.h"
#include "support/kavtest.h"

namespace {

using kavtest::build_grib;
using kavtest::GribSpec;

const std::string kDir = std::string(KAV_TEST_DATA) + "/grib/";

// A read of one grid: the result, the record and what was said.
struct Read {
  int result = -9;
  int num = -1;
  GRD_report grd{};
  std::string err;
  Read() { GRD_init(&grd); }
  ~Read() { std::free(grd.grid); }
  Read(const Read &) = delete;
  Read &operator=(const Read &) = delete;
  float at(int i, int j) const { return grd.grid[i + grd.domain.nx * j]; }
};

// Opens a file, asks for its information and reads grid n.
void read_grid(const std::string &file, int n, Read &r, int rep_type = 0) {
  const auto c = kavtest::capture([&] {
    int type = 0;
    const int fd = GRD_open(file.c_str(), 0, &type);
    if (fd < 0) return;
    GRD_info info{};
    if (GRD_getinfo(fd, &info) == 0) {
      for (int k = 0; k <= n; ++k) {
        int num = k;
        r.result = GRD_read(fd, &r.grd, k == n ? rep_type : 1, &num);
        r.num = num;
      }
    }
    GRD_close(fd);
  });
  r.err = c.err;
}

std::string write_file(const kavtest::TempDir &dir, const std::string &name,
                       const std::string &bytes) {
  const std::string f = dir.file(name);
  std::ofstream(f, std::ios::binary) << bytes;
  return f;
}

// ---------------------------------------------------------------- oracle

struct Oracle {
  int nx, ny, source, model, var, ltype, level, time;
  double quantum, min, max, mean, clat, clon;
  std::vector<std::array<double, 3>> points;
};

std::map<std::string, Oracle> load_oracle() {
  std::map<std::string, Oracle> m;
  std::ifstream in(std::string(KAV_TEST_DATA) + "/grib_oracle.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string kind, name;
    s >> kind >> name;
    if (kind == "file") {
      Oracle o{};
      s >> o.nx >> o.ny >> o.source >> o.model >> o.var >> o.ltype >> o.level >> o.time >>
          o.quantum >> o.min >> o.max >> o.mean >> o.clat >> o.clon;
      m[name] = o;
    } else if (kind == "point") {
      std::array<double, 3> p{};
      s >> p[0] >> p[1] >> p[2];
      m[name].points.push_back(p);
    }
  }
  return m;
}

TEST(GribOracle, SamplesDecodeAsEcCodesDoes) {
  const auto oracle = load_oracle();
  ASSERT_EQ(oracle.size(), 5u);
  for (const auto &[name, o] : oracle) {
    SCOPED_TRACE(name);
    EXPECT_EQ(GRD_chktype((kDir + name).c_str()), GRD_GRIB);
    Read r;
    read_grid(kDir + name, 0, r);
    ASSERT_EQ(r.result, 0) << r.err;
    ASSERT_EQ(r.grd.domain.nx, o.nx);
    ASSERT_EQ(r.grd.domain.ny, o.ny);
    const double tol = o.quantum / 2 + 1e-4 * std::fabs(o.max);
    for (const auto &p : o.points)
      EXPECT_NEAR(r.at(int(p[0]), int(p[1])), p[2], tol) << p[0] << "," << p[1];
    double lo = 1e30, hi = -1e30, sum = 0;
    for (int k = 0; k < o.nx * o.ny; ++k) {
      lo = std::min(lo, double(r.grd.grid[k]));
      hi = std::max(hi, double(r.grd.grid[k]));
      sum += r.grd.grid[k];
    }
    EXPECT_NEAR(lo, o.min, tol);
    EXPECT_NEAR(hi, o.max, tol);
    EXPECT_NEAR(sum / (o.nx * o.ny), o.mean, tol);
    EXPECT_EQ(r.grd.source, o.source);
    EXPECT_EQ(r.grd.model, o.model);
    EXPECT_EQ(r.grd.time, o.time);
    if (o.source == 98 && o.var == 167) {  // the local 2 m temperature of centre 98
      EXPECT_EQ(r.grd.var, 11);
      EXPECT_EQ(r.grd.ltype, 105);
      EXPECT_EQ(r.grd.level, 2);
      EXPECT_STREQ(r.grd.units, "K");
    } else {
      EXPECT_EQ(r.grd.var, o.var);
      EXPECT_EQ(r.grd.ltype, o.ltype);
      EXPECT_EQ(r.grd.level, o.level);
    }
    // The centre within the difference of the earth radii.
    EXPECT_NEAR(r.grd.domain.clat, o.clat, 0.05);
    EXPECT_NEAR(r.grd.domain.clon, o.clon, 0.05);
  }
}

TEST(GribOracle, PolarStereographicDomain) {
  Read r;
  read_grid(kDir + "cmc_ps60km.grib", 0, r, 1);
  ASSERT_EQ(r.result, 0);
  EXPECT_EQ(r.grd.domain.proj, 1);
  EXPECT_FLOAT_EQ(r.grd.domain.plat, 90);
  EXPECT_FLOAT_EQ(r.grd.domain.plon, -111);
  EXPECT_FLOAT_EQ(r.grd.domain.dx, 0.6f);
  EXPECT_EQ(r.grd.grid, nullptr);  // header only
  EXPECT_EQ(r.grd.date.year, 2010);
  EXPECT_EQ(r.grd.date.month, 5);
  EXPECT_EQ(r.grd.date.day, 24);
}

TEST(GribSamples, SpectralFileIsRefusedWithAMessage) {
  Read r;
  read_grid(kDir + "spherical_pressure_level.grib1", 0, r);
  EXPECT_EQ(r.result, GRIB_REJECT);
  EXPECT_NE(r.err.find("GRIB_GDB"), std::string::npos) << r.err;
  EXPECT_EQ(r.grd.grid, nullptr);
}

TEST(GribSamples, MessageBehindALongHeaderIsFoundAndItsRotatedGridRefused) {
  const std::string f = kDir + "ecoclimap_rot_head.grib1";
  EXPECT_EQ(GRD_chktype(f.c_str()), GRD_GRIB);
  Read r;
  read_grid(f, 0, r);
  EXPECT_EQ(r.result, GRIB_REJECT);
  EXPECT_EQ(GRD_get_pos(), 12000);
  EXPECT_NE(r.err.find("type not decoded: 10"), std::string::npos) << r.err;
}

TEST(GribSamples, Edition2MessagesAreNumberedWithTheOthers) {
  kavtest::TempDir dir;
  const std::string one = kavtest::read_file(kDir + "regular_latlon_surface.grib1");
  const std::string two = kavtest::read_file(kDir + "regular_latlon_surface.grib2");
  const std::string cmc = kavtest::read_file(kDir + "cmc_ps60km.grib");
  const std::string f = write_file(dir, "mixed.grb", one + two + cmc);
  Read a, b, c, d;
  read_grid(f, 0, a, 1);
  read_grid(f, 1, b, 0);
  read_grid(f, 2, c, 1);
  read_grid(f, 3, d, 1);
  EXPECT_EQ(a.result, 0);
  EXPECT_EQ(a.grd.source, 98);
  ASSERT_EQ(b.result, 0) << b.err;
  EXPECT_EQ(b.grd.version, 2);  // the edition-2 twin, decoded alike
  EXPECT_EQ(b.grd.var, a.grd.var);
  EXPECT_EQ(c.result, 0);
  EXPECT_EQ(c.grd.source, 54);
  EXPECT_EQ(d.result, -1);
}

TEST(GribSamples, CutAndFlippedCopiesEndDefined) {
  kavtest::TempDir dir;
  for (const char *name : {"cmc_ps60km.grib", "regular_latlon_surface.grib1",
                           "spherical_pressure_level.grib1", "latlon_scan20.grib1"}) {
    const std::string bytes = kavtest::read_file(kDir + name);
    std::vector<std::string> variants;
    for (size_t cut : {size_t(5), size_t(30), size_t(60), bytes.size() / 2, bytes.size() - 3})
      variants.push_back(bytes.substr(0, cut));
    for (size_t at = 4; at < 120 && at < bytes.size(); at += 7) {
      std::string v = bytes;
      v[at] = static_cast<char>(v[at] ^ 0xFF);
      variants.push_back(v);
    }
    for (size_t k = 0; k < variants.size(); ++k) {
      const std::string f = write_file(dir, "v" + std::to_string(k), variants[k]);
      for (int n = 0; n < 3; ++n) {
        Read r;
        read_grid(f, n, r);
        // -9: the file was refused at opening (no message found).
        EXPECT_TRUE(r.result == 0 || r.result == -1 || r.result == GRIB_REJECT || r.result == -9);
        if (r.result == 0) {
          ASSERT_NE(r.grd.grid, nullptr);
          EXPECT_GT(r.grd.domain.nx, 0);
        }
      }
    }
  }
}

// ---------------------------------------------------------------- built

GribSpec small() {
  GribSpec s;
  s.codes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  s.ref = 100;
  return s;
}

TEST(GribNumbers, IbmFloatsAndScaleFactors) {
  const unsigned char one[] = {0x41, 0x10, 0x00, 0x00}, neg[] = {0xC2, 0x64, 0x00, 0x00},
                      zero[] = {0x00, 0x12, 0x34, 0x56};
  EXPECT_FLOAT_EQ(GRIB_flt_conv(one), 1.0f);
  EXPECT_FLOAT_EQ(GRIB_flt_conv(neg), -100.0f);
  EXPECT_FLOAT_EQ(GRIB_flt_conv(zero), 0.0f);
  const unsigned char e3[] = {0x00, 0x03}, em2[] = {0x80, 0x02}, e0[] = {0, 0};
  EXPECT_FLOAT_EQ(GRIB_scl_conv(e3), 8.0f);
  EXPECT_FLOAT_EQ(GRIB_scl_conv(em2), 0.25f);
  EXPECT_FLOAT_EQ(GRIB_scl_conv(e0), 1.0f);
}

TEST(GribBuilt, AMessageCutByTheEndOfTheFileFailsWithoutAllocatingItsLength) {
  kavtest::TempDir dir;
  std::string m = build_grib(small());
  m[4] = 0x1E;  // a stated length of about 2 MB
  Read r;
  read_grid(write_file(dir, "cut.grb", m), 0, r);
  EXPECT_TRUE(r.result == -1 || r.result == -9);
  std::string two(m.size(), '\0');
  two = build_grib(small());
  two[11] = 2;  // "edition 2" with a length of about 2^58 octets
  for (int k = 8; k < 16; ++k) two[size_t(k)] = k == 8 ? 4 : 0;
  Read t;
  read_grid(write_file(dir, "cut2.grb", two), 0, t);
  EXPECT_NE(t.result, 0);
}

TEST(GribBuilt, RowsComeOutNorthUpWestToEastForEveryScanningMode) {
  kavtest::TempDir dir;
  // Stored codes 0..11 on 4 x 3 points; value = 100 + code.
  struct Case {
    int scan;
    float nw, ne, sw;  // values at the north-west, north-east and south-west corners
  } cases[] = {{0x00, 100, 103, 108},
               {0x40, 108, 111, 100},
               {0x80, 103, 100, 111},
               {0x20, 100, 109, 102},
               {0x60, 102, 111, 100}};
  for (const Case &c : cases) {
    GribSpec s = small();
    s.scan = c.scan;
    if (c.scan & 0x40) std::swap(s.la1, s.la2);
    if (c.scan & 0x80) std::swap(s.lo1, s.lo2);
    Read r;
    read_grid(write_file(dir, "s.grb", build_grib(s)), 0, r);
    ASSERT_EQ(r.result, 0) << r.err;
    EXPECT_FLOAT_EQ(r.at(0, 0), c.nw) << c.scan;
    EXPECT_FLOAT_EQ(r.at(3, 0), c.ne) << c.scan;
    EXPECT_FLOAT_EQ(r.at(0, 2), c.sw) << c.scan;
    EXPECT_FLOAT_EQ(r.grd.domain.clat, 55);
    EXPECT_FLOAT_EQ(r.grd.domain.clon, 7.5f);
  }
}

TEST(GribBuilt, BitMapZeroIsMissingAndTakesNoValue) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.bitmap = {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
  s.codes = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  Read r;
  read_grid(write_file(dir, "b.grb", build_grib(s)), 0, r);
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_FLOAT_EQ(r.at(0, 0), 100);
  EXPECT_FLOAT_EQ(r.at(1, 0), -9999);
  EXPECT_FLOAT_EQ(r.at(2, 0), 101);
  EXPECT_FLOAT_EQ(r.at(3, 2), -9999);
  EXPECT_FLOAT_EQ(r.at(2, 2), 109);
}

TEST(GribBuilt, EveryWidthUnpacksAlikeWithAndWithoutABitMap) {
  kavtest::TempDir dir;
  for (int bits : {1, 7, 8, 12, 13, 16, 24, 31, 32}) {
    for (int nx : {10, 9}) {
      for (bool map : {false, true}) {
        GribSpec s;
        s.ni = nx;
        s.nj = 4;
        s.di = 1000;
        s.lo2 = (nx - 1) * 1000;
        s.la1 = 3000;
        s.la2 = 0;
        s.dj = 1000;
        s.bits = bits;
        s.binary_scale = bits > 24 ? -20 : 0;
        const uint64_t top = (uint64_t{1} << bits) - 1;
        std::vector<uint32_t> all;
        for (int k = 0; k < nx * 4; ++k)
          all.push_back(static_cast<uint32_t>((uint64_t(k) * 2654435761u) & top));
        for (int k = 0; k < nx * 4; ++k) {
          if (map) s.bitmap.push_back(k % 3 != 1);
          if (!map || k % 3 != 1) s.codes.push_back(all[size_t(k)]);
        }
        Read r;
        read_grid(write_file(dir, "w.grb", build_grib(s)), 0, r);
        ASSERT_EQ(r.result, 0) << bits << " " << r.err;
        for (int k = 0; k < nx * 4; ++k) {
          const float want =
              (map && k % 3 == 1)
                  ? -9999.0f
                  : static_cast<float>(std::ldexp(double(all[size_t(k)]), s.binary_scale));
          ASSERT_FLOAT_EQ(r.grd.grid[k], want) << bits << " bits, point " << k;
        }
      }
    }
  }
}

TEST(GribBuilt, CorruptionWatchMarksTheRestOfAJumpyMessageMissing) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.ni = 12;
  s.nj = 2;
  s.lo2 = 55000;
  s.la2 = 55000;
  s.ltype = 1;  // jumps above 2 to the power 7 count
  s.codes = {10, 11, 10, 250, 0,  250, 0,  250, 0,  12, 11, 10,
             10, 11, 10, 11,  10, 11,  10, 11,  10, 11, 10, 11};
  const std::string f = write_file(dir, "bad.grb", build_grib(s));
  GRIB_set_max_bad(2);
  Read r;
  read_grid(f, 0, r);
  GRIB_set_max_bad(0);
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_FLOAT_EQ(r.at(0, 0), 110);
  EXPECT_FLOAT_EQ(r.at(11, 0), -9999) << r.err;
  EXPECT_FLOAT_EQ(r.at(0, 1), -9999);
  Read off;
  read_grid(f, 0, off);
  EXPECT_FLOAT_EQ(off.at(11, 0), 110);
}

TEST(GribBuilt, BadBitMapsAreRefused) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.bitmap = {1, 1, 1, 1, 1};  // fewer bits than points
  Read r;
  read_grid(write_file(dir, "b1.grb", build_grib(s)), 0, r);
  EXPECT_EQ(r.result, GRIB_REJECT);
  s.bitmap.clear();
  s.bitmap_table = 5;  // predefined
  Read p;
  read_grid(write_file(dir, "b2.grb", build_grib(s)), 0, p);
  EXPECT_EQ(p.result, GRIB_REJECT);
  EXPECT_NE(p.err.find("Predefined bit map"), std::string::npos);
}

TEST(GribBuilt, ZeroBitsGiveTheReferenceAndScalesApply) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.bits = 0;
  s.codes.clear();
  s.ref = 250;
  s.dscale = 1;
  Read r;
  read_grid(write_file(dir, "z.grb", build_grib(s)), 0, r);
  ASSERT_EQ(r.result, 0) << r.err;
  for (int k = 0; k < 12; ++k) EXPECT_FLOAT_EQ(r.grd.grid[k], 25.0f);
  s = small();
  s.binary_scale = -1;
  s.dscale = -1;
  Read q;
  read_grid(write_file(dir, "e.grb", build_grib(s)), 0, q);
  EXPECT_FLOAT_EQ(q.at(3, 0), (100 + 3 * 0.5f) * 10);
}

TEST(GribBuilt, DataSectionsThatCannotBeDecodedAreRefused) {
  kavtest::TempDir dir;
  struct Case {
    int flag, bits, cut;
    const char *says;
  } cases[] = {{0x80, 8, 0, "Spherical"},
               {0x40, 8, 0, "Complex"},
               {0x10, 8, 0, "Complex"},
               {0, 33, 0, "32 bits"},
               {0, 8, 6, "Too few packed values"}};
  for (const Case &c : cases) {
    GribSpec s = small();
    s.bds_flag = c.flag;
    s.bits = c.bits;
    s.cut_bds = c.cut;
    if (c.bits == 33) s.codes.clear();
    Read r;
    read_grid(write_file(dir, "d.grb", build_grib(s)), 0, r);
    EXPECT_EQ(r.result, GRIB_REJECT) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(r.grd.grid, nullptr);
  }
}

TEST(GribBuilt, VerticalCoordinatesAreNotRowCounts) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.pv = {1, 2, 3, 4, 5, 6};
  Read r;
  read_grid(write_file(dir, "pv.grb", build_grib(s)), 0, r);
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.grd.domain.nx, 4);
  EXPECT_FLOAT_EQ(r.at(3, 2), 111);
}

TEST(GribBuilt, ThinnedRowsAfterAVerticalListStretchToTheLongest) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.ni = 65535;
  s.pv = {1, 2};
  s.rows = {5, 3, 1};
  s.res = 0;
  s.codes = {0, 1, 2, 3, 4, 10, 20, 30, 7};
  Read r;
  read_grid(write_file(dir, "t.grb", build_grib(s)), 0, r);
  ASSERT_EQ(r.result, 0) << r.err;
  ASSERT_EQ(r.grd.domain.nx, 5);
  EXPECT_FLOAT_EQ(r.at(4, 0), 104);
  EXPECT_FLOAT_EQ(r.at(1, 1), 115);  // halfway between 110 and 120
  EXPECT_FLOAT_EQ(r.at(4, 1), 130);
  EXPECT_FLOAT_EQ(r.at(2, 2), 107);  // one value fills its row
  EXPECT_FLOAT_EQ(r.grd.domain.dx, 15.0f / 4);
  s.rows = {5, 3, 4};  // more points than values
  Read bad;
  read_grid(write_file(dir, "t2.grb", build_grib(s)), 0, bad);
  EXPECT_EQ(bad.result, GRIB_REJECT);
}

TEST(GribBuilt, UnknownGridsAndShortSectionsAreRefused) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.gds = false;  // grid 255, no description
  Read r;
  read_grid(write_file(dir, "g.grb", build_grib(s)), 0, r, 1);
  EXPECT_EQ(r.result, GRIB_REJECT);
  EXPECT_NE(r.err.find("not a known grid"), std::string::npos) << r.err;
  s = small();
  s.ni = 0;
  Read z;
  read_grid(write_file(dir, "n.grb", build_grib(s)), 0, z);
  EXPECT_EQ(z.result, GRIB_REJECT);
  s = small();
  s.pds_len = 26;
  Read p;
  read_grid(write_file(dir, "p.grb", build_grib(s)), 0, p);
  EXPECT_EQ(p.result, GRIB_REJECT);
}

TEST(GribBuilt, PredefinedGridWithPoleRows) {
  kavtest::TempDir dir;
  GribSpec s;
  s.gds = false;
  s.grid_id = 21;  // 37 x 37 from the equator north, the pole one value
  for (int k = 0; k < 36 * 37 + 1; ++k) s.codes.push_back(static_cast<uint32_t>(k % 200));
  Read r;
  read_grid(write_file(dir, "21.grb", build_grib(s)), 0, r);
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.grd.domain.nx, 37);
  EXPECT_FLOAT_EQ(r.grd.domain.clat, 45);
  EXPECT_FLOAT_EQ(r.at(0, 36), 0);  // the equator row is the bottom
  EXPECT_FLOAT_EQ(r.at(36, 0), r.at(0, 0));
  EXPECT_FLOAT_EQ(r.at(0, 0), float((36 * 37) % 200));
}

TEST(GribBuilt, KeysDatesAndTimes) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.century = 20;
  s.year = 1;
  s.unit = 2;
  s.p1 = 3;
  Read r;
  read_grid(write_file(dir, "k.grb", build_grib(s)), 0, r, 1);
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.grd.date.year, 1901);
  EXPECT_EQ(r.grd.time, 803);
  EXPECT_EQ(r.grd.var, 11);
  EXPECT_EQ(r.grd.level, 500);
  EXPECT_STREQ(r.grd.units, "K");
  s.range = 1;
  Read t;
  read_grid(write_file(dir, "t.grb", build_grib(s)), 0, t, 1);
  EXPECT_EQ(t.grd.time, 0);
  s.range = 4;
  s.unit = 1;
  s.p1 = 0;
  s.p2 = 12;
  Read acc;
  read_grid(write_file(dir, "a.grb", build_grib(s)), 0, acc, 1);
  EXPECT_EQ(acc.grd.time, 4000012);
}

TEST(GribBuilt, EnsembleMember) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.subcentre = 2;
  s.pds_len = 45;
  // The member's mark by ensemble type 1 to 5; type 6 has none.
  const char *const heads[] = {"Ens[3] ", "Ens[-3] ", "Ens[+3] ", "Ens[c3] ", "Ens[w3] ", ""};
  for (unsigned char type = 1; type <= 6; ++type) {
    s.pds_extra = {0, type, 3, 1, 255};  // octets 41-45: type, id 3, product 1
    Read r;
    read_grid(write_file(dir, "e.grb", build_grib(s)), 0, r, 1);
    ASSERT_EQ(r.result, 0) << r.err;
    EXPECT_EQ(r.grd.var, 11 + type * 20000 + 3000 + 19280000);
    const std::string info = r.grd.info;
    EXPECT_EQ(info, std::string("500 mb ") + heads[type - 1] + "Temperature (K)");
  }
}

TEST(GribBuilt, ProjectedGrids) {
  kavtest::TempDir dir;
  // The Lambert grid of the predefined grid 211.
  GribSpec s = small();
  s.rep = 3;
  s.ni = 93;
  s.nj = 65;
  s.la1 = 12190;
  s.lo1 = -133459;
  s.dxm = s.dym = 81271;
  s.scan = 0x40;
  s.codes.assign(93 * 65, 5);
  Read r;
  read_grid(write_file(dir, "l.grb", build_grib(s)), 0, r, 1);
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.grd.domain.proj, 4);
  EXPECT_FLOAT_EQ(r.grd.domain.plat, 90);
  EXPECT_NEAR(r.grd.domain.clat, 40.607, 0.1);
  EXPECT_NEAR(r.grd.domain.clon, -100.553, 0.1);
  // A southern polar stereographic grid: the flag is the top bit.
  s.rep = 5;
  s.centre_flag = 0x80;
  s.lov = 0;
  s.la1 = -40000;
  Read p;
  read_grid(write_file(dir, "p.grb", build_grib(s)), 0, p, 1);
  ASSERT_EQ(p.result, 0) << p.err;
  EXPECT_FLOAT_EQ(p.grd.domain.plat, -90);
  EXPECT_FLOAT_EQ(p.grd.domain.param[0], -60);
  // Mercator between two corners.
  s = small();
  s.rep = 1;
  s.la1 = -10000;
  s.la2 = 10000;
  s.lo1 = 170000;
  s.lo2 = -170000;
  Read m;
  read_grid(write_file(dir, "m.grb", build_grib(s)), 0, m, 1);
  ASSERT_EQ(m.result, 0) << m.err;
  EXPECT_EQ(m.grd.domain.proj, 3);
  EXPECT_NEAR(m.grd.domain.clat, 0, 1e-3);
  EXPECT_NEAR(std::fabs(m.grd.domain.clon), 180, 1e-3);
}

TEST(GribBuilt, SpacingWithoutIncrementsComesFromLongitudes) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.res = 0;
  s.lo2 = 30000;  // 4 columns over 30 degrees, 3 rows over 10
  Read r;
  read_grid(write_file(dir, "i.grb", build_grib(s)), 0, r, 1);
  ASSERT_EQ(r.result, 0);
  EXPECT_FLOAT_EQ(r.grd.domain.dx, 10);
  EXPECT_FLOAT_EQ(r.grd.domain.dy, 5);
}

TEST(GribBuilt, Edition0) {
  kavtest::TempDir dir;
  GribSpec s = small();
  s.edition = 0;
  s.pds_len = 24;
  s.param = 4;  // edition-0 temperature
  s.gds = false;
  s.grid_id = 21;
  s.codes.assign(36 * 37 + 1, 3);
  Read r;
  read_grid(write_file(dir, "e0.grb", build_grib(s)), 0, r);
  ASSERT_EQ(r.result, 0) << r.err;
  EXPECT_EQ(r.grd.version, 0);
  EXPECT_EQ(r.grd.var, 11);
  EXPECT_STREQ(r.grd.units, "C");
  EXPECT_EQ(r.grd.date.year, 2024);
  EXPECT_FLOAT_EQ(r.at(5, 5), 103);
}

// ---------------------------------------------------------------- framing

TEST(GribFraming, MarksAreFoundAfterAnyByteAndFalseMarksPassed) {
  kavtest::TempDir dir;
  const std::string m = build_grib(small());
  // "GRIB" right after a G, and a false mark whose length no message has.
  const std::string bytes = "xxGG" + std::string("GRIB\xFF\xFF\xFF\x01", 8) + "B" + m + "G" + m;
  const std::string f = write_file(dir, "f.grb", bytes);
  Read a, b, c;
  read_grid(f, 0, a);
  read_grid(f, 1, b);
  read_grid(f, 2, c);
  EXPECT_EQ(a.result, 0) << a.err;
  EXPECT_EQ(b.result, 0) << b.err;
  EXPECT_EQ(c.result, -1);
}

TEST(GribFraming, EnvelopesAndHeaders) {
  kavtest::TempDir dir;
  const std::string m = build_grib(small());
  const std::string h1 = "\r\r\n\003** HTGL98 KWBC 151200\r\r\n";
  const std::string h2 = std::string("\001\r\r\n123\r\r\nHTGL98 KWBC 151200\r\r\n");
  struct Case {
    std::string head, tail;
    int kind;
  } cases[] = {{h1, "\n", 1}, {h2, "\r\r\n\003", 2}, {"", "", 4}};
  for (const Case &c : cases) {
    const std::string f = write_file(dir, "e.grb", c.head + m + c.tail + c.head + m + c.tail);
    int type = 0;
    const int fd = GRD_open(f.c_str(), 0, &type);
    ASSERT_GE(fd, 0);
    GRD_info info{};
    ASSERT_EQ(GRD_getinfo(fd, &info), 0);
    EXPECT_EQ(info.date.year, 2024);
    GRD_report g;
    GRD_init(&g);
    for (int n = 0; n < 2; ++n) {
      int num = n;
      ASSERT_EQ(GRD_read(fd, &g, 0, &num), 0) << c.kind << " grid " << n;
      EXPECT_FLOAT_EQ(g.grid[11], 111);
    }
    int num = 2;
    EXPECT_EQ(GRD_read(fd, &g, 1, &num), -1);
    EXPECT_EQ(GRD_get_gfile(fd)->itype, c.kind);
    char header[GRIB_WMO_COPY + 1];
    GRIB_get_WMO_header(fd, header);
    EXPECT_STREQ(header, c.kind == 4 ? "GRIB01 KXXX 010000" : "HTGL98 KWBC 151200");
    std::free(g.grid);
    GRD_close(fd);
  }
}

TEST(GribFraming, EnvelopeWithALengthLine) {
  kavtest::TempDir dir;
  const std::string m = build_grib(small());
  const std::string body = std::string("\001\r\r\n") + "042\r\r\n" + "HTGL98 KWBC 151200\r\r\n" + m;
  const std::string rec = "GRIB: " + std::to_string(body.size()) + "\n" + body + "\n";
  const std::string f = write_file(dir, "e3.grb", rec + rec);
  Read r;
  read_grid(f, 1, r);
  EXPECT_EQ(r.result, 0) << r.err;
  EXPECT_FLOAT_EQ(r.grd.grid[0], 100);
}

TEST(GribFraming, RawCopiesAndIndexFiles) {
  kavtest::TempDir dir;
  GribSpec s = small();
  const std::string m1 = build_grib(s);
  s.param = 7;
  const std::string m2 = build_grib(s);
  const std::string f = write_file(dir, "r.grb", "junk" + m1 + m2);
  int type = 0;
  const int fd = GRD_open(f.c_str(), 0, &type);
  ASSERT_GE(fd, 0);
  GRD_info info{};
  ASSERT_EQ(GRD_getinfo(fd, &info), 0);
  GRD_report g;
  GRD_init(&g);
  int num = 1;
  ASSERT_EQ(GRD_read(fd, &g, 1, &num), 0);
  EXPECT_EQ(g.var, 7);
  unsigned char *raw = nullptr;
  long size = 0;
  ASSERT_EQ(GRIB_get_raw(fd, &raw, &size), long(m2.size()));
  EXPECT_EQ(std::string(reinterpret_cast<char *>(raw), size_t(size)), m2);
  // Copied raw through the grid layer.
  const std::string out = dir.file("copy.grb");
  int otype = GRD_GRIB;
  const int ofd = GRD_open(out.c_str(), 1, &otype);
  GRD_report w = g;
  w.grid = reinterpret_cast<float *>(raw);
  w.source = static_cast<int>(size);
  int wn = 0;
  EXPECT_EQ(GRD_write(ofd, &w, 0, &wn), 0);
  GRD_close(ofd);
  EXPECT_EQ(kavtest::read_file(out), m2);
  std::free(raw);
  std::free(g.grid);
  g.grid = nullptr;
  // An index file: header reads from its descriptions, full reads at its offsets.
  const std::string idx =
      dir.write("r.idx", "4 first / GRIB 1 S7 M89 G211 T12 L100 H500 V7\n" +
                             std::to_string(4 + m1.size()) + " second / 7:89 211 6 100 850 11\n");
  GRD_use_hdr_file(1);
  ASSERT_EQ(GRD_hdr_open(fd, idx.c_str()), 0);
  num = 0;
  ASSERT_EQ(GRD_read(fd, &g, 1, &num), 0);
  EXPECT_EQ(g.source, 7);
  EXPECT_EQ(g.model, 89);
  EXPECT_EQ(g.type, 211);
  EXPECT_EQ(g.time, 12);
  EXPECT_EQ(g.ltype, 100);
  EXPECT_EQ(g.level, 500);
  EXPECT_EQ(g.var, 7);
  EXPECT_EQ(g.domain.nx, 93);
  num = 1;
  ASSERT_EQ(GRD_read(fd, &g, 1, &num), 0);
  EXPECT_EQ(g.level, 850);
  EXPECT_EQ(g.var, 11);
  ASSERT_EQ(GRD_read(fd, &g, 0, &num), 0);
  EXPECT_EQ(g.var, 7);  // from the message itself
  EXPECT_FLOAT_EQ(g.grid[11], 111);
  num = 2;
  EXPECT_EQ(GRD_read(fd, &g, 1, &num), -1);
  GRD_use_hdr_file(0);
  std::free(g.grid);
  GRD_close(fd);
}

TEST(GribFraming, ReadingOrderRereadsAndRewinds) {
  kavtest::TempDir dir;
  std::string bytes;
  for (int p = 1; p <= 4; ++p) {
    GribSpec s = small();
    s.param = p;
    bytes += build_grib(s);
  }
  const std::string f = write_file(dir, "o.grb", bytes);
  int type = 0;
  const int fd = GRD_open(f.c_str(), 0, &type);
  GRD_info info{};
  ASSERT_EQ(GRD_getinfo(fd, &info), 0);
  GRD_report g;
  GRD_init(&g);
  for (int n : {0, 0, 1, 3, 1, 2}) {
    int num = n;
    ASSERT_EQ(GRD_read(fd, &g, 1, &num), 0);
    EXPECT_EQ(num, n);
    EXPECT_EQ(g.var, n + 1);
  }
  // A scan past a refused message goes on.
  std::free(g.grid);
  GRD_close(fd);
}

TEST(GribKavgrid, ListsAndDumps) {
  const auto l = kavtest::run({KAV_KAVGRID_BIN, kDir + "spherical_pressure_level.grib1"});
  EXPECT_EQ(l.status, 0) << l.err;
  EXPECT_NE(l.out.find("(not decoded)"), std::string::npos) << l.out;
  const auto d = kavtest::run({KAV_KAVGRID_BIN, "-g", "0", kDir + "cmc_ps60km.grib"});
  EXPECT_EQ(d.status, 0) << d.err;
  EXPECT_NE(d.out.find("pstereo"), std::string::npos) << d.out;
  EXPECT_NE(d.out.find("135 x 95"), std::string::npos) << d.out;
  const auto v = kavtest::run({KAV_KAVGRID_BIN, "-g", "0", "-v", kDir + "latlon_scan80.grib1"});
  EXPECT_EQ(v.status, 0);
  EXPECT_EQ(std::count(v.out.begin(), v.out.end(), '\n'), 31);
}

}  // namespace

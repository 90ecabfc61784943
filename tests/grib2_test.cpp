// GRIB edition 2: every fixture and sample against ecCodes' decoding (rows
// in data/grib2_oracle.txt), the template tables walked, product keys of
// each product template, the edition-1 twin, and messages patched to carry
// what no file does: the refusals of bad sections, grids, bit maps and
// packings, and truncated or flipped copies of every fixture.
#include <gtest/gtest.h>
#include <kav/grd_read.h>
#include <kav/grib.h>
#include <kav/grib2.h>
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/resrc.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "grid/grib2_int.hpp"
#include "grid/grib2_tmpl.hpp"
#include "support/kavtest.h"

#ifdef KAV_HAVE_AEC
#include <libaec.h>
#endif

namespace {

const std::string kDir = std::string(KAV_TEST_DATA) + "/grib2/";
const std::string kExamples = "/usr/share/doc/python-grib-doc/examples/";
constexpr float kMiss = -9999.0f;

using Bytes = std::vector<unsigned char>;

Bytes load(const std::string &name) {
  const std::string s = kavtest::read_file(name);
  return Bytes(s.begin(), s.end());
}

bool exists(const std::string &name) { return std::ifstream(name).good(); }

// A decoded product of a message held in memory.
struct Decoded {
  int result = -9;
  GRD_report grd{};
  std::string err;
  Decoded() { GRD_init(&grd); }
  ~Decoded() { std::free(grd.grid); }
  Decoded(const Decoded &) = delete;
  Decoded &operator=(const Decoded &) = delete;
  float at(int i, int j) const { return grd.grid[i + grd.domain.nx * j]; }
};

void decode(const Bytes &msg, int product, Decoded &d, int rep_type = 0) {
  d.err = kavtest::capture([&] {
            d.result = kav_grib2_decode(msg.data(), msg.size(), product, &d.grd, rep_type);
          }).err;
}

// Section k (1-7) of a one-product message: its offset.
size_t section(const Bytes &m, int k) {
  size_t pos = 16;
  while (pos + 5 <= m.size()) {
    const size_t len = (size_t(m[pos]) << 24) | (size_t(m[pos + 1]) << 16) |
                       (size_t(m[pos + 2]) << 8) | m[pos + 3];
    if (m[pos + 4] == k) return pos;
    if (len < 5) break;
    pos += len;
  }
  ADD_FAILURE() << "no section " << k;
  return 0;
}

void put4(Bytes &m, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) m[at + size_t(i)] = static_cast<unsigned char>(v >> (24 - 8 * i));
}
void put2(Bytes &m, size_t at, unsigned v) {
  m[at] = static_cast<unsigned char>(v >> 8);
  m[at + 1] = static_cast<unsigned char>(v);
}

// Assembles a message from section 0's discipline and the given sections.
Bytes message(int discipline, const std::vector<Bytes> &sections) {
  Bytes m = {'G', 'R', 'I', 'B', 0, 0, static_cast<unsigned char>(discipline), 2};
  for (int i = 0; i < 8; ++i) m.push_back(0);
  for (const Bytes &s : sections) m.insert(m.end(), s.begin(), s.end());
  for (int i = 0; i < 4; ++i) m.push_back('7');
  for (int i = 0; i < 8; ++i)
    m[8 + size_t(i)] = static_cast<unsigned char>(m.size() >> (56 - 8 * i));
  return m;
}

// The section at offset at of m, whole.
Bytes cut(const Bytes &m, size_t at) {
  const size_t len =
      (size_t(m[at]) << 24) | (size_t(m[at + 1]) << 16) | (size_t(m[at + 2]) << 8) | m[at + 3];
  return Bytes(m.begin() + long(at), m.begin() + long(at + len));
}

// A message, a patch, and what must be said.
void expect_refused(const Bytes &m, const char *said) {
  Decoded d;
  decode(m, 0, d);
  EXPECT_TRUE(d.result == GRIB_REJECT || d.result == 0) << said << ": " << d.result;
  EXPECT_NE(d.err.find(said), std::string::npos) << d.err;
}

// ---- The oracle ----

struct Field {
  int nx = 0, ny = 0, missing = 0;
  double min = 0, max = 0, mean = 0, quantum = 0;
};
struct Point {
  int i, j;
  double v;
};
struct Corner {
  int i, j;
  double lat, lon;
};
struct Oracle {
  std::map<std::string, std::map<int, Field>> fields;
  std::map<std::string, std::map<int, std::vector<Point>>> points;
  std::map<std::string, std::map<int, std::vector<Corner>>> corners;
};

const Oracle &oracle() {
  static Oracle o = [] {
    Oracle r;
    std::ifstream in(std::string(KAV_TEST_DATA) + "/grib2_oracle.txt");
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream ss(line);
      std::string kind, file;
      int n = 0;
      ss >> kind >> file >> n;
      if (kind == "field") {
        Field f;
        ss >> f.nx >> f.ny >> f.missing >> f.min >> f.max >> f.mean >> f.quantum;
        r.fields[file][n] = f;
      } else if (kind == "point") {
        Point p{};
        ss >> p.i >> p.j >> p.v;
        r.points[file][n].push_back(p);
      } else if (kind == "corner") {
        Corner c{};
        ss >> c.i >> c.j >> c.lat >> c.lon;
        r.corners[file][n].push_back(c);
      }
    }
    return r;
  }();
  return o;
}

std::string path_of(const std::string &file) {
  return exists(kDir + file) ? kDir + file : kExamples + file;
}

// Reads every grid of a file through the grid layer and checks it against
// the oracle.
void check_file(const std::string &file) {
  const Oracle &o = oracle();
  const auto &fields = o.fields.at(file);
  const std::string path = path_of(file);
  if (!exists(path)) GTEST_SKIP() << path << " is not installed";
  const bool reduced = fields.begin()->second.nx == 0;
  std::string err;
  int fd = -1;
  kavtest::capture([&] {
    int type = 0;
    fd = GRD_open(path.c_str(), 0, &type);
    GRD_info info{};
    GRD_getinfo(fd, &info);
  });
  ASSERT_GE(fd, 0);
  GRD_report grd{};
  GRD_init(&grd);
  for (const auto &[n, f] : fields) {
    SCOPED_TRACE(file + " grid " + std::to_string(n));
    int num = n, r = -9;
    const auto c = kavtest::capture([&] { r = GRD_read(fd, &grd, 0, &num); });
    ASSERT_EQ(r, 0) << c.err;
    ASSERT_NE(grd.grid, nullptr);
    const int nx = grd.domain.nx, ny = grd.domain.ny;
    EXPECT_EQ(ny, f.ny);
    const double tol = f.quantum / 2 + 1e-6 * std::max(std::fabs(f.min), std::fabs(f.max)) + 1e-9;
    auto near = [&](double a, double b) { return std::fabs(a - b) <= tol; };
    if (!reduced) {
      EXPECT_EQ(nx, f.nx);
      int missing = 0;
      double mn = 1e300, mx = -1e300, sum = 0;
      for (long k = 0; k < long(nx) * ny; ++k) {
        const float v = grd.grid[k];
        if (v == kMiss) {
          ++missing;
          continue;
        }
        mn = std::min(mn, double(v));
        mx = std::max(mx, double(v));
        sum += v;
      }
      EXPECT_EQ(missing, f.missing);
      if (missing < nx * ny) {
        EXPECT_TRUE(near(mn, f.min)) << mn << " " << f.min;
        EXPECT_TRUE(near(mx, f.max)) << mx << " " << f.max;
        EXPECT_TRUE(near(sum / (nx * ny - missing), f.mean)) << sum / (nx * ny - missing);
      }
    }
    if (o.points.count(file) && o.points.at(file).count(n))
      for (const Point &p : o.points.at(file).at(n)) {
        ASSERT_LT(p.i, nx);
        ASSERT_LT(p.j, ny);
        const float v = grd.grid[p.i + nx * p.j];
        if (p.v == kMiss)
          EXPECT_EQ(v, kMiss) << p.i << "," << p.j;
        else
          EXPECT_TRUE(near(v, p.v)) << p.i << "," << p.j << ": " << v << " " << p.v;
      }
    if (o.corners.count(file) && o.corners.at(file).count(n)) {
      // The domain puts each corner where ecCodes puts it.
      Domain saved{};
      MAP_get_domain(&saved);
      ASSERT_EQ(MAP_domain(&grd.domain), 0);
      MAP_set_limits();
      for (const Corner &cn : o.corners.at(file).at(n)) {
        float x = 0, y = 0, lat = 0, lon = 0;
        MAP_grid_tran(float(cn.i), float(cn.j), &x, &y);
        MAP_untran(x, y, &lat, &lon);
        EXPECT_NEAR(lat, cn.lat, 0.02) << cn.i << "," << cn.j;
        EXPECT_NEAR(std::remainder(lon - cn.lon, 360.0), 0, 0.02) << cn.i << "," << cn.j;
      }
      if (saved.proj == KAV_IMISSING)
        MAP_domain(nullptr);
      else
        MAP_domain(&saved);
    }
  }
  std::free(grd.grid);
  GRD_close(fd);
}

TEST(Grib2Oracle, RegularSample) { check_file("regular_latlon_surface.grib2"); }
TEST(Grib2Oracle, Jpeg2000) { check_file("ll_jpeg.grib2"); }
TEST(Grib2Oracle, Ccsds) { check_file("ll_ccsds.grib2"); }
TEST(Grib2Oracle, ComplexPacking) { check_file("ll_complex.grib2"); }
TEST(Grib2Oracle, SpatialDifferencingOrder1) { check_file("ll_sd1.grib2"); }
TEST(Grib2Oracle, SpatialDifferencingOrder2) { check_file("ll_sd2.grib2"); }
TEST(Grib2Oracle, BitMapEveryPacking) {
  for (const char *f :
       {"bm_sd.grib2", "bm_simple.grib2", "bm_jpeg.grib2", "bm_ccsds.grib2", "bm_complex.grib2"})
    check_file(f);
}
TEST(Grib2Oracle, ScanningModes) {
  for (const char *f : {"scan40.grib2", "scan80.grib2", "scan20.grib2", "scan10.grib2"})
    check_file(f);
}
TEST(Grib2Oracle, ProjectedGrids) {
  check_file("lambert.grib2");
  check_file("polar_south.grib2");
}
TEST(Grib2Oracle, ReducedLatLonSample) { check_file("reduced_latlon_surface.grib2"); }
TEST(Grib2Oracle, PolarJpegSample) { check_file("safrica.grib2"); }
TEST(Grib2Oracle, GfsSample) { check_file("gfs.t12z.pgrbf120.2p5deg.grib2"); }

TEST(Grib2Oracle, QuasiRegularRowCountsOfTwoAndFourOctets) {
  // The sample's 501 rows, 2 octets each, up to 1000 points a row.
  const Bytes two = load(kDir + "reduced_ll_sfc.grib2");
  Decoded a;
  decode(two, 0, a);
  ASSERT_EQ(a.result, 1) << a.err;
  EXPECT_EQ(a.grd.domain.nx, 1000);
  EXPECT_EQ(a.grd.domain.ny, 501);
  EXPECT_NEAR(a.grd.domain.dx, 0.36, 1e-5);
  // The same counts written in 4 octets each.
  const size_t s3 = section(two, 3);
  Bytes sec(two.begin() + long(s3), two.begin() + long(s3 + 72));
  sec[10] = 4;
  for (size_t j = 0; j < 501; ++j) {
    const unsigned c = (unsigned(two[s3 + 72 + 2 * j]) << 8) | two[s3 + 73 + 2 * j];
    for (unsigned b : {0u, 0u, c >> 8, c & 0xFFu}) sec.push_back(static_cast<unsigned char>(b));
  }
  put4(sec, 0, uint32_t(sec.size()));
  std::vector<Bytes> parts = {cut(two, section(two, 1)), sec};
  for (int k = 4; k <= 7; ++k) parts.push_back(cut(two, section(two, k)));
  Decoded b;
  decode(message(two[6], parts), 0, b);
  ASSERT_EQ(b.result, 1) << b.err;
  EXPECT_EQ(b.grd.domain.nx, 1000);
  EXPECT_EQ(std::memcmp(a.grd.grid, b.grd.grid, sizeof(float) * 1000 * 501), 0);
  // A width the section does not allow, and counts past the section.
  Bytes bad = two;
  bad[s3 + 10] = 3;
  expect_refused(bad, "row counts");
  bad[s3 + 10] = 4;
  expect_refused(bad, "row counts");
}

// ---- The template tables ----

TEST(Grib2Templates, EveryDataTemplateHasAFixture) {
  using namespace kav::grib2;
  const std::map<int, std::string> fixture = {
      {0, "regular_latlon_surface.grib2"},
      {2, "ll_complex.grib2"},
      {3, "ll_sd2.grib2"},
      {40, "ll_jpeg.grib2"},
      {42, "ll_ccsds.grib2"},
  };
  for (const DataTemplate *t = kDataTemplates; t->name; ++t) {
    EXPECT_EQ(find_data(t->number), t);
    if (!fixture.count(t->number)) continue;  // 40000 and 200: built below
    Bytes m = load(kDir + fixture.at(t->number));
    EXPECT_EQ(m[section(m, 5) + 10], t->number) << t->name;
    Decoded d;
    decode(m, 0, d);
    EXPECT_EQ(d.result, 1) << t->name << d.err;
    // The same message under 5.40000 decodes the same way.
    if (t->number == 40) {
      put2(m, section(m, 5) + 9, 40000);
      Decoded e;
      decode(m, 0, e);
      ASSERT_EQ(e.result, 1);
      EXPECT_EQ(std::memcmp(d.grd.grid, e.grd.grid, 496 * sizeof(float)), 0);
    }
  }
  for (const GridTemplate *t = kGridTemplates; t->name; ++t) EXPECT_EQ(find_grid(t->number), t);
  for (const ProductTemplate *t = kProductTemplates; t->name; ++t)
    EXPECT_EQ(find_product(t->number), t);
  EXPECT_EQ(find_data(4), nullptr);
  EXPECT_EQ(find_grid(40), nullptr);
}

// ---- Product keys ----

struct Keys {
  const char *file;
  int var, ltype, level, time;
  const char *info;
};

TEST(Grib2Products, EveryProductTemplate) {
  const Keys rows[] = {
      {"regular_latlon_surface.grib2", 11, 105, 2, 0, "2 m AG Temperature (K)"},
      {"pdt1.grib2", 11 + 3 * 20000 + 4 * 1000 + 19280000, 105, 2, 0, "Ens[+4] "},
      {"pdt2.grib2", 11 + 19001000, 105, 2, 0, "Ens std dev "},
      {"pdt5.grib2", 0, 105, 2, 0, "Ens prob (%) "},
      {"pdt8.grib2", 11, 105, 2, 4006012, ""},
      {"pdt9.grib2", 0, 105, 2, 6000012, "Prob (%) "},
      {"pdt11.grib2", 11 + 2 * 20000 + 7 * 1000 + 19280000, 105, 2, 3012024, "Ens[-7] "},
      {"pdt12.grib2", 11 + 19000000, 105, 2, 7024048, "Ens mean "},
      {"minutes.grib2", 11, 105, 2, 3, ""},
  };
  for (const Keys &k : rows) {
    SCOPED_TRACE(k.file);
    Decoded d;
    decode(load(kDir + k.file), 0, d, 1);
    ASSERT_EQ(d.result, 1) << d.err;
    if (k.var) {
      EXPECT_EQ(d.grd.var, k.var);
    }
    EXPECT_EQ(d.grd.ltype, k.ltype);
    EXPECT_EQ(d.grd.level, k.level);
    EXPECT_EQ(d.grd.time, k.time);
    EXPECT_NE(std::strstr(d.grd.info, k.info), nullptr) << d.grd.info;
    EXPECT_EQ(d.grd.version, 2);
    EXPECT_EQ(d.grd.source, 98);
    EXPECT_EQ(d.grd.date.year, 2008);
  }
  // Probabilities: 191 with the variable, the type and the limit in the code.
  Decoded p;
  decode(load(kDir + "pdt5.grib2"), 0, p, 1);
  EXPECT_EQ(p.grd.var / 10000000, 191);
  EXPECT_NE(std::strstr(p.grd.info, "above 300.00"), nullptr) << p.grd.info;
  Decoded q;
  decode(load(kDir + "pdt9.grib2"), 0, q, 1);
  EXPECT_NE(std::strstr(q.grd.info, "below 273.50"), nullptr) << q.grd.info;
}

TEST(Grib2Products, LevelsAndUnknownTemplates) {
  const Bytes base = load(kDir + "regular_latlon_surface.grib2");
  const size_t s4 = section(base, 4);
  struct Row {
    int t1, sc1;
    uint32_t v1;
    int t2, sc2;
    uint32_t v2;
    int ltype, level;
  };
  const Row rows[] = {
      {100, 0, 50000, 255, 255, 0xFFFFFFFF, 100, 500},                // isobaric 500 hPa
      {100, 0, 50000, 100, 0, 85000, 101, 50085},                     // isobaric layer
      {100, 0, 100000, 100, 1, 850000, 101, 100085},                  // the second scale is its own
      {109, 6, 0x80000002u, 255, 255, 0xFFFFFFFF, 117, -2},           // -2 PVU
      {101, 255, 0xFFFFFFFF, 255, 255, 0xFFFFFFFF, 102, 0},           // mean sea level
      {1, 255, 0xFFFFFFFF, 255, 255, 0xFFFFFFFF, 1, 0},               // ground
      {102, 228, 0x7FFFFFFF, 255, 255, 0xFFFFFFFF, 103, 2147483647},  // huge: bounded
  };
  for (const Row &r : rows) {
    Bytes m = base;
    m[s4 + 22] = static_cast<unsigned char>(r.t1);
    m[s4 + 23] = static_cast<unsigned char>(r.sc1);
    put4(m, s4 + 24, r.v1);
    m[s4 + 28] = static_cast<unsigned char>(r.t2);
    m[s4 + 29] = static_cast<unsigned char>(r.sc2);
    put4(m, s4 + 30, r.v2);
    Decoded d;
    decode(m, 0, d, 1);
    ASSERT_EQ(d.result, 1) << d.err;
    EXPECT_EQ(d.grd.ltype, r.ltype) << r.t1;
    EXPECT_EQ(d.grd.level, r.level) << r.t1;
  }
  // An unknown product template leaves the keys missing, not the last ones.
  Bytes m = base;
  put2(m, s4 + 7, 15);
  Decoded d;
  decode(m, 0, d, 0);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(d.grd.ltype, KAV_IMISSING);
  EXPECT_EQ(d.grd.time, KAV_IMISSING);
  EXPECT_EQ(d.grd.var, 11);
  EXPECT_NE(d.err.find("4.15"), std::string::npos);
}

// ---- The edition-1 twin ----

TEST(Grib2Twin, DecodesAsItsEdition1Twin) {
  const std::string one = std::string(KAV_TEST_DATA) + "/grib/regular_latlon_surface.grib1";
  GRD_report a{}, b{};
  GRD_init(&a);
  GRD_init(&b);
  for (int k = 0; k < 2; ++k) {
    const std::string f = k ? kDir + "regular_latlon_surface.grib2" : one;
    GRD_report &g = k ? b : a;
    kavtest::capture([&] {
      int type = 0, num = 0;
      const int fd = GRD_open(f.c_str(), 0, &type);
      GRD_info info{};
      GRD_getinfo(fd, &info);
      EXPECT_EQ(GRD_read(fd, &g, 0, &num), 0);
      GRD_close(fd);
    });
  }
  ASSERT_TRUE(a.grid && b.grid);
  EXPECT_EQ(a.var, b.var);
  EXPECT_EQ(a.ltype, b.ltype);
  EXPECT_EQ(a.level, b.level);
  EXPECT_EQ(a.time, b.time);
  EXPECT_STREQ(a.units, b.units);
  EXPECT_STREQ(a.info, b.info);
  EXPECT_STREQ(a.datim, b.datim);
  EXPECT_EQ(a.source, b.source);
  EXPECT_EQ(a.domain.proj, b.domain.proj);
  EXPECT_EQ(a.domain.nx, b.domain.nx);
  EXPECT_EQ(a.domain.ny, b.domain.ny);
  EXPECT_FLOAT_EQ(a.domain.clat, b.domain.clat);
  EXPECT_FLOAT_EQ(a.domain.clon, b.domain.clon);
  EXPECT_FLOAT_EQ(a.domain.dx, b.domain.dx);
  EXPECT_FLOAT_EQ(a.domain.dy, b.domain.dy);
  for (int k = 0; k < a.domain.nx * a.domain.ny; ++k) ASSERT_NEAR(a.grid[k], b.grid[k], 1e-3) << k;
  std::free(a.grid);
  std::free(b.grid);
}

// ---- Several products, bit map reuse ----

TEST(Grib2Messages, TwoProductsShareGridAndReuseTheBitMap) {
  const Bytes src = load(kDir + "bm_simple.grib2");
  Bytes s6 = cut(src, section(src, 6));
  Bytes reuse = {0, 0, 0, 6, 6, 254};
  const Bytes m = message(
      src[6], {cut(src, section(src, 1)), cut(src, section(src, 3)), cut(src, section(src, 4)),
               cut(src, section(src, 5)), s6, cut(src, section(src, 7)), cut(src, section(src, 4)),
               cut(src, section(src, 5)), reuse, cut(src, section(src, 7))});
  Decoded a, b, one;
  decode(m, 0, a);
  decode(m, 1, b);
  decode(src, 0, one);
  ASSERT_EQ(a.result, 2) << a.err;
  ASSERT_EQ(b.result, 2) << b.err;
  ASSERT_EQ(one.result, 1);
  const size_t n = size_t(one.grd.domain.nx) * size_t(one.grd.domain.ny);
  EXPECT_EQ(std::memcmp(a.grd.grid, one.grd.grid, n * sizeof(float)), 0);
  EXPECT_EQ(std::memcmp(b.grd.grid, one.grd.grid, n * sizeof(float)), 0);
  EXPECT_EQ(b.grd.domain.nx, a.grd.domain.nx);
  // Through the grid layer: two grid numbers.
  kavtest::TempDir dir;
  const std::string f = dir.write("two.grib2", std::string(m.begin(), m.end()));
  kavtest::capture([&] {
    int type = 0;
    const int fd = GRD_open(f.c_str(), 0, &type);
    GRD_info info{};
    GRD_getinfo(fd, &info);
    GRD_report g{};
    GRD_init(&g);
    int num = 1;
    EXPECT_EQ(GRD_read(fd, &g, 0, &num), 0);
    num = 2;
    EXPECT_EQ(GRD_read(fd, &g, 1, &num), -1);
    std::free(g.grid);
    GRD_close(fd);
  });
}

// ---- Refusals ----

TEST(Grib2Faults, SectionsAreBoundedByTheMessage) {
  const Bytes base = load(kDir + "regular_latlon_surface.grib2");
  const size_t s3 = section(base, 3);
  for (uint32_t len : {0u, 4u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    Bytes m = base;
    put4(m, s3, len);
    expect_refused(m, "Bad section");
  }
  Bytes m = base;
  m[m.size() - 1] = '8';
  expect_refused(m, "7777");
}

TEST(Grib2Faults, GridsThatAreNotDecodedAreSkipped) {
  Bytes m = load(kDir + "regular_latlon_surface.grib2");
  put2(m, section(m, 3) + 12, 40);
  Decoded d;
  decode(m, 0, d);
  EXPECT_EQ(d.result, 0);
  EXPECT_NE(d.err.find("3.40"), std::string::npos) << d.err;
  // A local template number does not overflow the grid code.
  EXPECT_GT(kav::grib2::grid_code(32769, 90000000, -180000000, 0xFFFFFFFL, 999), 0);
  // Ni too large for any grid.
  Bytes w = load(kDir + "regular_latlon_surface.grib2");
  put4(w, section(w, 3) + 30, 0x7FFFFFFF);
  expect_refused(w, "too large");
}

TEST(Grib2Faults, MercatorAcrossTheDateLine) {
  Decoded d;
  decode(load(kDir + "mercator_dateline.grib2"), 0, d, 1);
  ASSERT_EQ(d.result, 1) << d.err;
  EXPECT_EQ(d.grd.domain.proj, 3);
  EXPECT_NEAR(d.grd.domain.clon, -175.0, 1e-3);  // between 170 E and 160 W
  EXPECT_NEAR(d.grd.domain.plon, -175.0, 1e-3);
  // Latitude/longitude grid across the date line: 30 degrees, not 330.
  Bytes m = load(kDir + "regular_latlon_surface.grib2");
  const size_t s3 = section(m, 3);
  put4(m, s3 + 50, 170000000);   // Lo1
  put4(m, s3 + 59, 200000000u);  // Lo2 200 (160 W)
  Decoded e;
  decode(m, 0, e, 1);
  ASSERT_EQ(e.result, 1);
  EXPECT_NEAR(e.grd.domain.clon, -175.0, 1e-3);
  EXPECT_NEAR(e.grd.domain.dx, 2.0, 1e-4);
  put4(m, s3 + 59, 0x80000000u | 160000000u);  // Lo2 as -160
  Decoded f;
  decode(m, 0, f, 1);
  EXPECT_NEAR(f.grd.domain.clon, -175.0, 1e-3);
  EXPECT_NEAR(f.grd.domain.dx, 2.0, 1e-4);
}

TEST(Grib2Faults, BitMaps) {
  const Bytes src = load(kDir + "bm_simple.grib2");
  const size_t s6 = section(src, 6);
  Bytes m = src;
  m[s6 + 5] = 100;
  expect_refused(m, "Predefined bit map 100");
  m[s6 + 5] = 254;
  expect_refused(m, "no earlier bit map");
  // A bit map shorter than the grid.
  const Bytes s = cut(src, s6);
  Bytes shorter(s.begin(), s.begin() + 40);
  put4(shorter, 0, 40);
  const Bytes t = message(
      src[6], {cut(src, section(src, 1)), cut(src, section(src, 3)), cut(src, section(src, 4)),
               cut(src, section(src, 5)), shorter, cut(src, section(src, 7))});
  expect_refused(t, "shorter than");
  // A bit-map section without its indicator.
  const Bytes u = message(
      src[6], {cut(src, section(src, 1)), cut(src, section(src, 3)), cut(src, section(src, 4)),
               cut(src, section(src, 5)), Bytes{0, 0, 0, 5, 6}, cut(src, section(src, 7))});
  expect_refused(u, "too short");
}

// Rewrites the complex-packing descriptors of ll_sd2.grib2.
Bytes complex_with(size_t octet, uint32_t value, int width) {
  Bytes m = load(kDir + "ll_sd2.grib2");
  const size_t s5 = section(m, 5);
  if (width == 4)
    put4(m, s5 + octet - 1, value);
  else
    m[s5 + octet - 1] = static_cast<unsigned char>(value);
  return m;
}

TEST(Grib2Faults, ComplexPackingDescriptors) {
  expect_refused(complex_with(32, 0x7FFFFFFF, 4), "number of groups");
  expect_refused(complex_with(43, 100000, 4), "group longer than the field");
  {
    const Bytes m = load(kDir + "ll_sd2.grib2");
    const size_t s5 = section(m, 5);
    const uint32_t last = (uint32_t(m[s5 + 42]) << 24) | (uint32_t(m[s5 + 43]) << 16) |
                          (uint32_t(m[s5 + 44]) << 8) | m[s5 + 45];
    expect_refused(complex_with(43, last ^ 1u, 4), "do not add up");
  }
  expect_refused(complex_with(36, 40, 1), "wider than 32");
  expect_refused(complex_with(20, 40, 1), "wider than 32");
  expect_refused(complex_with(48, 3, 1), "spatial differencing");
  expect_refused(complex_with(23, 7, 1), "missing-value management");
}

// A message of one product on a small latitude/longitude grid with the given
// data representation and data sections.
Bytes small_message(int nx, int ny, const Bytes &s5, const Bytes &s7, const Bytes &s6 = {}) {
  const Bytes base = load(kDir + "regular_latlon_surface.grib2");
  Bytes s3 = cut(base, section(base, 3));
  put4(s3, 6, uint32_t(nx * ny));
  put4(s3, 30, uint32_t(nx));
  put4(s3, 34, uint32_t(ny));
  std::vector<Bytes> secs = {cut(base, section(base, 1)), s3, cut(base, section(base, 4)), s5};
  secs.push_back(s6.empty() ? Bytes{0, 0, 0, 6, 6, 255} : s6);
  secs.push_back(s7);
  return message(0, secs);
}

Bytes with_length(Bytes s) {
  put4(s, 0, uint32_t(s.size()));
  return s;
}

TEST(Grib2Faults, RunLengthPacking) {
  // 3 x 2 points of 4 bits, largest level 3, levels 1-3 = 10, 20, 30.
  auto s5 = [](int nbits, int maxv) {
    return with_length({0,   0,
                        0,   0,
                        5,   0,
                        0,   0,
                        6,   0,
                        200, static_cast<unsigned char>(nbits),
                        0,   static_cast<unsigned char>(maxv),
                        0,   3,
                        0,   0,
                        10,  0,
                        20,  0,
                        30});
  };
  // 2, 5: level 2 for 1 + (5 - 3 - 1) points; 0, 5: missing twice; 3: level
  // 3 once; 0: missing once; the rest is padding.
  const Bytes s7 = with_length({0, 0, 0, 0, 7, 0x25, 0x05, 0x30, 0x30});
  Decoded d;
  decode(small_message(3, 2, s5(4, 3), s7), 0, d);
  ASSERT_EQ(d.result, 1) << d.err;
  const float want[6] = {20, 20, kMiss, kMiss, 30, kMiss};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(d.grd.grid[k], want[k]) << k;
  expect_refused(small_message(3, 2, s5(0, 3), s7), "bits per value");
  // A level beyond the table of 3 levels (value 3 < maxv 8, but 7 > 3).
  expect_refused(small_message(3, 2, s5(4, 8), with_length({0, 0, 0, 0, 7, 0x71, 0x11, 0x11})),
                 "beyond the table");
  // A run that would overflow the field.
  expect_refused(small_message(3, 2, s5(4, 3), with_length({0, 0, 0, 0, 7, 0x2F, 0xFF, 0xFF})),
                 "run longer");
}

TEST(Grib2Faults, JpegCodeStreams) {
  Bytes m = load(kDir + "ll_jpeg.grib2");
  const size_t s7 = section(m, 7);
  // A broken code stream: refused, nothing kept.
  for (size_t k = s7 + 5; k < s7 + 60 && k < m.size() - 4; ++k) m[k] = 0xFF;
  expect_refused(m, "jpc_decode error");
  // 0 bits per value: the constant reference value, not missing.
  Bytes c = load(kDir + "ll_jpeg.grib2");
  c[section(c, 5) + 19] = 0;
  Decoded d;
  decode(c, 0, d);
  ASSERT_EQ(d.result, 1) << d.err;
  EXPECT_NE(d.grd.grid[0], kMiss);
  EXPECT_EQ(d.grd.grid[0], d.grd.grid[495]);
  // An image larger than the grid.
  const Bytes big = load(kDir + "ll_jpeg.grib2");
  Bytes s5 = cut(big, section(big, 5));
  put4(s5, 5, 100);
  expect_refused(small_message(10, 10, s5, cut(big, section(big, 7))), "larger than the grid");
  // A tile grid that starts far before the image: the library would make a
  // record for each of its tiles, hundreds of megabytes, before reading any.
  Bytes tiles = load(kDir + "ll_jpeg.grib2");
  const size_t siz = section(tiles, 7) + 5 + 2 + 2 + 2 + 2;  // Xsiz, past SOC, SIZ, Lsiz, Rsiz
  ASSERT_EQ(tiles[siz - 8], 0xFF);
  ASSERT_EQ(tiles[siz - 6], 0xFF);
  ASSERT_EQ(tiles[siz - 5], 0x51);
  auto put_be4 = [](Bytes &b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
  };
  put_be4(tiles, siz + 16, 1);  // XTsiz
  put_be4(tiles, siz + 20, 1);  // YTsiz
  Bytes far = tiles;
  put_be4(far, siz + 0, 50000);  // Xsiz: the image from 49984, the tile grid from 0
  put_be4(far, siz + 8, 49984);  // XOsiz
  expect_refused(far, "tile grid does not cover the image");
  // Unknown data template.
  Bytes u = load(kDir + "regular_latlon_surface.grib2");
  put2(u, section(u, 5) + 9, 4);
  expect_refused(u, "5.4 is not decoded");
}

TEST(Grib2Faults, CcsdsParametersAreCheckedBeforeTheLibrarySeesThem) {
  // A block size of 0 made the library write outside its buffers.
  for (const auto &[octet, value] :
       std::vector<std::pair<size_t, unsigned>>{{23, 0}, {23, 7}, {25, 0}, {22, 0xFF}}) {
    Bytes m = load(kDir + "ll_ccsds.grib2");
    m[section(m, 5) + octet - 1] = static_cast<unsigned char>(value);
    expect_refused(m, "Bad CCSDS parameters");
  }
}

#ifdef KAV_HAVE_AEC
// Samples of every width the library writes (1 to 4 octets, three only when
// asked), in either octet order, are decoded into the output array itself and
// widened to floats there: each must come out as it went in.
TEST(Grib2Ccsds, SamplesOfEveryWidthAreWidenedInPlace) {
  using namespace kav::grib2;
  std::mt19937 rng(42);
  for (int nbits : {5, 8, 12, 16, 20, 24, 28, 32}) {
    for (int order : {0, AEC_DATA_MSB}) {
      for (int three : {0, AEC_DATA_3BYTE}) {
        if (three && (nbits <= 16 || nbits > 24)) continue;
        SCOPED_TRACE(::testing::Message() << nbits << " bits, flags " << (order | three));
        const int flags = order | three | AEC_DATA_PREPROCESS;
        const size_t width = nbits <= 8 ? 1 : nbits <= 16 ? 2 : (nbits <= 24 && three) ? 3 : 4;
        const size_t n = 3001;
        std::vector<uint32_t> want(n);
        std::vector<unsigned char> raw(n * width);
        const uint64_t top = (uint64_t{1} << nbits) - 1;
        for (size_t i = 0; i < n; ++i) {
          // Smooth runs and jumps to the extremes, so that every coding path
          // and the highest bit are used.
          want[i] = i % 97 == 0 ? static_cast<uint32_t>(top)
                                : static_cast<uint32_t>((i * 7 + rng() % 5) & top);
          for (size_t k = 0; k < width; ++k) {
            const size_t at = order ? width - 1 - k : k;
            raw[i * width + at] = static_cast<unsigned char>(want[i] >> (8 * k));
          }
        }
        Bytes s7(5 + raw.size() * 2 + 1024);
        aec_stream enc{};
        enc.bits_per_sample = static_cast<unsigned>(nbits);
        enc.block_size = 16;
        enc.rsi = 128;
        enc.flags = static_cast<unsigned>(flags);
        enc.next_in = raw.data();
        enc.avail_in = raw.size();
        enc.next_out = s7.data() + 5;
        enc.avail_out = s7.size() - 5;
        ASSERT_EQ(aec_buffer_encode(&enc), AEC_OK);
        s7.resize(5 + enc.total_out);
        Bytes s5(25, 0);  // reference 0, both scales 0: values are the samples
        s5[19] = static_cast<unsigned char>(nbits);
        s5[21] = static_cast<unsigned char>(flags);
        s5[22] = 16;
        s5[24] = 128;
        std::vector<float> out(n, -1.0f);
        const DataJob job{{s5.data(), s5.size()}, {s7.data(), s7.size()}, n, out.data()};
        ASSERT_EQ(data_ccsds(job), 0);
        size_t wrong = 0;
        for (size_t i = 0; i < n; ++i)
          if (out[i] != static_cast<float>(want[i]) && wrong++ < 3)
            ADD_FAILURE() << "value " << i << ": " << out[i] << " for " << want[i];
        EXPECT_EQ(wrong, 0u);
      }
    }
  }
}
#endif

// ---- The parameter lookup ----

TEST(Grib2Params, LookupFileReadWithBounds) {
  GribParam p;
  EXPECT_EQ(GRIB_get_ver2_param(&p, 7, 0, 0, 0), 1);
  EXPECT_STREQ(p.name, "TMP");
  EXPECT_EQ(p.ind, 11);
  EXPECT_EQ(GRIB_get_ver2_param(&p, 7, 0, 1, 8), 1);
  EXPECT_STREQ(p.name, "APCP");
  // Absent: the composed code.
  EXPECT_EQ(GRIB_get_ver2_param(&p, 7, 0, 1, 250), 0);
  EXPECT_EQ(p.ind, 1250);
  // A local entry of centre 7 only for centre 7.
  EXPECT_EQ(GRIB_get_ver2_param(&p, 7, 0, 1, 195), 1);
  EXPECT_EQ(GRIB_get_ver2_param(&p, 98, 0, 1, 195), 0) << p.name;
  // A file of its own: an over-long line is passed over, not split.
  kavtest::TempDir dir;
  dir.write("grib2_var.lup", "# test\n0 0 0 0 " + std::string(300, 'X') + " K long\n" +
                                 "0 0 0 1 TMP K Temperature here\n");
  const char *old = RES_get("file_path");
  const std::string keep = old ? old : "";
  RES_put("file_path", dir.path().c_str());
  std::string err = kavtest::capture([&] {
                      EXPECT_EQ(GRIB_get_ver2_param(&p, 0, 0, 0, 0), 0);
                      EXPECT_EQ(GRIB_get_ver2_param(&p, 0, 0, 0, 1), 1);
                    }).err;
  EXPECT_STREQ(p.name, "TMP");
  EXPECT_STREQ(p.lname, "Temperature here");
  EXPECT_NE(err.find("longer than 200"), std::string::npos) << err;
  RES_put("file_path", keep.c_str());
  EXPECT_FLOAT_EQ(GRIB_ieee_float_conv(reinterpret_cast<const unsigned char *>("\x43\x88\x80\x00")),
                  273.0f);
}

// ---- Any bytes ----

TEST(Grib2Faults, TruncatedAndFlippedFixtures) {
  std::mt19937 rng(7);
  for (const char *f : {"regular_latlon_surface.grib2", "ll_jpeg.grib2", "ll_ccsds.grib2",
                        "ll_complex.grib2", "ll_sd2.grib2", "bm_sd.grib2", "bm_simple.grib2",
                        "scan20.grib2", "lambert.grib2", "pdt9.grib2"}) {
    const Bytes src = load(kDir + f);
    kavtest::capture([&] {
      // Cut anywhere and closed again with "7777".
      for (size_t len = 20; len < src.size(); len += 1 + len / 16) {
        Bytes m(src.begin(), src.begin() + long(len));
        for (int i = 0; i < 4; ++i) m.push_back('7');
        GRD_report g{};
        GRD_init(&g);
        kav_grib2_decode(m.data(), m.size(), 0, &g, 0);
        std::free(g.grid);
      }
      for (int trial = 0; trial < 300; ++trial) {
        Bytes m = src;
        const int flips = 1 + int(rng() % 4);
        for (int k = 0; k < flips; ++k)
          m[16 + rng() % (m.size() - 20)] ^= static_cast<unsigned char>(1u << (rng() % 8));
        GRD_report g{};
        GRD_init(&g);
        const int r = kav_grib2_decode(m.data(), m.size(), 0, &g, 0);
        if (r >= 1 && g.grid) {
          // Whatever was decoded is a whole grid.
          EXPECT_GT(g.domain.nx, 0);
          EXPECT_GT(g.domain.ny, 0);
        }
        std::free(g.grid);
      }
    });
  }
}

}  // namespace

namespace {

// ---- Section by section ----

TEST(Grib2Sections, WalkAMessageSectionBySection) {
  const std::string file = kDir + "bm_sd.grib2";
  GRD_report whole{}, parts{};
  GRD_init(&whole);
  GRD_init(&parts);
  std::vector<int> seen;
  kavtest::capture([&] {
    int type = 0, num = 0;
    const int fd = GRD_open(file.c_str(), 0, &type);
    GRD_info info{};
    GRD_getinfo(fd, &info);
    ASSERT_EQ(GRD_read(fd, &whole, 0, &num), 0);
    ASSERT_EQ(GRIB_header(fd), 1);
    for (int r; (r = GRIB_read_section(fd)) == 1;) {
      seen.push_back(GRIB_get_sect());
      switch (GRIB_get_sect()) {
        case 1:
          EXPECT_EQ(GRIB_IDS(fd, &parts), 1);
          break;
        case 3:
          EXPECT_EQ(GRIB_GDS(fd, &parts), 1);
          break;
        case 4:
          EXPECT_EQ(GRIB_PDS(fd, &parts), 1);
          break;
        case 5:
          EXPECT_EQ(GRIB_DRS(fd, &parts), 1);
          break;
        case 6:
          EXPECT_EQ(GRIB_BMS(fd), 1);
          break;
        case 7:
          EXPECT_EQ(GRIB_DS(fd, &parts), 1);
          break;
        default:
          EXPECT_EQ(GRIB_skip_section(fd), 0);
      }
    }
    EXPECT_EQ(GRIB_get_sect(), -1);
    EXPECT_EQ(GRIB_IDS(fd, &parts), 0);  // not at section 1
    GRD_close(fd);
  });
  EXPECT_EQ(seen, (std::vector<int>{1, 3, 4, 5, 6, 7}));
  ASSERT_TRUE(whole.grid && parts.grid);
  EXPECT_EQ(parts.var, whole.var);
  EXPECT_EQ(parts.level, whole.level);
  EXPECT_STREQ(parts.info, whole.info);
  EXPECT_EQ(parts.domain.nx, whole.domain.nx);
  EXPECT_EQ(std::memcmp(parts.grid, whole.grid,
                        sizeof(float) * size_t(whole.domain.nx) * size_t(whole.domain.ny)),
            0);
  std::free(whole.grid);
  std::free(parts.grid);
}

// ---- kavgrid on a file of both editions ----

TEST(Grib2Files, KavgridListsMixedEditions) {
  kavtest::TempDir dir;
  const std::string one =
      kavtest::read_file(std::string(KAV_TEST_DATA) + "/grib/regular_latlon_surface.grib1");
  const std::string two = kavtest::read_file(kDir + "pdt8.grib2");
  const std::string rap = kavtest::read_file(kExamples + "rap.wrfnat.grib2");
  const std::string f = dir.write("mixed.grb", one + two + rap + one);
  const auto r = kavtest::run({KAV_KAVGRID_BIN, f});
  EXPECT_EQ(r.status, 0) << r.err;
  int lines = 0;
  for (char c : r.out) lines += c == '\n';
  EXPECT_EQ(lines, 4) << r.out;  // the heading and three grids
  EXPECT_NE(r.out.find("12 hour valid"), std::string::npos) << r.out;
  if (!rap.empty()) {
    EXPECT_NE(r.err.find("3.32769"), std::string::npos) << r.err;
  }
}

}  // namespace

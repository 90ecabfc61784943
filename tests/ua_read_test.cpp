// Upper-air code groups: the worked examples (tests/data/ua_groups.txt), round
// trips over the whole range of each field, the missing-group text by file
// type, and every five-character group over an alphabet of awkward bytes.
#include <gtest/gtest.h>
#include <kav/ua_read.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr float kMiss = KAV_MISSING;

// Restores file type 0 around each test.
class UaGroups : public ::testing::Test {
 protected:
  void SetUp() override { UPA_set_file_type(0); }
  void TearDown() override { UPA_set_file_type(0); }
};

struct GroupRow {
  int line = 0;
  std::string dir, kind, group;
  float a = 0, b = 0;
  int rc = 0;
};

// Rows of ua_groups.txt: "dec" kind group a b rc, or "enc" kind a b group rc.
std::vector<GroupRow> load_groups() {
  std::vector<GroupRow> rows;
  for (const kavtest::Row &row : kavtest::read_rows("ua_groups.txt")) {
    const std::vector<std::string> &f = row.fields;
    GroupRow r;
    r.line = row.line;
    if (f.size() != 6) {  // shown as a failing row
      r.kind = "malformed";
      rows.push_back(r);
      continue;
    }
    r.dir = f[0];
    r.kind = f[1];
    const bool dec = r.dir == "dec";
    r.group = dec ? f[2] : f[4];
    r.a = std::stof(dec ? f[3] : f[2]);
    r.b = std::stof(dec ? f[4] : f[3]);
    r.rc = std::stoi(f[5]);
    rows.push_back(r);
  }
  return rows;
}

int decode(const std::string &kind, const char *g, float *a, float *b) {
  if (kind == "ph") return decd_ph(g, a, b);
  if (kind == "td") return decd_td(g, a, b);
  return decd_wd(g, a, b);
}

int encode(const std::string &kind, float a, float b) {
  if (kind == "ph") return encd_ph(a, b);
  if (kind == "td") return encd_td(a, b);
  return encd_wd(a, b);
}

TEST_F(UaGroups, WorkedExamples) {
  auto rows = load_groups();
  ASSERT_GT(rows.size(), 80u);
  for (const auto &r : rows) {
    SCOPED_TRACE("line " + std::to_string(r.line) + ": " + r.dir + " " + r.kind + " \"" + r.group +
                 "\"");
    ASSERT_TRUE(r.dir == "dec" || r.dir == "enc");
    kavtest::capture([&] {
      if (r.dir == "dec") {
        float a = 1, b = 1;
        EXPECT_EQ(decode(r.kind, r.group.c_str(), &a, &b), r.rc);
        EXPECT_NEAR(a, r.a, 1e-3);
        EXPECT_NEAR(b, r.b, 1e-3);
      } else {
        EXPECT_EQ(encode(r.kind, r.a, r.b), r.rc);
        EXPECT_EQ(std::string(encd_group()), r.group);
      }
    });
  }
}

// Every mandatory level over the heights its group can tell apart.
TEST_F(UaGroups, PressureHeightRoundTrip) {
  struct Range {
    float p;
    int lo, hi, step;
  };
  const Range ranges[] = {{1000, -499, 499, 1},    {925, 0, 999, 1},        {850, 1000, 1999, 1},
                          {700, 2501, 3500, 1},    {500, 0, 9990, 10},      {400, 0, 9990, 10},
                          {300, 5010, 15000, 10},  {250, 5010, 15000, 10},  {200, 10000, 19990, 10},
                          {150, 10000, 19990, 10}, {100, 10000, 19990, 10}, {70, 10000, 19990, 10},
                          {50, 15010, 25000, 10},  {30, 20000, 29990, 10},  {20, 20000, 29990, 10},
                          {10, 25010, 35000, 10},  {7, 30000, 39990, 10},   {5, 30000, 39990, 10},
                          {3, 35010, 45000, 10},   {2, 35010, 45000, 10},   {1, 45010, 55000, 10}};
  for (const auto &r : ranges) {
    for (int h = r.lo; h <= r.hi; h += r.step) {
      ASSERT_EQ(encd_ph(r.p, static_cast<float>(h)), 0);
      std::string g = encd_group();
      ASSERT_EQ(g.size(), 5u) << g;
      float p = 0, hh = 0;
      ASSERT_EQ(decd_ph(g.c_str(), &p, &hh), 0) << g;
      ASSERT_EQ(p, r.p) << g;
      ASSERT_EQ(hh, static_cast<float>(h)) << r.p << " mb " << h << " m: " << g;
    }
  }
}

TEST_F(UaGroups, TemperatureDewPointRoundTrip) {
  for (int tt = -997; tt <= 999; ++tt) {
    float t = static_cast<float>(tt) / 10;
    for (float dep : {0.0f, 0.1f, 0.5f, 2.3f, 4.9f, 5.0f, 6.0f, 12.0f, 30.0f, 48.0f}) {
      ASSERT_EQ(encd_td(t, t - dep), 0) << t;
      std::string g = encd_group();
      ASSERT_EQ(g.size(), 5u) << g;
      float t2 = 0, d2 = 0;
      ASSERT_EQ(decd_td(g.c_str(), &t2, &d2), 0) << g;
      // Positive temperatures keep even tenths, negative ones odd tenths.
      ASSERT_NEAR(t2, t, 0.101) << g;
      ASSERT_NEAR(t2 - d2, dep, 0.101) << t << " " << dep << ": " << g;
    }
  }
}

TEST_F(UaGroups, WindRoundTrip) {
  for (int d = 0; d <= 360; d += 5) {
    for (int s = 0; s <= 250; ++s) {
      ASSERT_EQ(encd_wd(static_cast<float>(d), static_cast<float>(s)), 0);
      std::string g = encd_group();
      float d2 = 0, s2 = 0;
      ASSERT_EQ(decd_wd(g.c_str(), &d2, &s2), 0) << g;
      ASSERT_EQ(d2, static_cast<float>(d)) << g;
      ASSERT_EQ(s2, static_cast<float>(s)) << g;
    }
  }
}

TEST_F(UaGroups, MissingGroupTextFollowsFileType) {
  for (int type : {0, 1, 2, 3, 4, 5, 6}) {
    UPA_set_file_type(type);
    const char *want = (type >= 3 && type <= 5) ? "X" : "99999";
    EXPECT_EQ(encd_ph(kMiss, kMiss), -1);
    EXPECT_STREQ(encd_group(), want);
    EXPECT_EQ(encd_td(kMiss, kMiss), -1);
    EXPECT_STREQ(encd_group(), want);
    EXPECT_EQ(encd_wd(kMiss, kMiss), -1);
    EXPECT_STREQ(encd_group(), want);
    // Both texts decode as missing whatever the file type.
    for (const char *g : {"X", "99999"}) {
      float a = 0, b = 0;
      EXPECT_EQ(decd_ph(g, &a, &b), -1);
      EXPECT_EQ(decd_td(g, &a, &b), -1);
      EXPECT_EQ(decd_wd(g, &a, &b), -1);
      EXPECT_EQ(a, kMiss);
      EXPECT_EQ(b, kMiss);
    }
  }
  EXPECT_EQ(UPA_set_file_type(4), 6);
  EXPECT_EQ(UPA_get_file_type(), 4);
}

// Any five characters decode to missing values or values inside the code's
// range, and only characters other than digits, slashes and blanks warn.
TEST_F(UaGroups, AnyFiveCharactersDecode) {
  const char alphabet[] = {'0', '5', '9', '/', ' ', '-', '+', 'A', 'X', '\t'};
  char g[6] = {};
  int warnings = 0;
  auto out = kavtest::capture([&] {
    for (int code = 0; code < 100000; ++code) {
      int c = code;
      for (int i = 0; i < 5; ++i, c /= 10) g[i] = alphabet[c % 10];
      float p, h, t, d, dir, spd;
      int rp = decd_ph(g, &p, &h);
      int rt = decd_td(g, &t, &d);
      int rw = decd_wd(g, &dir, &spd);
      if (rp == 0) {
        EXPECT_TRUE(p >= 1 && p <= 1000) << g;
        EXPECT_TRUE(h == kMiss || std::fabs(h) < 60000) << g;
      } else {
        EXPECT_EQ(p, kMiss);
        EXPECT_EQ(h, kMiss);
      }
      if (rt == 0) {
        EXPECT_TRUE(t >= -99.9f && t <= 99.8f) << g;
        EXPECT_TRUE(d == kMiss || (d <= t && d >= t - 49)) << g;
      } else {
        EXPECT_EQ(t, kMiss);
      }
      if (rw == 0) {
        EXPECT_TRUE(dir >= 0 && dir <= 360) << g;
        EXPECT_TRUE(spd == kMiss || (spd >= 0 && spd <= 250)) << g;
      } else {
        EXPECT_EQ(dir, kMiss);
        EXPECT_EQ(spd, kMiss);
      }
    }
  });
  for (size_t pos = 0; (pos = out.err.find("Unreadable", pos)) != std::string::npos; ++pos)
    ++warnings;
  EXPECT_GT(warnings, 0);
  EXPECT_TRUE(out.out.empty());
  // Longer texts are read only to their fifth character.
  float p, h;
  EXPECT_EQ(decd_ph("85512999", &p, &h), 0);
  EXPECT_EQ(h, 1512);
}

TEST_F(UaGroups, BadArgumentsAreReported) {
  float a = 0, b = 0;
  auto out = kavtest::capture([&] {
    EXPECT_EQ(decd_ph(nullptr, &a, &b), -1);
    EXPECT_EQ(decd_td("12456", nullptr, &b), -1);
    EXPECT_EQ(decd_wd("27515", &a, nullptr), -1);
    EXPECT_EQ(encd_ph(1013, 100), -1);
    EXPECT_EQ(encd_td(10, 12), 0);
    EXPECT_EQ(encd_wd(400, 10), -1);
  });
  EXPECT_EQ(a, kMiss);
  EXPECT_NE(out.err.find("decd_td: "), std::string::npos);
  EXPECT_NE(out.err.find("decd_wd: "), std::string::npos);
  EXPECT_NE(out.err.find("encd_ph: Pressure 1013 mb"), std::string::npos);
  EXPECT_NE(out.err.find("encd_td: Dew point 12 C above temperature 10 C"), std::string::npos);
  EXPECT_NE(out.err.find("encd_wd: "), std::string::npos);
}

}  // namespace

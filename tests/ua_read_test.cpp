// Upper-air code groups: the worked examples (tests/data/ua_groups.txt), round
// trips over the whole range of each field, the missing-group text by file
// type, and every five-character group over an alphabet of awkward bytes.
#include <gtest/gtest.h>
#include <kav/date.h>
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

// ---- Sounding text files ----

TEST(UaReadText, RealAscent) {
  std::vector<UPA_level> s(300);
  char id[20];
  Date date;
  int n = UPA_read_text((std::string(KAV_TEST_DATA) + "/ua_oax_2014061619.txt").c_str(), s.data(),
                        300, id, sizeof id, &date);
  ASSERT_EQ(n, 151);
  EXPECT_STREQ(id, "OAX");
  EXPECT_EQ(date.year, 2014);
  EXPECT_EQ(date.month, 6);
  EXPECT_EQ(date.day, 16);
  EXPECT_EQ(date.hour, 19);
  EXPECT_EQ(date.min, 0);
  EXPECT_EQ(s[0].p, 1000);
  EXPECT_EQ(s[0].h, 34);
  EXPECT_EQ(s[0].t, kMiss);
  EXPECT_EQ(s[1].t, 27.8f);
  EXPECT_EQ(s[150].p, 7.8f);
}

TEST(UaReadText, BadLinesAreWarnedAndSkipped) {
  kavtest::TempDir dir;
  std::string f = dir.write("s.txt",
                            "%TITLE%\n ABC 240305/1200\n%RAW%\n"
                            "1000, 100, 20, 15, 180, 10\n"
                            "950, 500, x, 14, 180, 10\n"
                            "900, 1000, 16, 10, 190\n"
                            "925, 800, 18, 12, 185, 12\n"
                            "850, 1500, nan, 8, 200, 20\n"
                            " 850.00,  1500.00,  12.00,  -1.00,  -9999.00,  -9999.00\n"
                            "%END%\n700, 3000, 0, -10, 250, 30\n");
  std::vector<UPA_level> s(10);
  int n = 0;
  kavtest::Captured c =
      kavtest::capture([&] { n = UPA_read_text(f.c_str(), s.data(), 10, nullptr, 0, nullptr); });
  ASSERT_EQ(n, 3);
  EXPECT_EQ(s[1].p, 925);
  EXPECT_EQ(s[2].td, -1.0f);  // a number, not a missing column
  EXPECT_EQ(s[2].dir, kMiss);
  EXPECT_NE(c.err.find("UPA_read_text: Unreadable line 5 of"), std::string::npos) << c.err;
  EXPECT_NE(c.err.find("UPA_read_text: Unreadable line 6 of"), std::string::npos);
  EXPECT_NE(c.err.find("UPA_read_text: Unreadable line 8 of"), std::string::npos);
  // Room for two levels: the rest is ignored with a warning.
  c = kavtest::capture([&] { n = UPA_read_text(f.c_str(), s.data(), 2, nullptr, 0, nullptr); });
  EXPECT_EQ(n, 2);
  EXPECT_NE(c.err.find("UPA_read_text: More than 2 levels in"), std::string::npos);
}

TEST(UaReadText, MissingFileOrSection) {
  kavtest::TempDir dir;
  std::vector<UPA_level> s(10);
  kavtest::Captured c = kavtest::capture([&] {
    EXPECT_EQ(UPA_read_text(dir.file("none").c_str(), s.data(), 10, nullptr, 0, nullptr), -1);
  });
  EXPECT_NE(c.err.find("UPA_read_text: Unable to open sounding file:"), std::string::npos);
  std::string f = dir.write("plain.txt", "1000, 100, 20, 15, 180, 10\n");
  c = kavtest::capture(
      [&] { EXPECT_EQ(UPA_read_text(f.c_str(), s.data(), 10, nullptr, 0, nullptr), -1); });
  EXPECT_NE(c.err.find("UPA_read_text: No %RAW% section in sounding file:"), std::string::npos);
}

TEST(UaRawReader, ColumnsOneAtATime) {
  kavtest::TempDir dir;
  std::string f = dir.write("s.raw",
                            "KAVRAW\n1200Z  5 MAR 24\n!XYZ Sounding\n"
                            " Lev   P     H     T     Td    Dir Spd $\n"
                            " SFC 1000   100    5.0  -1.0   -1   - \n"
                            "   1  850  oops\n"
                            "WIND  850  1500      -     -  270  20\n");
  int fd = UPA_raw_open(f.c_str());
  ASSERT_GE(fd, 0);
  EXPECT_STREQ(UPA_raw_info(fd), "XYZ Sounding");
  EXPECT_STREQ(UPA_raw_label(fd), "1200Z  5 MAR 24");
  EXPECT_EQ(UPA_raw_num_fields(fd), UPA_RAW_FIELDS);
  EXPECT_STREQ(UPA_raw_field_name(fd, 4), "Td");
  EXPECT_STREQ(UPA_raw_field_name(fd, 9), "");
  char st[6];
  float p, v;
  int field;
  std::vector<float> vals;
  kavtest::Captured c = kavtest::capture([&] {
    while (UPA_raw_read(fd, st, &p, &field, &v) == 0) vals.push_back(v);
  });
  EXPECT_NE(c.err.find("UPA_raw_read: Unreadable line 6 of"), std::string::npos) << c.err;
  ASSERT_EQ(vals.size(), 10u);
  EXPECT_EQ(vals[2], -1.0f);
  EXPECT_EQ(vals[4], kMiss);
  EXPECT_EQ(vals[8], 270);
  EXPECT_STREQ(st, "WIND");
  EXPECT_EQ(UPA_raw_close(fd), 0);
  EXPECT_EQ(UPA_raw_close(fd), -1);
  std::string other = dir.write("other.txt", "KAVUPA\n");
  c = kavtest::capture([&] { EXPECT_EQ(UPA_raw_open(other.c_str()), -1); });
  EXPECT_NE(c.err.find("UPA_raw_open: Not a KAVRAW sounding file:"), std::string::npos);
  EXPECT_EQ(UPA_raw_open(dir.file("none").c_str()), -1);
  // At most four open at once.
  int fds[5];
  c = kavtest::capture([&] {
    for (int &d : fds) d = UPA_raw_open(f.c_str());
  });
  EXPECT_EQ(fds[4], -1);
  for (int d : fds) UPA_raw_close(d);
}

}  // namespace

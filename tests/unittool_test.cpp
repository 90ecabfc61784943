// Unit conversion over the shipped table and over small tables of the tests.
#include <gtest/gtest.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/unittool.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "support/kavtest.h"

namespace {

float tolerance(double expected) {
  return static_cast<float>(2e-6 * std::max(1.0, std::fabs(expected)));
}

// Starts from an empty cache: a lookup of a pair no table holds replaces it.
void reset_cache() {
  kavtest::TempDir dir;
  dir.write("units.lup", "# empty\n");
  RES_put("file_path", dir.path().c_str());
  UNIT_cvt(1.0f, "reset_a", "reset_b");
}

void use_shipped_table() { RES_put("file_path", KAV_SOURCE_DATA); }

struct Row {
  double value;
  std::string iunit, ounit;
  double expected;
  int line;
};

std::string unit_field(std::string s) {
  if (s == "<empty>") return "";
  return s;
}

std::vector<Row> read_rows() {
  std::vector<Row> rows;
  for (const kavtest::Row &row : kavtest::read_rows("unit_cvt.txt")) {
    std::istringstream ss(row.text);
    Row r;
    ss >> r.value >> r.iunit >> r.ounit >> r.expected;
    r.iunit = unit_field(r.iunit);
    r.ounit = unit_field(r.ounit);
    r.line = row.line;
    rows.push_back(r);
  }
  return rows;
}

class UnitCvtRow : public ::testing::TestWithParam<Row> {};

void PrintTo(const Row &r, std::ostream *os) { *os << "unit_cvt.txt:" << r.line; }

TEST_P(UnitCvtRow, ConvertsOverTheShippedTable) {
  const Row &r = GetParam();
  use_shipped_table();
  const float got = UNIT_cvt(static_cast<float>(r.value), r.iunit.c_str(), r.ounit.c_str());
  EXPECT_NEAR(got, r.expected, tolerance(r.expected))
      << r.value << " " << r.iunit << " -> " << r.ounit;
}

INSTANTIATE_TEST_SUITE_P(Rows, UnitCvtRow, ::testing::ValuesIn(read_rows()), kavtest::ByLine());

// Exact definitions: SI value = x * factor + offset.
struct Definition {
  const char *family;
  double factor;
  double offset;
};

const std::map<std::string, Definition> &definitions() {
  static const std::map<std::string, Definition> d = {
      {"C", {"temperature", 1.0, 273.15}},
      {"F", {"temperature", 5.0 / 9.0, 273.15 - 32.0 * 5.0 / 9.0}},
      {"K", {"temperature", 1.0, 0.0}},
      {"m/s", {"speed", 1.0, 0.0}},
      {"knots", {"speed", 1852.0 / 3600.0, 0.0}},
      {"kt", {"speed", 1852.0 / 3600.0, 0.0}},
      {"km/h", {"speed", 1000.0 / 3600.0, 0.0}},
      {"mph", {"speed", 1609.344 / 3600.0, 0.0}},
      {"mb", {"pressure", 100.0, 0.0}},
      {"hPa", {"pressure", 100.0, 0.0}},
      {"Pa", {"pressure", 1.0, 0.0}},
      {"inHg", {"pressure", 3386.389, 0.0}},
      {"mmHg", {"pressure", 133.322387415, 0.0}},
      {"m", {"length", 1.0, 0.0}},
      {"km", {"length", 1000.0, 0.0}},
      {"ft", {"length", 0.3048, 0.0}},
      {"mi", {"length", 1609.344, 0.0}},
      {"nmi", {"length", 1852.0, 0.0}},
      {"mm", {"length", 0.001, 0.0}},
      {"in", {"length", 0.0254, 0.0}},
      {"g/kg", {"mixing ratio", 0.001, 0.0}},
      {"kg/kg", {"mixing ratio", 1.0, 0.0}},
  };
  return d;
}

// The (input, output) pairs of the records of a table file.
std::vector<std::pair<std::string, std::string>> table_pairs(const std::string &file) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream ss(line);
    std::string a, b, c;
    if (!(ss >> a) || a[0] == '#') continue;
    ss >> b >> c;
    pairs.emplace_back(a, b);
  }
  return pairs;
}

TEST(UnitTable, HoldsEveryPairOfEachFamilyOnce) {
  auto pairs = table_pairs(KAV_SOURCE_DATA "/units.lup");
  std::set<std::pair<std::string, std::string>> have(pairs.begin(), pairs.end());
  EXPECT_EQ(have.size(), pairs.size()) << "a pair is listed twice";
  std::set<std::pair<std::string, std::string>> want;
  for (const auto &[i, di] : definitions())
    for (const auto &[o, dout] : definitions())
      if (i != o && std::string(di.family) == dout.family) want.emplace(i, o);
  EXPECT_EQ(have, want);
}

TEST(UnitTable, EveryRecordMatchesTheExactDefinitions) {
  use_shipped_table();
  for (const auto &[i, o] : table_pairs(KAV_SOURCE_DATA "/units.lup")) {
    const auto di = definitions().find(i);
    const auto dout = definitions().find(o);
    ASSERT_NE(di, definitions().end()) << i;
    ASSERT_NE(dout, definitions().end()) << o;
    for (double x : {0.0, 1.0, -37.5, 1013.25}) {
      const double si = x * di->second.factor + di->second.offset;
      const double exact = (si - dout->second.offset) / dout->second.factor;
      EXPECT_NEAR(UNIT_cvt(static_cast<float>(x), i.c_str(), o.c_str()), exact, tolerance(exact))
          << x << " " << i << " -> " << o;
    }
  }
}

class UnitTableFile : public ::testing::Test {
 protected:
  void SetUp() override { reset_cache(); }
  void use(const std::string &table) {
    dir_.write("units.lup", table);
    RES_put("file_path", dir_.path().c_str());
  }
  kavtest::TempDir dir_;
};

TEST_F(UnitTableFile, RepeatedPairNeverRereadsTheTable) {
  use("C F *2\n");  // not the real conversion: proves which table was read
  EXPECT_FLOAT_EQ(UNIT_cvt(100.0f, "C", "F"), 200.0f);
  std::remove(dir_.file("units.lup").c_str());
  const auto out = kavtest::capture([] { EXPECT_FLOAT_EQ(UNIT_cvt(50.0f, "c", "f"), 100.0f); });
  EXPECT_EQ(out.err, "");
  // Another pair has to read the table, which is gone now.
  const auto miss = kavtest::capture([] { EXPECT_EQ(UNIT_cvt(50.0f, "C", "K"), -9999.0f); });
  EXPECT_NE(miss.err.find("UNIT_cvt"), std::string::npos);
  EXPECT_NE(miss.err.find(dir_.file("units.lup")), std::string::npos) << miss.err;
}

TEST_F(UnitTableFile, MissingTableGivesMissingValueNotZero) {
  RES_put("file_path", (dir_.path() + "/").c_str());  // a trailing '/' is not doubled
  const auto out = kavtest::capture([] { EXPECT_EQ(UNIT_cvt(0.0f, "C", "F"), -9999.0f); });
  EXPECT_NE(out.err.find("UNIT_cvt: Unable to open units file: " + dir_.file("units.lup")),
            std::string::npos)
      << out.err;
  // Same base units never need the table.
  EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "1000_m", "m"), 5000.0f);
  // Once the table is there, the pair converts.
  use("C F *1.8+32\n");
  EXPECT_FLOAT_EQ(UNIT_cvt(0.0f, "C", "F"), 32.0f);
}

TEST_F(UnitTableFile, GarbledRecordsAreSkippedWithWarnings) {
  use("# comment C F *9\n"
      "C F\n"
      "C F 1.8\n"
      "C F *abc\n"
      "C F *3x\n"
      "C F *0x10\n"
      "C F *inf\n"
      "C F +\n"
      "C F *2 junk\n"
      "abcdefghijklmno F *4\n"
      "C F *1.000000000000000000000000000000000000001\n"
      "C F *1.8+32 # the good one\r\n"
      "C F *5\n");
  float got = 0;
  const auto out = kavtest::capture([&] { got = UNIT_cvt(100.0f, "C", "F"); });
  EXPECT_FLOAT_EQ(got, 212.0f);
  int warnings = 0;
  for (size_t p = out.err.find("UNIT_cvt: Skipping record"); p != std::string::npos;
       p = out.err.find("UNIT_cvt: Skipping record", p + 1))
    ++warnings;
  EXPECT_EQ(warnings, 10) << out.err;
  EXPECT_NE(out.err.find("line 2 of"), std::string::npos);
}

// A line is kept only up to a bound: a long comment after a record is
// harmless, but a record that runs past the bound is not taken in part.
TEST_F(UnitTableFile, LongLinesAreCutAndOnlyTheirCommentsLost) {
  use("# " + std::string(100000, 'c') + "\n" +     //
      "C F" + std::string(100000, ' ') + "*9\n" +  // the conversion lies past the bound
      "C F *1.8+32 # " + std::string(100000, 'c') + "\n");
  float got = 0;
  const auto out = kavtest::capture([&] { got = UNIT_cvt(100.0f, "C", "F"); });
  EXPECT_FLOAT_EQ(got, 212.0f);
  EXPECT_NE(out.err.find("line 2 of"), std::string::npos) << out.err;
  EXPECT_NE(out.err.find("(line too long)"), std::string::npos) << out.err;
  EXPECT_EQ(out.err.find("line 3 of"), std::string::npos) << out.err;
}

TEST_F(UnitTableFile, OffsetsAndSignedScales) {
  use("a b -10\nb a +10\nc d *-2.5e1\ne f *0.5-.25\n");
  EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "a", "b"), -9.0f);
  EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "b", "a"), 11.0f);
  EXPECT_FLOAT_EQ(UNIT_cvt(2.0f, "c", "d"), -50.0f);
  EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "e", "f"), 0.25f);
  EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "2_e", "0.5_f"), 1.5f);  // (2 * 1 * 0.5 - 0.25) / 0.5
}

TEST_F(UnitTableFile, PairMissingFromTheTableIsKeptWithAWarning) {
  use("C F *1.8+32\n");
  float got = 0;
  const auto out = kavtest::capture([&] { got = UNIT_cvt(7.0f, "1000_m", "knots"); });
  EXPECT_FLOAT_EQ(got, 7000.0f);  // by the prefixes alone
  EXPECT_NE(out.err.find("UNIT_cvt: No conversion from m to knots"), std::string::npos) << out.err;
  // Cached: the second conversion of the pair is quiet.
  const auto again = kavtest::capture([&] { UNIT_cvt(1.0f, "1000_m", "knots"); });
  EXPECT_EQ(again.err, "");
}

TEST_F(UnitTableFile, BlanksAndUnderscoresAreOneCharacter) {
  use("deg_C deg_F *1.8+32\n");
  EXPECT_FLOAT_EQ(UNIT_cvt(100.0f, "deg C", "deg_F"), 212.0f);
  EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "1000 m", "m"), 5000.0f);
  EXPECT_FLOAT_EQ(UNIT_cvt(5.0f, "1000_m", "1000 m"), 5.0f);
}

TEST(UnitCvt, TracesPrefixesAtTheDebugClass) {
  MESS_set(1, 0x40000000u);
  const auto out = kavtest::capture([] { UNIT_cvt(5.0f, "1000_m", "10^3_m"); });
  MESS_set(-1, 0x40000000u);
  EXPECT_NE(out.out.find("ISC: 1000.000000 m\n"), std::string::npos) << out.out;
  EXPECT_NE(out.out.find("OSC^: 10.000000^3.000000 1000.000000 m"), std::string::npos) << out.out;
}

TEST(UnitCvt, RefusesLongTextsAndUnusablePrefixes) {
  use_shipped_table();
  EXPECT_FLOAT_EQ(UNIT_cvt(1.0f, "abcdefghijklmn", "abcdefghijklmn"), 1.0f);  // 14 fit
  for (const auto &[i, o] : std::vector<std::pair<const char *, const char *>>{
           {"abcdefghijklmno", "m"}, {"m", "abcdefghijklmno"}, {"m", "0_m"}, {"m", "10^999_m"}}) {
    float got = 0;
    const auto out = kavtest::capture([&, i = i, o = o] { got = UNIT_cvt(1.0f, i, o); });
    EXPECT_EQ(got, -9999.0f) << i << " -> " << o;
    EXPECT_NE(out.err.find("UNIT_cvt: "), std::string::npos) << i << " -> " << o;
  }
  EXPECT_FLOAT_EQ(UNIT_cvt(7.0f, nullptr, nullptr), 7.0f);
}

// A result no float can hold is missing, never an infinity or NaN, whether
// it comes from the prefixes, the table or a value cached from earlier.
TEST(UnitCvt, ResultsBeyondTheFloatRangeAreMissing) {
  use_shipped_table();
  for (const auto &[v, i, o] : std::vector<std::tuple<float, const char *, const char *>>{
           {3e38f, "km", "m"},
           {3e38f, "m", "10^-3_m"},
           {3e38f, "km", "m"},
           {std::numeric_limits<float>::infinity(), "C", "F"},
           {std::numeric_limits<float>::quiet_NaN(), "1000_m", "m"}}) {
    float got = 0;
    const auto out = kavtest::capture([&, v = v, i = i, o = o] { got = UNIT_cvt(v, i, o); });
    EXPECT_EQ(got, -9999.0f) << v << " " << i << " -> " << o;
    EXPECT_NE(out.err.find("UNIT_cvt: "), std::string::npos) << i << " -> " << o;
  }
  EXPECT_FLOAT_EQ(UNIT_cvt(3e35f, "km", "m"), 3e38f);
}

TEST(UnitScale, WritesScaledLabels) {
  char out[64];
  EXPECT_EQ(UNIT_scale("m/s", 0.001f, "", out), 0);
  EXPECT_STREQ(out, "1e-03 m/s");
  UNIT_scale("10^3_m", 1.0f, "/s", out);
  EXPECT_STREQ(out, "1e+03 m/s");
  UNIT_scale("100 Pa", 0.01f, "", out);
  EXPECT_STREQ(out, "1e+00 Pa");
  UNIT_scale("-K", 10.0f, " x", out);
  EXPECT_STREQ(out, "-1e+01 K x");
  const std::string longer(100, 'z');
  UNIT_scale("m", 1.0f, longer.c_str(), out);
  EXPECT_EQ(std::string(out), "1e+00 m" + std::string(56, 'z'));
  kavtest::capture([&] { EXPECT_EQ(UNIT_scale("abcdefghijklmno", 1.0f, "", out), -1); });
  EXPECT_STREQ(out, "");
  EXPECT_EQ(UNIT_scale(nullptr, 1.0f, "", out), -1);
  const auto inf = kavtest::capture([&] { EXPECT_EQ(UNIT_scale("10^400_m", 1.0f, "", out), -1); });
  EXPECT_STREQ(out, "");
  EXPECT_NE(inf.err.find("UNIT_scale: "), std::string::npos);
}

TEST(UnitLabel, ParseAndChange) {
  char var[64], units[64];
  struct Case {
    const char *label, *var, *units;
  };
  for (const Case &c : {Case{"Temperature (F)", "Temperature", "F"}, Case{"Wind", "Wind", ""},
                        Case{"Speed  (m/s) extra", "Speed", "m/s"}, Case{"(K)", "", "K"},
                        Case{"Dew (C", "Dew", "C"}, Case{"", "", ""}, Case{"Odd ()", "Odd", ""}}) {
    EXPECT_EQ(UNIT_parse(c.label, var, units), 0);
    EXPECT_STREQ(var, c.var) << c.label;
    EXPECT_STREQ(units, c.units) << c.label;
  }
  const std::string long_name(80, 'n');
  UNIT_parse((long_name + " (" + std::string(80, 'u') + ")").c_str(), var, units);
  EXPECT_EQ(std::string(var), std::string(63, 'n'));
  EXPECT_EQ(std::string(units), std::string(63, 'u'));

  char label[130] = "Temperature (F)";
  EXPECT_EQ(UNIT_change(label, "C"), 0);
  EXPECT_STREQ(label, "Temperature (C)");
  std::snprintf(label, sizeof label, "Dew point");
  UNIT_change(label, "K");
  EXPECT_STREQ(label, "Dew point (K)");
  std::snprintf(label, sizeof label, "Height (m)");
  UNIT_change(label, label);  // the units may be the label itself
  EXPECT_STREQ(label, "Height (Height (m))");
  std::snprintf(label, sizeof label, "%s", (long_name + " (x)").c_str());
  UNIT_change(label, std::string(80, 'u').c_str());
  EXPECT_EQ(std::string(label), std::string(63, 'n') + " (" + std::string(63, 'u') + ")");
}

}  // namespace

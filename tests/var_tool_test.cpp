// Variable descriptions: the shipped table, lookups and composed labels.
#include <gtest/gtest.h>
#include <kav/mess.h>
#include <kav/plot_label.h>
#include <kav/resrc.h>
#include <kav/var_tool.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

void use_shipped_table() {
  RES_put("file_path", KAV_SOURCE_DATA);
  ASSERT_EQ(VAR_read_varfile(), 1);
}

struct LabelRow {
  int time, ltype, level, var;
  std::string units;
  int label_type;
  std::string expected;
  int line;
};

std::vector<LabelRow> label_rows() {
  std::vector<LabelRow> rows;
  for (const kavtest::Row &row : kavtest::read_rows("var_labels.txt", kavtest::Split::columns)) {
    const std::vector<std::string> &f = row.fields;
    if (f.size() != 7) continue;
    rows.push_back({std::stoi(f[0]), std::stoi(f[1]), std::stoi(f[2]), std::stoi(f[3]),
                    f[4] == "-" ? "" : f[4], std::stoi(f[5]), f[6], row.line});
  }
  return rows;
}

class LabelRows : public ::testing::TestWithParam<LabelRow> {};

void PrintTo(const LabelRow &r, std::ostream *os) { *os << "line " << r.line; }

TEST_P(LabelRows, ComposesTheDescription) {
  const LabelRow &r = GetParam();
  use_shipped_table();
  const int old = PLT_set_label_type(r.label_type);
  char out[VAR_LABEL_LEN];
  kavtest::capture(
      [&] { VAR_make_datatype(r.time, r.ltype, r.level, r.var, r.units.c_str(), out); });
  PLT_set_label_type(old);
  EXPECT_EQ(std::string(out), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, LabelRows, ::testing::ValuesIn(label_rows()), kavtest::ByLine());

TEST(VarTable, ShippedTableHoldsTheWmoParameters) {
  use_shipped_table();
  char s[VAR_LABEL_LEN];
  // Every WMO parameter 1-127 has a name of its own.
  for (int v = 1; v <= 127; ++v) {
    VAR_str(s, v, nullptr);
    EXPECT_NE(s[0], 'v') << v;
  }
  EXPECT_STREQ(VAR_str(s, 11, nullptr), "Temperature");
  EXPECT_STREQ(VAR_str(s, 33, "m/s"), "U-component of wind (m/s)");
  EXPECT_STREQ(VAR_str(s, 61, nullptr), "Total precipitation");
  EXPECT_STREQ(VAR_str(s, 255, nullptr), "Missing value");
  EXPECT_STREQ(VAR_abbr(s, 7), "HGT");
  EXPECT_EQ(VAR_search_var_num("apcp"), 61);
  EXPECT_EQ(VAR_search_var_num("Relative humidity"), 52);
  EXPECT_EQ(VAR_search_var_num("no such variable"), -1);
}

// The names of the shipped table against the WMO table as ecCodes carries
// it (rows generated from /usr/share/eccodes/definitions/grib1/2.0.3.table).
TEST(VarTable, NamesAgreeWithTheWmoTable) {
  use_shipped_table();
  const std::vector<std::pair<int, std::string>> rows = {{1, "Pressure"},
                                                         {2, "Mean sea level pressure"},
                                                         {7, "Geopotential height"},
                                                         {17, "Dew-point temperature"},
                                                         {39, "Vertical velocity"},
                                                         {52, "Relative humidity"},
                                                         {71, "Total cloud cover"},
                                                         {84, "Albedo"},
                                                         {118, "Brightness temperature"},
                                                         {126, "Wind mixing energy"}};
  char s[VAR_LABEL_LEN];
  for (const auto &[v, name] : rows) EXPECT_EQ(VAR_str(s, v, nullptr), name) << v;
}

class VarSmallTable : public ::testing::Test {
 protected:
  kavtest::TempDir dir;
  void load(const std::string &text) {
    dir.write("variable.lup", text);
    RES_put("file_path", dir.path().c_str());
    ASSERT_EQ(VAR_read_varfile(), 1);
  }
  void TearDown() override {
    RES_put("file_path", KAV_SOURCE_DATA);
    VAR_read_varfile();
  }
};

TEST_F(VarSmallTable, StrTakesTheModuloAndAbbrDoesNot) {
  load("11 TMP Temperature\n1011 TMPX Temperature of the package\n");
  char s[VAR_LABEL_LEN];
  EXPECT_STREQ(VAR_str(s, 1011, nullptr), "Temperature");
  EXPECT_STREQ(VAR_abbr(s, 1011), "TMPX");
  EXPECT_STREQ(VAR_abbr(s, 11), "TMP");
  EXPECT_STREQ(VAR_abbr(s, 12), "");
  EXPECT_STREQ(VAR_str(s, 12, "K"), "v12 (K)");
  const int old = PLT_set_label_type(-1);
  EXPECT_STREQ(VAR_str(s, 11, ""), "TMP");
  PLT_set_label_type(old);
}

TEST_F(VarSmallTable, LinesAreReadOneByOne) {
  // A two-field line enters its entry with an empty name and never swallows
  // the next line; comments and blank lines enter nothing.
  load("# comment\n\n5 ONLY\n6,60,600 SIX Six name   \r\n7 SEVEN Seven  # units\n");
  char s[VAR_LABEL_LEN];
  EXPECT_STREQ(VAR_str(s, 5, nullptr), "");
  EXPECT_STREQ(VAR_abbr(s, 5), "ONLY");
  EXPECT_STREQ(VAR_str(s, 6, nullptr), "Six name");
  EXPECT_STREQ(VAR_str(s, 7, nullptr), "Seven");
  EXPECT_EQ(VAR_search_var_num("six"), 6);
}

TEST_F(VarSmallTable, LongFieldsAreCut) {
  const std::string abbr(40, 'A'), name(300, 'n'), units(200, 'u');
  load("8 " + abbr + " " + name + "\n" + std::string(5000, '9') + " X Y\n");
  char s[VAR_LABEL_LEN];
  EXPECT_EQ(std::string(VAR_abbr(s, 8)), std::string(VAR_ABBR_LEN - 1, 'A'));
  EXPECT_EQ(std::string(VAR_str(s, 8, nullptr)), std::string(VAR_NAME_LEN - 1, 'n'));
  VAR_make_datatype(4006012, 1, 0, 8, units.c_str(), s);
  EXPECT_LT(std::string(s).size(), static_cast<size_t>(VAR_LABEL_LEN));
}

TEST_F(VarSmallTable, HoldsAtMostTheTableSize) {
  std::string text;
  for (int i = 0; i < VAR_MAX_ENTRIES + 20; ++i)
    text += std::to_string(i) + " A" + std::to_string(i) + " Name " + std::to_string(i) + "\n";
  load(text);
  char s[VAR_LABEL_LEN];
  EXPECT_STREQ(VAR_str(s, VAR_MAX_ENTRIES - 1, nullptr), "Name 748");
  EXPECT_STREQ(VAR_abbr(s, VAR_MAX_ENTRIES), "");
}

TEST(VarTableMissing, NamesFallBackToNumbersWithOneWarning) {
  kavtest::TempDir dir;
  RES_put("file_path", dir.path().c_str());
  // No table from an earlier test: an empty one is loaded, then taken away.
  const std::string empty = dir.write("variable.lup", "");
  ASSERT_EQ(VAR_read_varfile(), 1);
  std::remove(empty.c_str());
  char s[VAR_LABEL_LEN];
  const kavtest::Captured c = kavtest::capture([&] {
    EXPECT_EQ(VAR_read_varfile(), 0);
    VAR_str(s, 11, nullptr);
  });
  EXPECT_STREQ(s, "v11");
  EXPECT_NE(c.err.find("VAR_read_varfile: Unable to open file:"), std::string::npos);
  RES_put("file_path", KAV_SOURCE_DATA);
  VAR_read_varfile();
}

TEST(VarLevel, UnknownLevelTypeWarns) {
  char s[VAR_LABEL_LEN];
  const kavtest::Captured c = kavtest::capture([&] { VAR_make_datalevel(0, 150, 3, s); });
  EXPECT_STREQ(s, "");
  EXPECT_NE(c.err.find("VAR_make_datatype: no ltype: 150"), std::string::npos);
  EXPECT_EQ(VAR_make_datalevel(0, 1, 0, nullptr), -1);
}

}  // namespace

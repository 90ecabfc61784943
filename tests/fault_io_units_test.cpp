// Reads and opens that fail inside the unit and variable tables: the lookup
// or the load fails with a message, and a table read in part is never used.
#include <gtest/gtest.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/unittool.h>
#include <kav/var_tool.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>

#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

constexpr float kMissing = -9999.0f;

// Forgets the cached pair: a lookup of a pair no table holds replaces it.
void reset_unit_cache() {
  kavtest::TempDir dir;
  dir.write("units.lup", "# empty\n");
  RES_put("file_path", dir.path().c_str());
  kavtest::capture([] { UNIT_cvt(1.0f, "reset_a", "reset_b"); });
}

TEST(FailIOUnits, UnitTable) {
  MESS_set(0, M_WARN | M_ERROR);
  // The shipped table's first records: its temperatures, and its wind speeds
  // after them.
  kavtest::TempDir dir;
  std::ifstream in(std::string(KAV_SOURCE_DATA) + "/units.lup");
  std::string line, text;
  for (int i = 0; i < 22 && std::getline(in, line); ++i) text += line + "\n";
  ASSERT_NE(text.find("m/s"), std::string::npos);
  dir.write("units.lup", text);
  const auto convert = [&] {
    RES_put("file_path", dir.path().c_str());
    const float f = UNIT_cvt(100.0f, "C", "F");
    // A failed lookup gives the missing value, never a value left unconverted.
    EXPECT_TRUE(f == kMissing || std::fabs(f - 212.0f) < 1e-3f) << f;
    return std::fabs(f - 212.0f) < 1e-3f;
  };
  reset_unit_cache();
  ASSERT_TRUE(convert());
  reset_unit_cache();
  // The table is read to its end, so a failure anywhere in it is met.
  const int struck = kavtest::io_sweep("UNIT_cvt", convert, reset_unit_cache);
  EXPECT_GT(struck, 600);
  kavtest::open_sweep("UNIT_cvt", convert, reset_unit_cache);
  RES_put("file_path", "");
}

TEST(FailIOUnits, VariableTableKeepsTheTableLoadedBefore) {
  MESS_set(0, M_WARN | M_ERROR);
  RES_put("file_path", KAV_SOURCE_DATA);
  ASSERT_EQ(VAR_read_varfile(), 1);
  // The first entry of the table and its last.
  const int first = VAR_search_var_num("PRES");
  const int last = VAR_search_var_num("MISS");
  ASSERT_EQ(first, 1);
  ASSERT_EQ(last, 255);
  const int struck = kavtest::io_sweep("VAR_read_varfile", [&] {
    const int r = VAR_read_varfile();
    // Whether the load failed or not, the whole table answers.
    EXPECT_EQ(VAR_search_var_num("PRES"), first);
    EXPECT_EQ(VAR_search_var_num("MISS"), last);
    return r == 1;
  });
  EXPECT_GT(struck, 5000);
  kavtest::open_sweep("VAR_read_varfile", [] { return VAR_read_varfile() == 1; });
  RES_put("file_path", "");
}

}  // namespace

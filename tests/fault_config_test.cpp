// Memory that runs out inside the naming conventions and the resource store:
// each attempt ends with the function's failure result and a message, or
// succeeds with the right answer.
#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/def_read.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <cstring>
#include <string>

#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

TEST(FailAllocConfig, NameTemplates) {
  MESS_set(0, M_WARN | M_ERROR);
  const Date d = {2024, 3, 5, 65, 2, 12, 30, 0};
  char out[FILE_NAME_LEN];
  // A type that no convention names becomes the template itself.
  ASSERT_GE(FILE_set_name("%y%m%d%h.sfc"), 0);
  ASSERT_EQ(FILE_set_date(&d, out), 0);
  const std::string want = out;
  kavtest::alloc_sweep("FILE_set_name", [] { return FILE_set_name("%y%m%d%h.sfc") >= 0; });
  ASSERT_GE(FILE_set_name("%y%m%d%h.sfc"), 0);
  kavtest::alloc_sweep("FILE_set_date", [&] {
    out[0] = 'x';
    const int r = FILE_set_date(&d, out);
    if (r < 0) {
      EXPECT_STREQ(out, "");  // a failure leaves no stale name
    }
    return r == 0 && want == out;
  });
}

TEST(FailAllocConfig, ResourceStore) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::alloc_sweep("RES_new", [] {
    return RES_new(KAV_IMISSING, "sweep_new_resource", "value", CV_string) == 0 &&
           std::strcmp(RES_get("sweep_new_resource"), "value") == 0;
  });
  RES_put("sweep_appended", "first");
  kavtest::alloc_sweep("RES_append", [] {
    return RES_append(KAV_IMISSING, "sweep_appended_new", "more", CV_strings) == 0 &&
           std::strcmp(RES_get("sweep_appended_new"), "more") == 0;
  });
  // A list that cannot be split for want of memory is said to be, never
  // taken for an empty one.
  RES_put("sweep_list", "first,second,third");
  kavtest::alloc_sweep("RES_getvals", [] {
    int n = -1;
    char **v = nullptr;
    const int r = RES_getvals("sweep_list", &n, &v);
    const bool ok = r == 3 && n == 3 && std::strcmp(v[2], "third") == 0;
    free_parsed_array(n, v);
    return ok;
  });
}

// The convention file is closed however its reading ends (the sweep counts
// the open files), and a convention is taken whole or not at all: a name
// made after a failed look-up is the one of the convention before it.
TEST(FailAllocConfig, ConventionFile) {
  MESS_set(0, M_WARN | M_ERROR);
  RES_put("file_path", KAV_SOURCE_DATA);
  const Date d = {2024, 3, 5, 65, 2, 12, 30, 0};
  char out[FILE_NAME_LEN];
  auto name_for = [&](const char *type) {
    if (FILE_set_name(type) != 1 || FILE_set_date(&d, out) != 0) return std::string();
    return std::string(out);
  };
  const std::string metar = name_for("metar"), sfc = name_for("sfc");
  ASSERT_FALSE(metar.empty());
  ASSERT_FALSE(sfc.empty());
  ASSERT_NE(metar, sfc);
  ASSERT_EQ(name_for("metar"), metar);
  bool ok = false;
  kavtest::alloc_sweep(
      "FILE_set_name",
      [&] {
        ok = FILE_set_name("sfc") == 1;
        return ok;
      },
      [&] {
        EXPECT_EQ(FILE_set_date(&d, out), 0);
        EXPECT_EQ(std::string(out), ok ? sfc : metar);
        ASSERT_EQ(name_for("metar"), metar);
      });
  RES_put("file_path", "");
}

// Stepping through the names of the filename resource: the names are taken
// whole or not at all (the leak checkers see what a failure leaves).
TEST(FailAllocConfig, SteppingThroughNames) {
  MESS_set(0, M_WARN | M_ERROR);
  const Date d = {2024, 3, 5, 65, 2, 12, 30, 0};
  RES_put("filename", "first_name_long_enough_for_the_heap,second_name_long_enough_too");
  kavtest::alloc_sweep("FILE_first", [&] { return FILE_first(&d) == 0; });
  RES_put("filename", "");
}

// A definition file is left closed by a reading that memory cuts short.
TEST(FailAllocConfig, DefinitionFile) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  const std::string name = dir.write("kav.cfg",
                                     "# defaults of the sweep\n"
                                     "first_resource: a_value_long_enough_to_need_the_heap\n"
                                     "IF nosuchtag\nskipped: 1\nEND\n"
                                     "second_resource: \"quoted value\"\n");
  kavtest::alloc_sweep(
      "DEF_open and DEF_getn",
      [&] {
        if (DEF_open(dir.path().c_str()) != 0) return false;
        char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
        int n = 0, got;
        while ((got = DEF_getn(key, sizeof key, value, sizeof value)) == 1) ++n;
        // A file cut short by memory running out does not end as the file
        // does, or its caller would take the entries read for all of them.
        if (got == -1) {
          EXPECT_EQ(n, 2) << "the end reported before the last entry";
        }
        return n == 2 && got == -1;
      },
      [] { DEF_close(); });
}

}  // namespace

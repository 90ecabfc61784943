// Memory that runs out inside the region decoder and the station readers:
// each attempt ends with the function's failure result and a message, or
// succeeds; no exception escapes the C interface.
#include <gtest/gtest.h>
#include <kav/cty_read.h>
#include <kav/cty_tool.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>
#include <kav/table.h>

#include <cstdio>
#include <string>

#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

const std::string kCty = KAV_TEST_DATA "/cty";

TEST(FailAllocGeo, RegionTexts) {
  MESS_set(0, M_WARN | M_ERROR);
  for (const char *text : {"40,-100,25,17,0.1,0.1", "us", "ps:60:-105,40,-100,25,17,1.2,1.2"}) {
    Domain d;
    ASSERT_GT(DOM_decode(text, &d), 0) << text;
    kavtest::alloc_sweep(text, [&] { return DOM_decode(text, &d) > 0; });
    kavtest::alloc_sweep("DOM_print", [&] { return DOM_print(M_PRINT, &d) == 0; });
  }
}

TEST(FailAllocGeo, StationFiles) {
  MESS_set(0, M_WARN | M_ERROR);
  RES_put("file_path", KAV_SOURCE_DATA);
  RES_put("identifier", "all");
  CTY_clear();
  for (const char *file : {"store.cty", "corner.cty", "edge.cty"}) {
    const std::string name = kCty + "/" + file;
    RES_put("city_file", name.c_str());
    // Read through the file record by record.
    kavtest::alloc_sweep(file, [&] {
      const int fd = CTY_open(name.c_str(), 0, 0);
      if (fd < 0) return false;
      CTY_data d;
      int n = 0;
      while (CTY_read(fd, &d) > 0) ++n;
      return CTY_close(fd) == 0 && n > 0;
    });
    // Load it into the station table, then search it.
    for (int type : {1, 2, 3}) {
      int fd = 0;
      kavtest::alloc_sweep(
          file,
          [&] {
            fd = CTY_store(nullptr, type, nullptr, 9);
            CTY_data d;
            return fd > 0 && CTY_get_table()->num_entry > 0 && CTY_search("none-such", &d) == 0;
          },
          [&] {
            if (fd > 0) CTY_close(fd);
            CTY_clear();
          });
    }
  }
  RES_put("city_file", "");
  RES_put("identifier", "");
  RES_put("file_path", "");
}

// Fills a station's caller data: its identifier.
void enter_id(const CTY_data *d, void *buf) {
  std::snprintf(static_cast<char *>(buf), 16, "%s", d->id);
}

// A load that memory cuts short leaves no table at all, never part of one
// taken for the whole: no station, no caller data, the database closed
// (the sweep counts the open files); a load that completes holds every
// station.
TEST(FailAllocGeo, StationTableWholeOrNone) {
  MESS_set(0, M_WARN | M_ERROR);
  RES_put("file_path", KAV_SOURCE_DATA);
  const std::string name = kCty + "/store.cty";
  CTY_data_size(16);
  CTY_enter_func(enter_id);
  // With every station, and with criteria that pick some by state.
  for (const char *criteria : {"all", "ST=WI,FXD"}) {
    RES_put("identifier", criteria);
    for (int type : {1, 2, 3}) {
      SCOPED_TRACE(std::string(criteria) + " type " + std::to_string(type));
      const int fd = CTY_store(name.c_str(), type, nullptr, 9);
      ASSERT_GT(fd, 0);
      const int whole = CTY_get_table()->num_entry;
      ASSERT_GT(whole, 1);
      CTY_close(fd);
      int got = 0;
      kavtest::alloc_sweep(
          "CTY_store",
          [&] {
            got = CTY_store(name.c_str(), type, nullptr, 9);
            return got > 0;
          },
          [&] {
            const TAB_table *t = CTY_get_table();
            if (got > 0) {
              EXPECT_EQ(t->num_entry, whole);
              CTY_close(got);
            } else {
              EXPECT_EQ(t->num_entry, 0);
              EXPECT_EQ(t->head_ptr, nullptr);
              EXPECT_EQ(CTY_next_data(0), nullptr);
              CTY_data d;
              EXPECT_EQ(CTY_search("FXA", &d), 0);
            }
            CTY_clear();
          });
    }
  }
  // A table loaded before the failing call is cleared, not kept half-way.
  const int fd = CTY_store(name.c_str(), 1, nullptr, 9);
  ASSERT_GT(fd, 0);
  CTY_close(fd);
  int got = 0;
  const kavtest::Captured cap = kavtest::capture([&] {
    kavtest::FailAlloc fail(1);
    got = CTY_store(name.c_str(), 1, nullptr, 9);
  });
  EXPECT_EQ(got, 0);
  EXPECT_NE(cap.err.find("Out of memory"), std::string::npos) << cap.err;
  EXPECT_EQ(CTY_get_table()->num_entry, 0);
  CTY_clear();
  CTY_data_size(0);
  CTY_enter_func(nullptr);
  RES_put("identifier", "");
  RES_put("file_path", "");
}

// The region menu is replaced whole or kept whole: a load that memory cuts
// short leaves the menu read before, every name and abbreviation intact.
TEST(FailAllocGeo, RegionMenuWholeOrAsBefore) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  // Long descriptions, so that each copy needs memory of its own.
  dir.write("before.reg",
            "one   Region_one_described_at_length 1 40,-100,25,17,1,1\n"
            "two   Region_two_described_at_length 1 42,-90,25,17,1,1\n");
  dir.write("after.reg",
            "aaa   Another_first_long_description 1 30,-100,25,17,1,1\n"
            "bbb   Another_second_long_description 1 35,-95,25,17,1,1\n"
            "ccc   Another_third_long_description 1 45,-85,25,17,1,1\n");
  const std::string before = dir.file("before.reg"), after = dir.file("after.reg");
  auto menu = [] {
    std::string m;
    for (int i = 0; DOM_get_region_abbr(i); ++i)
      m += std::string(DOM_get_region_abbr(i)) + "=" + DOM_get_region_name(i) + ";";
    return m;
  };
  ASSERT_EQ(DOM_read_menu(after.c_str()), 1);
  const std::string new_menu = menu();
  ASSERT_EQ(DOM_read_menu(before.c_str()), 1);
  const std::string old_menu = menu();
  ASSERT_NE(old_menu, new_menu);
  bool ok = false;
  kavtest::alloc_sweep(
      "DOM_read_menu",
      [&] {
        ok = DOM_read_menu(after.c_str()) == 1;
        return ok;
      },
      [&] {
        EXPECT_EQ(menu(), ok ? new_menu : old_menu);
        DOM_read_menu(before.c_str());
      });
}

}  // namespace

// Reads and opens that fail inside the station files and the region files:
// each reader ends with its failure result and a message; a station table or
// a region menu read in part is never kept.
#include <gtest/gtest.h>
#include <kav/cty_read.h>
#include <kav/cty_tool.h>
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>

#include <string>
#include <vector>

#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

const std::string kStore = KAV_TEST_DATA "/cty/store.cty";
const std::string kRegions = KAV_TEST_DATA "/regions";

class FailIOGeo : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(0, M_WARN | M_ERROR);
    RES_put("city_file", "");
    RES_put("file_path", KAV_SOURCE_DATA);
    RES_put("identifier", "all");
    RES_put("stat_prior", "");
    CTY_clear();
  }
  void TearDown() override {
    CTY_clear();
    RES_put("city_file", "");
    RES_put("file_path", "");
    RES_put("identifier", "");
    MAP_domain(nullptr);
  }
};

// The identifiers of every station of the file, in order; -1 (or -2) last.
std::vector<std::string> read_stations(const std::string &name, int *last) {
  std::vector<std::string> ids;
  *last = -9;
  const int fd = CTY_open(name.c_str(), 0, 0);
  if (fd < 0) return ids;
  CTY_data d;
  while ((*last = CTY_read(fd, &d)) > 0) ids.emplace_back(d.id);
  CTY_close(fd);
  return ids;
}

std::vector<std::string> table_ids() {
  std::vector<std::string> ids;
  for (TAB_entry *e = CTY_get_table()->head_ptr; e; e = e->next) ids.emplace_back(e->key);
  return ids;
}

TEST_F(FailIOGeo, StationFileReader) {
  int last = 0;
  const std::vector<std::string> all = read_stations(kStore, &last);
  ASSERT_EQ(last, -1);
  ASSERT_GE(all.size(), 5u);
  const int struck = kavtest::io_sweep("CTY_read", [&] {
    const std::vector<std::string> ids = read_stations(kStore, &last);
    // The stations before the failure are whole records, in order.
    EXPECT_LE(ids.size(), all.size());
    for (size_t i = 0; i < ids.size() && i < all.size(); ++i) EXPECT_EQ(ids[i], all[i]);
    if (last != -1) {
      EXPECT_EQ(last, -2);
    }
    return last == -1 && ids == all;
  });
  EXPECT_GT(struck, 500);
  kavtest::open_sweep("CTY_open", [&] { return !read_stations(kStore, &last).empty(); });
}

TEST_F(FailIOGeo, StationLookupAndTable) {
  // The last station of the file, so that every read comes before it.
  const auto lookup = [] {
    CTY_data d;
    return CTY_get(kStore.c_str(), "FXZ", &d) == 1;
  };
  RES_put("city_file", kStore.c_str());
  ASSERT_TRUE(lookup());
  kavtest::io_sweep("CTY_get", lookup);
  kavtest::open_sweep("CTY_get", lookup);

  const auto store = [] {
    const int fd = CTY_store(nullptr, 1, nullptr, 10);
    const std::vector<std::string> ids = table_ids();
    if (fd <= 0) {
      EXPECT_TRUE(ids.empty()) << "a table read in part was kept";
    }
    return fd > 0 && !ids.empty();
  };
  ASSERT_TRUE(store());
  const std::vector<std::string> full = table_ids();
  CTY_clear();
  const int struck = kavtest::io_sweep(
      "CTY_store", [&] { return store() && table_ids() == full; }, [] { CTY_clear(); });
  EXPECT_GT(struck, 500);
  kavtest::open_sweep("CTY_store", store, [] { CTY_clear(); });
}

TEST_F(FailIOGeo, RegionFiles) {
  RES_put("file_path", kRegions.c_str());
  char text[DOM_TEXT_LEN + 1];
  // The last entry of the file.
  const auto search = [&] { return DOM_search_file("other.reg", "back2", text) == 1; };
  ASSERT_TRUE(search());
  const int struck = kavtest::io_sweep("DOM_search_file", search);
  EXPECT_GT(struck, 150);

  // A menu read in part leaves the menu loaded before.
  kavtest::capture([] { ASSERT_EQ(DOM_read_menu("kav.reg"), 1); });
  const std::string before = DOM_get_region_abbr(1);
  const auto menu = [&] {
    const int r = DOM_read_menu("other.reg");
    if (r != 1) {
      EXPECT_EQ(DOM_get_region_abbr(1), before);
    }
    return r == 1;
  };
  kavtest::io_sweep("DOM_read_menu", menu,
                    [] { kavtest::capture([] { DOM_read_menu("kav.reg"); }); });

  const std::string listing = kavtest::capture([] { DOM_print_file("other.reg"); }).out;
  ASSERT_NE(listing.find("back2"), std::string::npos);
  kavtest::io_sweep("DOM_print_file", [] { return DOM_print_file("other.reg") == 0; });
}

}  // namespace

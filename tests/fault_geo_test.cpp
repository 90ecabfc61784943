// Memory that runs out inside the region decoder and the station readers:
// each attempt ends with the function's failure result and a message, or
// succeeds; no exception escapes the C interface.
#include <gtest/gtest.h>
#include <kav/cty_read.h>
#include <kav/cty_tool.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>

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
      kavtest::alloc_sweep(
          file,
          [&] {
            const int fd = CTY_store(nullptr, type, nullptr, 9);
            CTY_data d;
            return fd > 0 && CTY_get_table()->num_entry > 0 && CTY_search("none-such", &d) == 0;
          },
          [] { CTY_clear(); });
    }
  }
  RES_put("city_file", "");
  RES_put("identifier", "");
  RES_put("file_path", "");
}

}  // namespace

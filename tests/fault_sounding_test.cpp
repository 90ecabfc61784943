// Memory that runs out inside the sounding reader and its analysis: each
// attempt ends with the function's failure result and a message, or
// succeeds; no exception escapes the C interface.
#include <gtest/gtest.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/thm_tool.h>
#include <kav/ua_read.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

const std::string kAscent = KAV_TEST_DATA "/ua_oax_2014061619.txt";
const std::string kRaw = KAV_TEST_DATA "/ua_bna_2014072800.raw";

TEST(FailAllocSounding, ReadAndAnalyse) {
  MESS_set(0, M_WARN | M_ERROR);
  MESS_set_page(0);
  RES_put("plot_param", "");
  std::vector<UPA_level> sm(THERM_MAX_LEVELS), wm;
  char id[20];
  Date date;
  // A read that memory cuts short closes the file (the sweep counts the
  // open files) and leaves no station or time read before the failure.
  kavtest::alloc_sweep("UPA_read_text", [&] {
    std::snprintf(id, sizeof id, "stale");
    date.year = 1999;
    const int r = UPA_read_text(kAscent.c_str(), sm.data(), THERM_MAX_LEVELS, id, sizeof id, &date);
    if (r < 0) {
      EXPECT_STREQ(id, "");
      EXPECT_EQ(date.year, KAV_IMISSING);
    }
    return r > 0;
  });
  const int n = UPA_read_text(kAscent.c_str(), sm.data(), THERM_MAX_LEVELS, id, sizeof id, &date);
  ASSERT_GT(n, 0);
  sm.resize(static_cast<size_t>(n));
  for (const UPA_level &l : sm)
    if (l.dir != KAV_MISSING && l.spd != KAV_MISSING) wm.push_back(l);
  float sfc = KAV_MISSING;
  for (const UPA_level &l : sm)
    if (l.t != KAV_MISSING) {
      sfc = l.p;
      break;
    }
  THERM_set_parcel(2, 100, nullptr);
  kavtest::alloc_sweep("THERM_set_data and THERM_calc", [&] {
    return THERM_set_data(sfc, sm.data(), static_cast<int>(sm.size()), wm.data(),
                          static_cast<int>(wm.size())) == 0 &&
           THERM_calc() == 0;
  });
  for (auto report :
       {THERM_indices, THERM_wind, THERM_storm_table, THERM_sig_table, THERM_wind_table})
    kavtest::alloc_sweep("THERM report", [&] { return report() == 0; });
}

// A sounding file opened while memory runs out is closed again and its
// descriptor left free: after every failed attempt all four can still be
// opened at once.
TEST(FailAllocSounding, RawOpenTakesNoSlotOnFailure) {
  MESS_set(0, M_WARN | M_ERROR);
  int fd = -1;
  kavtest::alloc_sweep(
      "UPA_raw_open",
      [&] {
        fd = UPA_raw_open(kRaw.c_str());
        return fd >= 0 && std::string(UPA_raw_info(fd)) == "BNA Sounding";
      },
      [&] {
        if (fd >= 0) {
          UPA_raw_close(fd);
        } else {
          for (int k = 0; k < 4; ++k) EXPECT_STREQ(UPA_raw_info(k), "") << "descriptor " << k;
        }
        int all[4];
        for (int &f : all) f = UPA_raw_open(kRaw.c_str());
        for (int k = 0; k < 4; ++k) {
          EXPECT_EQ(all[k], k);
          UPA_raw_close(all[k]);
        }
      });
}

}  // namespace

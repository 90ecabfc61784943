// Memory that runs out inside the naming conventions and the resource store:
// each attempt ends with the function's failure result and a message, or
// succeeds with the right answer.
#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>

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
}

}  // namespace

// Memory that runs out inside the variable table and its labels: each attempt
// ends with the function's failure result and a message, or succeeds.
#include <gtest/gtest.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/var_tool.h>

#include <string>

#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

TEST(FailAllocUnits, VariableTable) {
  MESS_set(0, M_WARN | M_ERROR);
  RES_put("file_path", KAV_SOURCE_DATA);
  ASSERT_EQ(VAR_read_varfile(), 1);
  kavtest::alloc_sweep("VAR_read_varfile", [] { return VAR_read_varfile() == 1; });
  char str[VAR_LABEL_LEN];
  kavtest::alloc_sweep("VAR_str", [&] {
    const char *r = VAR_str(str, 11, "a rather long unit name");
    return r != nullptr && str[0] != '\0';
  });
  kavtest::alloc_sweep("VAR_make_datatype", [&] {
    return VAR_make_datatype(4006012, 100, 500, 11, "K", str) == 0 && str[0] != '\0';
  });
  // A failed label is empty, never stale text.
  std::string err;
  str[0] = 'x';
  err = kavtest::capture([&] {
          kavtest::FailAlloc fail(1);
          VAR_make_datatype(4006012, 100, 500, 11, "K", str);
        }).err;
  EXPECT_STREQ(str, "");
  EXPECT_EQ(err, "VAR_make_datatype: Out of memory\n");
  RES_put("file_path", "");
}

}  // namespace

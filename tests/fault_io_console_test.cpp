// Reads and opens that fail in the console layer: the file kind and the
// process's memory size come from files read through the library's seam, and
// a failure gives the documented "unknown" answer with a message.
#include <gtest/gtest.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/system.h>

#include <string>

#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

TEST(FailIOConsole, FileKind) {
  MESS_set(0, M_WARN | M_ERROR);
  kavtest::TempDir dir;
  const std::string name = dir.write("snd", "KAVUPA and the rest of the file\n");
  ASSERT_EQ(FILE_type(name.c_str()), FILE_KIND_UPA);
  // A lead cut short by a failure could read as another kind: it is none.
  const auto kind = [&] { return FILE_type(name.c_str()) == FILE_KIND_UPA; };
  EXPECT_GE(kavtest::io_sweep("FILE_type", kind), 1);
  kavtest::open_sweep("FILE_type", kind);
}

TEST(FailIOConsole, VirtualMemorySize) {
  MESS_set(0, M_WARN | M_ERROR);
  ASSERT_GT(KAV_get_virt_mem(), 0);
  const auto size = [] { return KAV_get_virt_mem() > 0; };
  EXPECT_GE(kavtest::io_sweep("KAV_get_virt_mem", size), 1);
}

}  // namespace

// Failure injection: files that cannot be opened and memory that runs out
// inside the console, the file layer and the readers give each function's
// failure result and message, never an exception or a crash.
#include "support/fault.h"

#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/def_read.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/unittool.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "support/kavtest.h"

namespace {

TEST(FailOpen, ReadersReportTheFileTheyCouldNotOpen) {
  kavtest::TempDir dir;
  const std::string def = dir.write("kav.cfg", "*.value: 1\n");
  {
    kavtest::FailOpen fail(1, EACCES);
    EXPECT_EQ(DEF_open(def.c_str()), -1);
    EXPECT_EQ(fail.calls(), 1);
  }
  EXPECT_EQ(DEF_open(def.c_str()), 0);  // disarmed: opens again
  DEF_close();
  {
    kavtest::FailOpen fail(1);
    errno = 0;
    EXPECT_EQ(FILE_open(def.c_str(), "r"), nullptr);
    EXPECT_EQ(errno, ENOENT);
  }
  {
    // The log file of a message specification: a warning, and the console
    // keeps the messages.
    const std::string spec = "warn,fi=" + dir.file("log.txt");
    kavtest::FailOpen fail(1);
    auto cap = kavtest::capture([&] {
      MESS_set_str(spec.c_str());
      MESS_print(M_PRINT, "still here\n");
    });
    EXPECT_EQ(cap.err, "MESS_set_str: Unable to open log file: " + dir.file("log.txt") + "\n");
    EXPECT_EQ(cap.out, "still here\n");
  }
  MESS_set_str("out2");
}

// Each allocation in turn fails: the function returns its failure result (or
// succeeds when it needed no more memory), and no exception escapes.
template <class Call>
void sweep(const char *what, Call call) {
  SCOPED_TRACE(what);
  for (int nth = 1; nth < 200; ++nth) {
    bool struck = false;
    kavtest::capture([&] {
      kavtest::FailAlloc fail(nth);
      call();
      struck = fail.struck();
    });
    if (!struck) return;  // the call got through without the nth allocation
  }
}

TEST(FailAlloc, ConsoleAndFileLayerTurnItIntoFailure) {
  kavtest::TempDir dir;
  const std::string name = dir.file("a/b/c.txt");
  const std::string long_text(2000, 'x');
  // Names made before any failure is armed: the test's own strings allocate.
  const std::string xyz = dir.file("x/y/z");
  const std::string spec = "out2,dfi=" + dir.file("d.log");
  const std::string copy = dir.file("copy.txt");
  sweep("FILE_open", [&] {
    FILE *fp = FILE_open(name.c_str(), "w");
    if (fp) FILE_close(fp);
  });
  sweep("FILE_open ~", [&] {
    FILE *fp = FILE_open("~/kav-fault-test-missing", "r");
    if (fp) FILE_close(fp);
  });
  sweep("FILE_make_dir", [&] { FILE_make_dir(xyz.c_str(), 0); });
  sweep("FILE_exist", [&] { FILE_exist(name.c_str()); });
  sweep("FILE_set_filename", [&] { FILE_set_filename(long_text.c_str()); });
  sweep("FILE_set_key", [&] { FILE_set_key('a', long_text.c_str()); });
  sweep("FILE_type", [&] { FILE_type(name.c_str()); });
  char out[FILE_NAME_LEN];
  sweep("FILE_add_path", [&] { FILE_add_path(long_text.c_str(), "f", out); });
  // A name that could not be made is empty, never what the buffer held: the
  // caller goes on to open it.
  const std::string tilde = "~/" + long_text;
  const std::function<char *(char *)> makers[] = {
      [&](char *o) { return FILE_add_path(long_text.c_str(), "f", o); },
      [&](char *o) { return FILE_add_user_path(tilde.c_str(), o); }};
  for (const auto &make : makers) {
    std::strcpy(out, "stale");
    const kavtest::Captured cap = kavtest::capture([&] {
      char *got = nullptr;
      {
        kavtest::FailAlloc fail(1, true);
        got = make(out);
      }
      EXPECT_EQ(got, nullptr);
    });
    EXPECT_STREQ(out, "");
    EXPECT_NE(cap.err.find("Out of memory"), std::string::npos);
  }
  sweep("MESS_print long", [&] { MESS_print(M_WARN, "%s\n", long_text.c_str()); });
  sweep("MESS_set_str", [&] {
    MESS_set_str(spec.c_str());
    MESS_print(M_PRINT, "x\n");
  });
  MESS_set_str("out2");
  MESS_set_out(1);  // the console again, not the deferred log
  sweep("MESS_file", [&] {
    MESS_file(copy.c_str(), "w");
    MESS_file_close();
  });
}

TEST(FailAlloc, ResultsAndMessages) {
  kavtest::TempDir dir;
  FILE *fp = reinterpret_cast<FILE *>(1);
  auto cap = kavtest::capture([&] {
    kavtest::FailAlloc fail(1);
    fp = FILE_open("~/kav-fault-test-missing", "r");
  });
  EXPECT_EQ(fp, nullptr);
  EXPECT_EQ(cap.err, "FILE_open: Out of memory\n");
  int res = 0;
  const std::string pq = dir.file("p/q");
  cap = kavtest::capture([&] {
    kavtest::FailAlloc fail(1);
    res = FILE_make_dir(pq.c_str(), 0);
  });
  EXPECT_EQ(res, -1);
  EXPECT_EQ(cap.err, "FILE_make_dir: Out of memory\n");
  // A short message needs no memory: it is printed even when none is left.
  cap = kavtest::capture([&] {
    kavtest::FailAlloc fail(1);
    MESS_print(M_WARN, "short %d\n", 7);
  });
  EXPECT_EQ(cap.err, "short 7\n");
}

// A log pipe whose reader has gone is closed with a warning; the program
// (here the test process, which SIGPIPE would end) goes on.
TEST(LogPipe, ClosedReaderClosesTheLog) {
  auto cap = kavtest::capture([] {
    MESS_set_str("warn,+fi=|exec 0<&-; sleep 1");
    usleep(300000);  // the reader closes its end
    for (int i = 0; i < 3; ++i) MESS_print(M_PRINT, "line %d\n", i);
  });
  EXPECT_EQ(cap.out, "line 0\nline 1\nline 2\n");
  EXPECT_EQ(cap.err, "MESS_print: Unable to write log file, closed: |exec 0<&-; sleep 1\n");
  MESS_set_str("out2");
}

// The unit table that cannot be opened: a warning naming it, and the
// conversion's failure result, the missing value.
TEST(FailOpen, UnitTableReportsItsName) {
  kavtest::TempDir dir;
  dir.write("units.lup", "F K 0.5555556 255.3722\n");
  RES_put("file_path", dir.path().c_str());
  float got = 0;
  auto cap = kavtest::capture([&] {
    kavtest::FailOpen fail(1, EACCES);
    got = UNIT_cvt(32.0f, "fault_a", "fault_b");
  });
  EXPECT_EQ(got, KAV_MISSING);
  EXPECT_NE(cap.err.find("UNIT_cvt: Unable to open units file: " + dir.file("units.lup")),
            std::string::npos)
      << cap.err;
  RES_put("file_path", nullptr);
}

// The definition-file reader under allocation failure: every call ends with
// its failure result or its usual one, never an exception.
TEST(FailAlloc, DefinitionReaderTurnsItIntoFailure) {
  kavtest::TempDir dir;
  const std::string name = dir.write("kav.cfg", "DEF tag\nIF tag\n*.value: \"1 2\"\nEND\n");
  sweep("DEF_open and DEF_getn", [&] {
    if (DEF_open(name.c_str()) != 0) return;
    char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
    while (DEF_getn(key, sizeof key, value, sizeof value) >= 0) {
    }
    DEF_close();
  });
  sweep("DEF_cmp", [&] { DEF_cmp("value", "*.value"); });
  DEF_clr_tag();
}

}  // namespace

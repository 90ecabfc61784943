// Console messages, the message specification, paging and prompts.
#include <gtest/gtest.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/system.h>

#include <string>

#include "support/kavtest.h"

namespace {

// Every test starts from the default level and routing.
class Mess : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(10, 0x000FFFFFu);
    MESS_set_out(1);
    MESS_set_page(1);
    MESS_set_str("line=0");
    MESS_set(10, 0x000FFFFFu);
    FLAG_set_batch(-9999);
  }
  void TearDown() override { SetUp(); }
};

struct LevelRow {
  const char *spec;
  M_type before;
  M_type after;
};

TEST_F(Mess, SpecificationLevels) {
  const LevelRow rows[] = {
      {"warn", 0x000FFFFF, 0xFF},         {"mess", 0x000FFFFF, 0xFFF},
      {"messb", 0x000FFFFF, 0x3FF},       {"+debug", 0x000FFFFF, 0xF00FFFFF},
      {"-out1", 0x000FFFFF, 0x000F0FFF},  {"none", 0x000FFFFF, 0},
      {"bogus", 0x000FFFFF, 0},           {"errorc", 0x000FFFFF, 0},
      {"+bogus", 0x000FFFFF, 0x000FFFFF}, {"print,+warn", 0x000FFFFF, 0xCF},
      {"DEBUG", 0, 0xFFFFFFFF},           {"out3a", 0, 0x1FFFFF},
      {"-mess,+out4", 0xFFF, 0x0F0000FF},
  };
  for (const LevelRow &r : rows) {
    MESS_set(10, r.before);
    MESS_set_str(r.spec);
    EXPECT_EQ(MESS_get(), r.after) << r.spec;
  }
}

TEST_F(Mess, DefaultLevelShowsUpToOut2) {
  auto c = kavtest::capture([] {
    EXPECT_EQ(MESS_print(0x80000000u, "debug\n"), 0);
    EXPECT_EQ(MESS_print(0x00F00000u, "out3\n"), 0);
    EXPECT_EQ(MESS_print(0xF000u, "out1\n"), 1);
    EXPECT_EQ(MESS_print(0xF0000u, "out2\n"), 1);
  });
  EXPECT_EQ(c.out, "out1\nout2\n");
}

TEST_F(Mess, Streams) {
  auto c = kavtest::capture([] {
    MESS_print(0x30, "e%d\n", 1);
    MESS_print(0x40, "w\n");
    MESS_print(0x8, "p\n");
    MESS_print(0xF00, "m\n");
  });
  EXPECT_EQ(c.err, "e1\nw\n");
  EXPECT_EQ(c.out, "p\nm\n");
}

TEST_F(Mess, SetOperationsAndExplicitCount) {
  int before = MESS_check_set();
  MESS_set(20, 0xF);  // a default: ignored once an explicit setting exists
  MESS_set(0, 0x800);
  EXPECT_EQ(MESS_get(), 0xFFFu);
  EXPECT_EQ(MESS_check_set(), before + 1);
  MESS_set(20, 0xF);
  EXPECT_EQ(MESS_get(), 0xFFFu);
  MESS_set(10, 0xF);
  EXPECT_EQ(MESS_get(), 0xFu);
  MESS_set(11, 0x30000);
  EXPECT_EQ(MESS_get(), 0x3000Fu);
  MESS_set(9, 0x3);
  EXPECT_EQ(MESS_get(), 0x3000Cu);
  MESS_set(7, 0);  // unknown operation: no change, but counted (7 > 4 is not)
  EXPECT_EQ(MESS_get(), 0x3000Cu);
  MESS_set(10, 0);
  EXPECT_EQ(MESS_get(), 0u);
  MESS_set(10, 0x80000000u);
  EXPECT_EQ(MESS_get(), 0xFFFFFFFFu);
  EXPECT_EQ(MESS_check(0x1), 1);
}

TEST_F(Mess, LinesPerPage) {
  MESS_set_str("line=30");
  EXPECT_EQ(MESS_get_max_lines(), 30);
  MESS_set_str("line=0");
  EXPECT_EQ(MESS_get_max_lines(), 22);
  MESS_set_str("line=-4");
  EXPECT_EQ(MESS_get_max_lines(), 22);
}

TEST_F(Mess, PagingHoldsAfterMaxLines) {
  MESS_set_str("page");
  std::string out;
  kavtest::with_stdin("\n\n", [&] {
    out = kavtest::capture([] {
            for (int i = 0; i < 23; ++i) MESS_print(0xF, "line %d\n", i);
            MESS_print(0xF, "after\n");
          }).out;
  });
  std::string expect;
  for (int i = 0; i < 23; ++i) expect += "line " + std::to_string(i) + "\n";
  expect += "Press return to continue\nafter\n";
  EXPECT_EQ(out, expect);
}

TEST_F(Mess, NoHoldInBatchOrWithPagingOff) {
  MESS_set_str("page");
  FLAG_set_batch(1);
  auto c = kavtest::capture([] {
    for (int i = 0; i < 30; ++i) MESS_print(0xF, "x\n");
  });
  EXPECT_EQ(c.out.find("Press return"), std::string::npos);
  FLAG_set_batch(-9999);
  MESS_set_str("nopage");
  c = kavtest::capture([] { MESS_hold(0xF, "hold\n"); });
  EXPECT_EQ(c.out, "");
}

TEST_F(Mess, HoldStream) {
  std::string out, err;
  kavtest::with_stdin("\n\n", [&] {
    auto c = kavtest::capture([] {
      MESS_hold(0x30, "only-error\n");
      MESS_hold(0xF0, "both\n");
    });
    out = c.out;
    err = c.err;
  });
  EXPECT_EQ(out, "only-error\n");
  EXPECT_EQ(err, "both\n");
}

TEST_F(Mess, LogFiles) {
  kavtest::TempDir dir;
  std::string only = dir.file("only.log");
  auto c = kavtest::capture([&] {
    MESS_set_str(("fi=" + only).c_str());
    EXPECT_EQ(MESS_print(0xF, "to file %d\n", 7), 0);
    MESS_set_out(1);
  });
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(kavtest::read_file(only), "to file 7\n");

  std::string stamped = dir.file("stamp.log");
  c = kavtest::capture([&] {
    MESS_set_str(("@fi=" + stamped).c_str());
    MESS_print(0xF, "hello\n");
    MESS_set_out(1);
  });
  EXPECT_EQ(c.out, "hello\n");
  std::string log = kavtest::read_file(stamped);
  // "24 MAR 05  12:30:00Z -- hello"
  ASSERT_EQ(log.size(), std::string("24 MAR 05  12:30:00Z -- hello\n").size()) << log;
  EXPECT_EQ(log.substr(20), " -- hello\n");
  EXPECT_EQ(log[19], 'Z');

  std::string trunc = dir.write("trunc.log", "old text\n");
  MESS_set_str(("-fi=" + trunc).c_str());
  kavtest::capture([] { MESS_print(0xF, "new\n"); });
  EXPECT_EQ(kavtest::read_file(trunc), "new\n");
  std::string app = dir.write("app.log", "old\n");
  MESS_set_str(("+fi=" + app).c_str());
  kavtest::capture([] { MESS_print(0xF, "more\n"); });
  EXPECT_EQ(kavtest::read_file(app), "old\nmore\n");

  std::string deferred = dir.file("deferred.log");
  MESS_set_str(("dfi=" + deferred).c_str());
  kavtest::capture([] { MESS_print(0xF, "a\n"); });
  dir.write("deferred.log", "replaced\n");  // reopened for each message
  kavtest::capture([] { MESS_print(0xF, "b\n"); });
  EXPECT_EQ(kavtest::read_file(deferred), "replaced\nb\n");
  MESS_set_out(1);
}

TEST_F(Mess, UnopenableLogKeepsTheConsole) {
  // A directory cannot be made below a plain file.
  kavtest::TempDir dir;
  const std::string blocked = dir.write("plain", "x") + "/x/y.log";
  auto c = kavtest::capture([&] {
    MESS_set_str(("fi=" + blocked).c_str());
    EXPECT_EQ(MESS_print(0xF, "still here\n"), 1);
  });
  EXPECT_EQ(c.out, "still here\n");
  EXPECT_NE(c.err.find("MESS_set_str: Unable to open log file: " + blocked), std::string::npos);
}

TEST_F(Mess, LogInANewDirectoryAndThroughAPipe) {
  kavtest::TempDir dir;
  const std::string nested = dir.file("logs/today/run.log");
  MESS_set_str(("+fi=" + nested).c_str());
  kavtest::capture([] { MESS_print(0xF, "nested\n"); });
  const std::string piped = dir.file("piped.txt");
  MESS_set_str(("+fi=|cat > " + piped).c_str());
  kavtest::capture([] { MESS_print(0xF, "through a pipe\n"); });
  MESS_set_str(("+fi=" + dir.file("other.log")).c_str());  // closes the pipe
  EXPECT_EQ(kavtest::read_file(nested), "nested\n");
  EXPECT_EQ(kavtest::read_file(piped), "through a pipe\n");
  MESS_set_out(1);
}

TEST_F(Mess, CopyFile) {
  kavtest::TempDir dir;
  std::string copy = dir.file("copy.txt");
  MESS_file(copy.c_str(), "w");
  auto c = kavtest::capture([] {
    MESS_print(0xF, "shown\n");
    MESS_print(0x80000000u, "hidden\n");
  });
  MESS_file_close();
  EXPECT_EQ(c.out, "shown\n");
  EXPECT_EQ(kavtest::read_file(copy), "shown\n");
}

TEST_F(Mess, Banner) {
  auto c = kavtest::capture([] { MESS_print_prog("TITLE"); });
  EXPECT_EQ(c.out, "      TITLE (Ver 5.60.4-LINUX-X11)\n\n");
  EXPECT_STREQ(KAV_version(), "5.60.4-LINUX-X11");
}

TEST_F(Mess, PromptsScanTheirAnswers) {
  float f = 0;
  int d = 0;
  char word[20] = "unchanged";
  char small[10] = "unchanged";
  auto c = kavtest::capture([&] {
    kavtest::with_stdin("x\n 2.5 \n7\nverylongwordthatexceedsnineteen rest\n123456789012\n", [&] {
      f = KAV_promptf("f? ");
      d = KAV_promptd("d? ");
      KAV_promptl("l? ", word);
      KAV_prompts("s? ", small, 5);
    });
  });
  EXPECT_FLOAT_EQ(f, 2.5f);
  EXPECT_EQ(d, 7);
  EXPECT_STREQ(word, "verylongwordthatexc");
  EXPECT_STREQ(small, "1234");
  EXPECT_EQ(c.out, "f? f? d? l? s? ");
}

TEST_F(Mess, PromptsAtEndOfInput) {
  char word[20] = "unchanged";
  kavtest::capture([&] {
    kavtest::with_stdin("", [&] {
      EXPECT_EQ(KAV_promptf("f? "), 0.0f);
      EXPECT_EQ(KAV_promptd("d? "), 0);
      EXPECT_EQ(KAV_promptl("l? ", word), word);
      char *fresh = KAV_prompts("s? ", nullptr, 8);
      ASSERT_NE(fresh, nullptr);
      EXPECT_STREQ(fresh, "");
      std::free(fresh);
    });
  });
  EXPECT_STREQ(word, "unchanged");
}

}  // namespace

// Reads that fail part-way through the line and value readers of the tools
// module: the failure ends the reading like the end of the file does, ferror
// tells the two apart, and nothing cut short by it is handed out as a line or
// a value.
#include <gtest/gtest.h>
#include <kav/files.h>
#include <kav/tools.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/fault.h"
#include "support/kavtest.h"

namespace {

// The lines of text, as the readers return them.
const std::vector<std::string> kLines = {"first line", "", "a longer third line", "4"};
const char *const kText = "first line\n\na longer third line\n4\n";

// Reads name with FILE_open and reader (one call per line; its result
// below 0 ends) under a read failing at nth; the lines read and whether the
// stream ended on an error.
struct Outcome {
  std::vector<std::string> lines;
  bool error = false;
  bool struck = false;
};

Outcome read_lines(const std::string &name, int nth,
                   const std::function<int(FILE *, char *)> &reader) {
  Outcome out;
  kavtest::FailIO fail(nth);
  FILE *fp = FILE_open(name.c_str(), "r");
  if (!fp) return out;
  char buf[200];
  while (reader(fp, buf) >= 0) out.lines.emplace_back(buf);
  out.error = std::ferror(fp) != 0;
  out.struck = fail.struck();
  FILE_close(fp);
  return out;
}

TEST(FailIOBase, LineReadersNeverReturnACutLine) {
  kavtest::TempDir dir;
  dir.write("lines.txt", kText);
  const std::string name = dir.file("lines.txt");
  const std::vector<std::pair<const char *, std::function<int(FILE *, char *)>>> readers = {
      {"fgetline", [](FILE *fp, char *b) { return fgetline(fp, b); }},
      {"fgetnline", [](FILE *fp, char *b) { return fgetnline(fp, b, 100); }},
      {"fgetstring", [](FILE *fp, char *b) { return fgetstring(fp, b, 100); }},
      {"fget_rawstring", [](FILE *fp, char *b) { return fget_rawstring(fp, b, 100); }},
  };
  for (const auto &[what, reader] : readers) {
    SCOPED_TRACE(what);
    int struck = 0;
    for (int nth = 1;; ++nth) {
      const Outcome o = read_lines(name, nth, reader);
      if (!o.struck) {
        EXPECT_FALSE(o.error);
        EXPECT_EQ(o.lines, kLines);
        break;
      }
      ++struck;
      EXPECT_TRUE(o.error) << "read " << nth;
      // Every line handed out is a whole line of the file, in order.
      ASSERT_LE(o.lines.size(), kLines.size());
      for (size_t i = 0; i < o.lines.size(); ++i) EXPECT_EQ(o.lines[i], kLines[i]) << nth;
    }
    EXPECT_GT(struck, static_cast<int>(std::strlen(kText)) - 1);
  }
}

TEST(FailIOBase, SkipLineAndSwappedValuesReportTheFailure) {
  kavtest::TempDir dir;
  dir.write("skip.txt", "skipped line\nnext\n");
  const std::string skip = dir.file("skip.txt");
  for (int nth = 1; nth <= 12; ++nth) {
    kavtest::FailIO fail(nth);
    FILE *fp = FILE_open(skip.c_str(), "r");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(fskipline(fp), -1) << nth;  // the failure is not the line's end
    FILE_close(fp);
  }
  dir.write("values.bin", std::string("\x00\x00\x00\x2a\x00\x07", 6));
  const std::string values = dir.file("values.bin");
  swap_setup(1);  // big-endian in the file
  for (int nth = 1; nth <= 6; ++nth) {
    kavtest::FailIO fail(nth);
    FILE *fp = FILE_open(values.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    int v = -5;
    short h = -5;
    const int r1 = fread_long_swap(&v, fp);
    const int r2 = r1 == 1 ? fread_short_swap(&h, fp) : -1;
    FILE_close(fp);
    if (r1 == 1) {
      EXPECT_EQ(v, 42);
    } else {
      EXPECT_EQ(r1, -1) << nth;  // a failure, not the end of the file
      EXPECT_EQ(v, -5) << "a value cut short was stored";
    }
    if (r1 == 1 && r2 != 1) {
      EXPECT_EQ(r2, -1) << nth;
      EXPECT_EQ(h, -5);
    }
  }
  swap_setup(0);
}

}  // namespace

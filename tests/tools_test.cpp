// Tests of the line readers and the byte-order helpers.
#include <gtest/gtest.h>
#include <kav/tools.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

// ---- Streams -----------------------------------------------------------------------

struct FileCloser {
  void operator()(FILE *f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

// A stream opened for reading on a real file holding the given bytes.
File open_bytes(const kavtest::TempDir &dir, const std::string &bytes) {
  const std::string name = dir.write("input.txt", bytes);
  return File(std::fopen(name.c_str(), "rb"));
}

bool little_endian_host() {
  const uint16_t probe = 1;
  unsigned char first;
  std::memcpy(&first, &probe, 1);
  return first == 1;
}

// ---- Line readers: consecutive calls on a file ---------------------------------------

enum class Reader { fgetline, fgetnline, fgetstring, fget_rawstring };

// One call's expected result and text (the text is not checked at -1).
struct Read {
  int result;
  std::string text;
};

struct LineCase {
  const char *name;
  std::string bytes;
  Reader reader;
  int len;  // ignored by fgetline
  std::vector<Read> reads;
};

void PrintTo(const LineCase &c, std::ostream *os) { *os << c.name; }

const std::string k200(200, 'x');

const LineCase kLineCases[] = {
    {"EmptyLineBetween",
     "abc\n\ndef\n",
     Reader::fgetline,
     0,
     {{3, "abc"}, {0, ""}, {3, "def"}, {-1, ""}}},
    {"NoFinalNewline",
     "abc\n\ndef",
     Reader::fgetline,
     0,
     {{3, "abc"}, {0, ""}, {3, "def"}, {-1, ""}}},
    {"TwoEmptyLines",
     "abc\n\n\ndef\n",
     Reader::fgetline,
     0,
     {{3, "abc"}, {0, ""}, {0, ""}, {3, "def"}, {-1, ""}}},
    {"EmptyFirstLinePassedOver", "\nabc\n", Reader::fgetline, 0, {{3, "abc"}, {-1, ""}}},
    {"EmptyFile", "", Reader::fgetline, 0, {{-1, ""}, {-1, ""}}},
    {"OnlyALineEnd", "\n", Reader::fgetline, 0, {{-1, ""}}},
    {"TwoLineEnds", "\n\n", Reader::fgetline, 0, {{0, ""}, {-1, ""}}},
    {"LongLineInPieces",
     k200 + "\nnext\n",
     Reader::fgetline,
     0,
     {{160, std::string(160, 'x')}, {40, std::string(40, 'x')}, {4, "next"}, {-1, ""}}},
    {"LongLastLineNoNewline",
     k200,
     Reader::fgetline,
     0,
     {{160, std::string(160, 'x')}, {40, std::string(40, 'x')}, {-1, ""}}},
    {"ExactlyTheLimit",
     std::string(160, 'y') + "\n\nz\n",
     Reader::fgetline,
     0,
     {{160, std::string(160, 'y')}, {0, ""}, {1, "z"}, {-1, ""}}},
    {"CrLfKeptByFgetline",
     "abc\r\n\r\ndef\r\n",
     Reader::fgetline,
     0,
     {{4, "abc\r"}, {1, "\r"}, {4, "def\r"}, {-1, ""}}},
    {"NLimit3",
     "abcdefg\nhi\n",
     Reader::fgetnline,
     3,
     {{3, "abc"}, {3, "def"}, {1, "g"}, {2, "hi"}, {-1, ""}}},
    {"NLimit1", "ab\n\nc", Reader::fgetnline, 1, {{1, "a"}, {1, "b"}, {0, ""}, {1, "c"}, {-1, ""}}},
    {"NLimit500", k200 + "\n", Reader::fgetnline, 500, {{200, k200}, {-1, ""}}},
    {"NLimit0ReadsNothing", "abc\n", Reader::fgetnline, 0, {{-1, ""}, {-1, ""}}},
    {"NLimitNegative", "abc\n", Reader::fgetnline, -4, {{-1, ""}}},
    {"StringResults",
     "abc\n\nd",
     Reader::fgetstring,
     10,
     {{1, "abc"}, {0, ""}, {1, "d"}, {-1, ""}}},
    {"StringPieces", "abcdef\n", Reader::fgetstring, 4, {{1, "abcd"}, {1, "ef"}, {-1, ""}}},
    {"RawDropsCarriageReturns",
     "abc\r\n\r\ndef\r\n",
     Reader::fget_rawstring,
     160,
     {{1, "abc"}, {1, ""}, {1, "def"}, {-1, ""}}},
    {"RawBlanksControlAndHighBytes",
     "a\tb\r\nx\x01y\xe9z\n",
     Reader::fget_rawstring,
     160,
     {{1, "a b"}, {1, "x y z"}, {-1, ""}}},
    {"RawCarriageReturnInsideEndsText",
     "ab\rcd\n",
     Reader::fget_rawstring,
     160,
     {{1, "ab"}, {-1, ""}}},
    {"RawEmptyLine",
     "a\n\nb",
     Reader::fget_rawstring,
     160,
     {{1, "a"}, {0, ""}, {1, "b"}, {-1, ""}}},
};

class LineReads : public testing::TestWithParam<LineCase> {};

TEST_P(LineReads, ConsecutiveCalls) {
  const LineCase &c = GetParam();
  kavtest::TempDir dir;
  File f = open_bytes(dir, c.bytes);
  ASSERT_TRUE(f);
  const int limit = c.reader == Reader::fgetline ? 160 : c.len;
  // The buffer has room for limit + 1 characters and not one more.
  const size_t size = static_cast<size_t>(limit < 0 ? 0 : limit) + 1;
  char *buf = static_cast<char *>(std::malloc(size));
  for (size_t i = 0; i < c.reads.size(); ++i) {
    std::memset(buf, '#', size);
    int result = -100;
    switch (c.reader) {
      case Reader::fgetline:
        result = fgetline(f.get(), buf);
        break;
      case Reader::fgetnline:
        result = fgetnline(f.get(), buf, c.len);
        break;
      case Reader::fgetstring:
        result = fgetstring(f.get(), buf, c.len);
        break;
      case Reader::fget_rawstring:
        result = fget_rawstring(f.get(), buf, c.len);
        break;
    }
    EXPECT_EQ(result, c.reads[i].result) << "call " << i + 1;
    if (c.reads[i].result >= 0) {
      EXPECT_EQ(std::string(buf), c.reads[i].text) << "call " << i + 1;
    }
  }
  std::free(buf);
}

INSTANTIATE_TEST_SUITE_P(Tools, LineReads, testing::ValuesIn(kLineCases),
                         [](const testing::TestParamInfo<LineCase> &p) {
                           return std::string(p.param.name);
                         });

TEST(LineReads, NeverWritePastTheLimit) {
  kavtest::TempDir dir;
  File f = open_bytes(dir, std::string(300, 'a') + "\n");
  char buf[32];
  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(fgetnline(f.get(), buf, 5), 5);
  EXPECT_STREQ(buf, "aaaaa");
  for (size_t i = 6; i < sizeof buf; ++i) EXPECT_EQ(buf[i], '#') << "byte " << i;
}

TEST(LineReads, EndOfFileLeavesTheBufferAlone) {
  kavtest::TempDir dir;
  File f = open_bytes(dir, "");
  char buf[8] = "keep";
  EXPECT_EQ(fgetline(f.get(), buf), -1);
  EXPECT_STREQ(buf, "keep");
}

TEST(LineReads, NullArguments) {
  char buf[8];
  EXPECT_EQ(fgetline(nullptr, buf), -1);
  EXPECT_EQ(fgetnline(nullptr, buf, 4), -1);
  EXPECT_EQ(fgetstring(nullptr, buf, 4), -1);
  EXPECT_EQ(fget_rawstring(nullptr, buf, 4), -1);
  kavtest::TempDir dir;
  File f = open_bytes(dir, "abc\n");
  EXPECT_EQ(fgetline(f.get(), nullptr), -1);
  EXPECT_EQ(fgetnline(f.get(), nullptr, 4), -1);
  EXPECT_EQ(fskipline(nullptr), -1);
}

TEST(LineReads, EmbeddedNulCountsAsACharacter) {
  kavtest::TempDir dir;
  File f = open_bytes(dir, std::string("a\0b\nc\n", 6));
  char buf[161];
  EXPECT_EQ(fgetline(f.get(), buf), 3);
  EXPECT_EQ(std::memcmp(buf, "a\0b", 4), 0);
  EXPECT_EQ(fgetline(f.get(), buf), 1);
  EXPECT_STREQ(buf, "c");
}

// ---- fskipline ------------------------------------------------------------------------

TEST(Fskipline, PassesOverTheRestOfTheLine) {
  kavtest::TempDir dir;
  File f = open_bytes(dir, "0123456789\nnext\nlast");
  char buf[8];
  EXPECT_EQ(fgetnline(f.get(), buf, 4), 4);
  EXPECT_STREQ(buf, "0123");
  EXPECT_EQ(fskipline(f.get()), 0);
  EXPECT_EQ(fgetline(f.get(), buf), 4);
  EXPECT_STREQ(buf, "next");
  EXPECT_EQ(fgetline(f.get(), buf), 4);
  EXPECT_STREQ(buf, "last");
  EXPECT_EQ(fskipline(f.get()), -1);
}

TEST(Fskipline, SkipsTheFirstLineOfAFile) {
  kavtest::TempDir dir;
  File f = open_bytes(dir, "header\ndata\n");
  char buf[161];
  EXPECT_EQ(fskipline(f.get()), 0);
  EXPECT_EQ(fgetline(f.get(), buf), 4);
  EXPECT_STREQ(buf, "data");
}

TEST(Fskipline, AtALineEndLeavesItToTheNextRead) {
  // After a whole line was read the rest of it is empty: the skip passes over
  // nothing, and the empty line that follows is still read as one.
  kavtest::TempDir dir;
  File f = open_bytes(dir, "abc\n\ndef\n");
  char buf[161];
  EXPECT_EQ(fgetline(f.get(), buf), 3);
  EXPECT_EQ(fskipline(f.get()), 0);
  EXPECT_EQ(fgetline(f.get(), buf), 0);
  EXPECT_EQ(fgetline(f.get(), buf), 3);
  EXPECT_STREQ(buf, "def");
}

// ---- Byte order ------------------------------------------------------------------------

// swap_setup has not run yet in a new process: values are swapped.
TEST(ByteOrderDeathTest, SwappingIsOnBeforeSetup) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        uint32_t v = 0x01020304u;
        const int r = swap_long(&v);
        std::exit(r == 0 && v == 0x04030201u ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(ByteOrder, SetupFlags) {
  const bool le = little_endian_host();
  uint32_t v = 1;
  struct Case {
    int flag;
    bool swaps;
  } cases[] = {{-1, false}, {1, le}, {2, !le}, {0, true}, {3, true}, {-2, true}};
  for (const Case &c : cases) {
    EXPECT_EQ(swap_setup(c.flag), 0);
    EXPECT_EQ(swap_long(&v), c.swaps ? 0 : -1) << "flag " << c.flag;
  }
}

TEST(ByteOrder, SwapInPlace) {
  swap_setup(0);
  uint32_t l = 0x01020304u;
  EXPECT_EQ(swap_long(&l), 0);
  EXPECT_EQ(l, 0x04030201u);
  uint16_t s = 0x0102u;
  EXPECT_EQ(swap_short(&s), 0);
  EXPECT_EQ(s, 0x0201u);
  const unsigned char before[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  const unsigned char after[8] = {8, 7, 6, 5, 4, 3, 2, 1};
  double d;
  std::memcpy(&d, before, 8);
  EXPECT_EQ(swap_double(&d), 0);
  EXPECT_EQ(std::memcmp(&d, after, 8), 0);

  uint32_t longs[3] = {0x01020304u, 0xA0B0C0D0u, 0x000000FFu};
  EXPECT_EQ(swap_longs(longs, 3), 0);
  EXPECT_EQ(longs[0], 0x04030201u);
  EXPECT_EQ(longs[1], 0xD0C0B0A0u);
  EXPECT_EQ(longs[2], 0xFF000000u);
  EXPECT_EQ(swap_longs(longs, 0), 0);
  EXPECT_EQ(longs[0], 0x04030201u);
  uint16_t shorts[2] = {0x0102u, 0xFF00u};
  EXPECT_EQ(swap_shorts(shorts, 2), 0);
  EXPECT_EQ(shorts[0], 0x0201u);
  EXPECT_EQ(shorts[1], 0x00FFu);
  EXPECT_EQ(swap_long(nullptr), -1);
}

TEST(ByteOrder, NothingHappensWhenSwappingIsOff) {
  swap_setup(-1);
  uint32_t l = 0x01020304u;
  uint16_t s = 0x0102u;
  double d = 1.5;
  uint32_t longs[2] = {1u, 2u};
  EXPECT_EQ(swap_long(&l), -1);
  EXPECT_EQ(swap_short(&s), -1);
  EXPECT_EQ(swap_double(&d), -1);
  EXPECT_EQ(swap_longs(longs, 2), -1);
  EXPECT_EQ(swap_shorts(&s, 1), -1);
  EXPECT_EQ(l, 0x01020304u);
  EXPECT_EQ(s, 0x0102u);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(longs[1], 2u);
}

TEST(ByteOrder, ReadBigEndianValues) {
  if (!little_endian_host()) GTEST_SKIP() << "the cases are written for a little-endian host";
  kavtest::TempDir dir;
  // 00 00 01 00, then 1.5 as an IEEE double most significant byte first, then
  // the short 01 02, then two stray bytes.
  const std::string bytes(
      "\x00\x00\x01\x00"
      "\x3f\xf8\x00\x00\x00\x00\x00\x00"
      "\x01\x02"
      "\xaa\xbb",
      16);
  swap_setup(1);
  File f = open_bytes(dir, bytes);
  int32_t l = 0;
  double d = 0;
  int16_t s = 0;
  EXPECT_EQ(fread_long_swap(&l, f.get()), 1);
  EXPECT_EQ(l, 256);
  EXPECT_EQ(fread_double_swap(&d, f.get()), 1);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(fread_short_swap(&s, f.get()), 1);
  EXPECT_EQ(s, 0x0102);
  l = 77;
  EXPECT_LE(fread_long_swap(&l, f.get()), 0);  // two bytes left: no value
  EXPECT_EQ(l, 77);
  EXPECT_LE(fread_short_swap(&s, f.get()), 0);

  swap_setup(-1);
  f = open_bytes(dir, bytes);
  EXPECT_EQ(fread_long_swap(&l, f.get()), 1);
  EXPECT_EQ(l, 65536);
  swap_setup(2);
  f = open_bytes(dir, bytes);
  EXPECT_EQ(fread_long_swap(&l, f.get()), 1);
  EXPECT_EQ(l, 65536);
  EXPECT_EQ(fread_long_swap(nullptr, f.get()), -1);
  EXPECT_EQ(fread_long_swap(&l, nullptr), -1);
}

TEST(ByteOrder, WriteSwapsTheCallersVariable) {
  if (!little_endian_host()) GTEST_SKIP() << "the cases are written for a little-endian host";
  kavtest::TempDir dir;
  const std::string name = dir.file("out.bin");
  swap_setup(1);
  {
    File f(std::fopen(name.c_str(), "wb"));
    int32_t l = 256;
    int16_t s = 0x0102;
    EXPECT_EQ(fwrite_long_swap(&l, f.get()), 1);
    EXPECT_EQ(l, 65536);  // left byte-reversed
    EXPECT_EQ(fwrite_short_swap(&s, f.get()), 1);
    EXPECT_EQ(s, 0x0201);
  }
  EXPECT_EQ(kavtest::read_file(name), std::string("\x00\x00\x01\x00\x01\x02", 6));

  swap_setup(-1);
  {
    File f(std::fopen(name.c_str(), "wb"));
    int32_t l = 256;
    EXPECT_EQ(fwrite_long_swap(&l, f.get()), 1);
    EXPECT_EQ(l, 256);
  }
  EXPECT_EQ(kavtest::read_file(name), std::string("\x00\x01\x00\x00", 4));
  EXPECT_EQ(fwrite_long_swap(nullptr, stdout), -1);
}

TEST(ByteOrder, WriteThenReadRoundTrips) {
  kavtest::TempDir dir;
  const std::string name = dir.file("round.bin");
  const int32_t values[] = {0, 1, -1, 123456789, INT32_MIN, INT32_MAX};
  for (int flag : {-1, 1, 2}) {
    swap_setup(flag);
    {
      File f(std::fopen(name.c_str(), "wb"));
      for (int32_t v : values) fwrite_long_swap(&v, f.get());  // the copy may be reversed
    }
    File f(std::fopen(name.c_str(), "rb"));
    for (int32_t v : values) {
      int32_t back = 0;
      EXPECT_EQ(fread_long_swap(&back, f.get()), 1);
      EXPECT_EQ(back, v) << "flag " << flag;
    }
  }
}

TEST(ByteOrder, Fswap) {
  float a = 1.5f, b = -2.25f;
  EXPECT_EQ(fswap(&a, &b), 0);
  EXPECT_EQ(a, -2.25f);
  EXPECT_EQ(b, 1.5f);
  EXPECT_EQ(fswap(&a, &a), 0);
  EXPECT_EQ(a, -2.25f);
  EXPECT_EQ(fswap(nullptr, &b), -1);
}

}  // namespace

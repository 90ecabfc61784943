// Definition files: entries, directives, qualified keys and the environment.
#include <gtest/gtest.h>
#include <kav/def_read.h>
#include <kav/resrc.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/kavtest.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// Every entry of an open file, until DEF_get reports the end.
Entries drain_entries() {
  Entries out;
  char key[DEF_KEY_SIZE];
  char value[DEF_VALUE_SIZE];
  while (DEF_get(key, value) == 1) out.emplace_back(key, value);
  return out;
}

class DefRead : public ::testing::Test {
 protected:
  void SetUp() override {
    DEF_clr_tag();
    DEF_name("");
    // Blocks left open by an earlier case would govern this one: close them.
    std::string ends;
    for (int i = 0; i < 40; ++i) ends += "END\n";
    kavtest::capture([&] { read_text(ends); });
  }
  void TearDown() override { DEF_close(); }

  // Writes text as a file, reads all its entries and closes it.
  Entries read_text(const std::string &text) {
    std::string name = dir_.write("def.txt", text);
    EXPECT_EQ(DEF_open(name.c_str()), 0);
    Entries e = drain_entries();
    DEF_close();
    return e;
  }

  // As read_text, also returning what was written to standard error.
  Entries read_text(const std::string &text, std::string &err) {
    Entries e;
    err = kavtest::capture([&] { e = read_text(text); }).err;
    return e;
  }

  kavtest::TempDir dir_;
};

const std::string kUnits = "IF metric\nunits: si\nELSE\nunits: us\nEND\n";

TEST_F(DefRead, IfElseFollowsTagInAnyCase) {
  EXPECT_EQ(read_text(kUnits), (Entries{{"units", "us"}}));
  DEF_tag("METRIC");
  EXPECT_EQ(read_text(kUnits), (Entries{{"units", "si"}}));
}

TEST_F(DefRead, ElifChainTakesOnlyTheFirstTrueBranch) {
  const std::string text = "IF a\nv 1\nELIF b\nv 2\nELIF c\nv 3\nELSE\nv 4\nEND\nafter x\n";
  EXPECT_EQ(read_text(text), (Entries{{"v", "4"}, {"after", "x"}}));
  DEF_tag("b");
  EXPECT_EQ(read_text(text), (Entries{{"v", "2"}, {"after", "x"}}));
  DEF_tag("c");
  EXPECT_EQ(read_text(text), (Entries{{"v", "2"}, {"after", "x"}}));
  DEF_tag("a");
  EXPECT_EQ(read_text(text), (Entries{{"v", "1"}, {"after", "x"}}));
}

TEST_F(DefRead, NestedBlocksNeedEveryLevelTaken) {
  const std::string text =
      "IF outer\n"
      "  IF inner\nboth 1\n  ELSE\nonly_outer 1\n  END\n"
      "ELSE\n"
      "  IF inner\nonly_inner 1\n  ELSE\nneither 1\n  END\n"
      "END\n";
  EXPECT_EQ(read_text(text), (Entries{{"neither", "1"}}));
  DEF_tag("inner");
  EXPECT_EQ(read_text(text), (Entries{{"only_inner", "1"}}));
  DEF_tag("outer");
  EXPECT_EQ(read_text(text), (Entries{{"both", "1"}}));
}

TEST_F(DefRead, DirectiveWordsAreCaseSensitiveAndNeedValues) {
  DEF_tag("x");
  // "if x" is an ordinary entry; a bare IF is skipped, not a block.
  EXPECT_EQ(read_text("if x\nIF\nkey v\nElse\n"), (Entries{{"if", "x"}, {"key", "v"}}));
}

TEST_F(DefRead, KeysFoldAndLoseOneColon) {
  EXPECT_EQ(read_text("parameter: wctemp\nparameter wctemp\nParameter: wctemp\nWind: 5\n"
                      "a:: b\nkey value extra words\n"),
            (Entries{{"parameter", "wctemp"},
                     {"parameter", "wctemp"},
                     {"parameter", "wctemp"},
                     {"wind", "5"},
                     {"a:", "b"},
                     {"key", "value"}}));
}

TEST_F(DefRead, QuotedValuesKeepBlanks) {
  EXPECT_EQ(read_text("title \"wind chill  table\" ignored\nopen \"to the end\n"
                      "empty \"\"\n"),
            (Entries{{"title", "wind chill  table"}, {"open", "to the end"}, {"empty", ""}}));
}

TEST_F(DefRead, CommentsBlankLinesAndLoneWords) {
  EXPECT_EQ(read_text("# a comment\n\n   \nlonely\n  # not a comment\n\tkey\tvalue\n"),
            (Entries{{"#", "not"}, {"key", "value"}}));
}

TEST_F(DefRead, CrLfLinesReadLikeLfLines) {
  EXPECT_EQ(read_text("IF metric\r\nunits si\r\nELSE\r\nunits us\r\nEND\r\nt \"a b\r\n"),
            (Entries{{"units", "us"}, {"t", "a b"}}));
}

TEST_F(DefRead, UnmatchedDirectivesWarnAndReadingGoesOn) {
  std::string err;
  EXPECT_EQ(read_text("END\na 1\nELSE\nb 2\nELIF x\nc 3\n", err),
            (Entries{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
  EXPECT_EQ(err,
            "DEF_get: end without an if\n"
            "DEF_get: else without an if\n"
            "DEF_get: elif without an if\n");
}

TEST_F(DefRead, DefAndUndefChangeTagsAndAreReturned) {
  const std::string text = "DEF fast\nIF FAST\nspeed 1\nEND\nUNDEF Fast\nIF fast\nspeed 2\nEND\n";
  EXPECT_EQ(read_text(text), (Entries{{"def", "fast"}, {"speed", "1"}, {"undef", "Fast"}}));
}

TEST_F(DefRead, UndefOfAnUnknownTagChangesNothing) {
  DEF_tag("a");
  DEF_tag("b");
  EXPECT_EQ(read_text("UNDEF zz\nIF a\nx 1\nEND\nIF b\ny 2\nEND\n"),
            (Entries{{"undef", "zz"}, {"x", "1"}, {"y", "2"}}));
  // Removing the first tag moves the later ones up.
  EXPECT_EQ(read_text("UNDEF A\nIF a\nx 1\nEND\nIF b\ny 2\nEND\n"),
            (Entries{{"undef", "A"}, {"y", "2"}}));
}

TEST_F(DefRead, DirectivesAreObeyedInsideSkippedBlocks) {
  // The DEF inside the skipped block still defines its tag.
  EXPECT_EQ(read_text("IF nothing\nDEF later\nEND\nIF later\nseen 1\nEND\n"),
            (Entries{{"seen", "1"}}));
}

TEST_F(DefRead, TagListHoldsTen) {
  for (int i = 0; i < DEF_MAX_TAG; ++i) EXPECT_EQ(DEF_tag(("t" + std::to_string(i)).c_str()), 0);
  std::string err = kavtest::capture([] { EXPECT_EQ(DEF_tag("t10"), -1); }).err;
  EXPECT_NE(err.find("DEF_tag"), std::string::npos);
  EXPECT_EQ(read_text("DEF eleven\nIF eleven\nx 1\nEND\nIF t9\ny 2\nEND\n", err),
            (Entries{{"def", "eleven"}, {"y", "2"}}));
  EXPECT_NE(err.find("DEF_get"), std::string::npos);
  DEF_clr_tag();
  EXPECT_EQ(read_text("IF t0\nx 1\nEND\n"), Entries{});
}

TEST_F(DefRead, TagsAreCopied) {
  {
    std::string temporary = "kept";
    DEF_tag(temporary.c_str());
    temporary.assign("xxxx");
  }
  EXPECT_EQ(read_text("IF kept\nx 1\nEND\n"), (Entries{{"x", "1"}}));
}

TEST_F(DefRead, NestingPastTenLevelsIsSkippedWhole) {
  DEF_tag("y");
  std::string text;
  for (int i = 0; i < 12; ++i) text += "IF y\n";
  text += "deep 1\nELSE\ndeep 2\n";
  for (int i = 0; i < 2; ++i) text += "END\n";
  text += "ten 1\n";
  for (int i = 0; i < 10; ++i) text += "END\n";
  text += "out 1\nEND\nlast 1\n";
  std::string err;
  EXPECT_EQ(read_text(text, err), (Entries{{"ten", "1"}, {"out", "1"}, {"last", "1"}}));
  EXPECT_EQ(err,
            "DEF_get: if nested deeper than 10 levels, block skipped\n"
            "DEF_get: end without an if\n");
}

TEST_F(DefRead, OpenBlockGovernsTheNextFile) {
  EXPECT_EQ(read_text("IF absent\n"), Entries{});
  EXPECT_EQ(read_text("x 1\nEND\ny 2\n"), (Entries{{"y", "2"}}));
}

TEST_F(DefRead, LongLinesAreReadInPieces) {
  std::string exact = "k " + std::string(DEF_LINE_MAX - 2, 'v');
  std::string err;
  EXPECT_EQ(read_text(exact + "\nnext 1\n", err),
            (Entries{{"k", std::string(DEF_LINE_MAX - 2, 'v')}, {"next", "1"}}));
  // 249 characters exactly: one piece, returned whole, nothing reported.
  EXPECT_EQ(err, "");

  std::string line = "a " + std::string(DEF_LINE_MAX - 4, 'x') + " b c d";
  Entries e = read_text(line + "\n", err);
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].first, "a");
  EXPECT_EQ(e[1], (std::pair<std::string, std::string>{"c", "d"}));
  EXPECT_NE(err.find("DEF_get: line longer than 249 characters read in pieces"), std::string::npos);
}

TEST_F(DefRead, KeysAndValuesOfAWholeLineComeBackWhole) {
  // A 59-character qualified key and a 185-character value fill 245
  // characters of one line: both come back whole.
  std::string key = "windchill.some_program_title." + std::string(30, 'r');
  std::string value(185, 'v');
  std::string err;
  EXPECT_EQ(read_text(key + " " + value + "\n", err), (Entries{{key, value}}));
  EXPECT_EQ(err, "");
}

TEST_F(DefRead, SmallerBuffersSkipLongKeysAndCutValues) {
  std::string name = dir_.write("small.txt", "abcdef 123456789\nab 123456789\nok 1\n");
  ASSERT_EQ(DEF_open(name.c_str()), 0);
  char key[4], value[6];
  std::string err =
      kavtest::capture([&] { EXPECT_EQ(DEF_getn(key, sizeof key, value, sizeof value), 1); }).err;
  EXPECT_STREQ(key, "ab");
  EXPECT_STREQ(value, "12345");
  EXPECT_NE(err.find("DEF_get: key longer than 3 characters skipped"), std::string::npos);
  EXPECT_NE(err.find("DEF_get: value of ab cut to 5 characters"), std::string::npos);
  EXPECT_EQ(DEF_getn(key, sizeof key, value, sizeof value), 1);
  EXPECT_STREQ(key, "ok");
}

TEST_F(DefRead, GetWithoutFileOrBufferEnds) {
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
  EXPECT_EQ(DEF_get(key, value), -1);
  std::string name = dir_.write("f.txt", "a 1\n");
  ASSERT_EQ(DEF_open(name.c_str()), 0);
  EXPECT_EQ(DEF_get(nullptr, value), -1);
  EXPECT_EQ(DEF_get(key, value), 1);
  EXPECT_EQ(DEF_get(key, value), -1);
  EXPECT_EQ(DEF_get(key, value), -1);
}

TEST_F(DefRead, OpenPicksTheFileOfADirectory) {
  kavtest::TempDir only_last;
  only_last.write("Kav.res", "which res\n");
  ASSERT_EQ(DEF_open(only_last.path().c_str()), 0);
  EXPECT_EQ(drain_entries(), (Entries{{"which", "res"}}));

  kavtest::TempDir all;
  all.write("Kav.res", "which res\n");
  all.write(".kavdef", "which kavdef\n");
  ASSERT_EQ(DEF_open((all.path() + "/").c_str()), 0);
  EXPECT_EQ(drain_entries(), (Entries{{"which", "kavdef"}}));
  all.write("kav.cfg", "which cfg\n");
  ASSERT_EQ(DEF_open(all.path().c_str()), 0);
  EXPECT_EQ(drain_entries(), (Entries{{"which", "cfg"}}));

  kavtest::TempDir none;
  none.write("other", "which other\n");
  EXPECT_EQ(DEF_open(none.path().c_str()), -1);
  EXPECT_EQ(DEF_open(none.file("missing").c_str()), -1);
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
  EXPECT_EQ(DEF_get(key, value), -1);
}

TEST_F(DefRead, OpenWithoutNameReadsTheCurrentDirectory) {
  dir_.write(".kavdef", "here 1\n");
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  int opened = DEF_open(nullptr);
  Entries e = drain_entries();
  int opened_empty = DEF_open("");
  DEF_close();
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(opened_empty, 0);
  EXPECT_EQ(e, (Entries{{"here", "1"}}));
}

// Rows: program title resource key expected ("-" for an empty title).
struct CmpRow {
  int line = 0;
  std::string prog, title, resource, key;
  int expected = 0;
};

void PrintTo(const CmpRow &r, std::ostream *os) {
  *os << "def_cmp.txt:" << r.line << ": " << r.key << " -> " << r.resource;
}

std::vector<CmpRow> load_cmp_rows() {
  std::vector<CmpRow> rows;
  for (const kavtest::Row &row : kavtest::read_rows("def_cmp.txt")) {
    std::istringstream fields(row.text);
    CmpRow r;
    r.line = row.line;
    fields >> r.prog >> r.title >> r.resource >> r.key >> r.expected;
    if (r.title == "-") r.title.clear();
    rows.push_back(r);
  }
  return rows;
}

class DefCmp : public ::testing::TestWithParam<CmpRow> {};

void set_program(const std::string &prog, const std::string &title) {
  static std::string arg0;
  static char *argv[2];
  arg0 = "/usr/bin/" + prog;
  argv[0] = arg0.data();
  argv[1] = nullptr;
  RES_setCL(1, argv);
  DEF_prog();
  DEF_name(title.c_str());
}

TEST_P(DefCmp, KeyAddressesResource) {
  const CmpRow &r = GetParam();
  set_program(r.prog, r.title);
  EXPECT_EQ(DEF_cmp(r.resource.c_str(), r.key.c_str()), r.expected);
  // A key that addresses a resource addresses the program.
  if (r.expected) {
    EXPECT_EQ(DEF_valid(r.key.c_str()), 1);
    char name[64];
    EXPECT_EQ(DEF_parse_name(r.key.c_str(), name), 1);
    EXPECT_EQ(std::string(name), r.resource);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, DefCmp, ::testing::ValuesIn(load_cmp_rows()), kavtest::ByLine());

TEST(DefValid, KeysOfOtherProgramsOrWithoutQualifierAreNot) {
  set_program("calc", "");
  EXPECT_EQ(DEF_valid("calc.newthing"), 1);
  EXPECT_EQ(DEF_valid("*.newthing"), 1);
  EXPECT_EQ(DEF_valid("*newthing"), 1);  // "newthing" follows the '*'
  EXPECT_EQ(DEF_valid("other.newthing"), 0);
  EXPECT_EQ(DEF_valid("newthing"), 0);
  EXPECT_EQ(DEF_valid("calc."), 0);
  EXPECT_EQ(DEF_valid(nullptr), 0);
  EXPECT_EQ(DEF_cmp(nullptr, "x"), 0);
  set_program("calc", "+day");
  EXPECT_EQ(DEF_valid("calc.day.x"), 1);
  EXPECT_EQ(DEF_valid("calc.x"), 0);
  set_program("calc", "");
}

TEST(DefParseName, TakesThePartAfterTheLastQualifier) {
  char out[64];
  EXPECT_EQ(DEF_parse_name("calc.day.units", out), 1);
  EXPECT_STREQ(out, "units");
  EXPECT_EQ(DEF_parse_name("*units", out), 1);
  EXPECT_STREQ(out, "units");
  EXPECT_EQ(DEF_parse_name("a*b.c*d", out), 1);
  EXPECT_STREQ(out, "d");
  EXPECT_EQ(DEF_parse_name("plain", out), 1);
  EXPECT_STREQ(out, "plain");
  char same[] = "a.b";
  EXPECT_EQ(DEF_parse_name(same, same), 1);
  EXPECT_STREQ(same, "b");
  EXPECT_EQ(DEF_parse_name(nullptr, out), 0);
}

TEST(DefEnv, VariablesAreTriedInOrder) {
  set_program("calc", "");
  char value[DEF_VALUE_SIZE];
  kavtest::ScopedEnv a("kavcalc.units", nullptr), b("UNITS_ENV", nullptr), c("kavunits", nullptr),
      d("kavday.units", nullptr), e("kavcalc.day.units", nullptr);
  EXPECT_EQ(DEF_env("units", "UNITS_ENV", value), 0);
  {
    kavtest::ScopedEnv last("kavunits", "generic");
    EXPECT_EQ(DEF_env("units", "UNITS_ENV", value), 1);
    EXPECT_STREQ(value, "generic");
    kavtest::ScopedEnv own("UNITS_ENV", "own");
    EXPECT_EQ(DEF_env("units", "UNITS_ENV", value), 1);
    EXPECT_STREQ(value, "own");
    EXPECT_EQ(DEF_env("units", "", value), 1);
    EXPECT_STREQ(value, "generic");
    EXPECT_EQ(DEF_env("units", nullptr, value), 1);
    EXPECT_STREQ(value, "generic");
    kavtest::ScopedEnv prog("kavcalc.units", "prog");
    EXPECT_EQ(DEF_env("units", "UNITS_ENV", value), 1);
    EXPECT_STREQ(value, "prog");

    kavtest::ScopedEnv title("kavday.units", "title");
    kavtest::ScopedEnv sub("kavcalc.day.units", "sub");
    DEF_name("day");
    EXPECT_EQ(DEF_env("units", "UNITS_ENV", value), 1);
    EXPECT_STREQ(value, "title");
    DEF_name("+day");
    EXPECT_EQ(DEF_env("units", "UNITS_ENV", value), 1);
    EXPECT_STREQ(value, "sub");
    DEF_name("");
  }
  std::string big(DEF_VALUE_SIZE + 50, 'z');
  kavtest::ScopedEnv huge("kavunits", big.c_str());
  std::string err = kavtest::capture([&] { EXPECT_EQ(DEF_env("units", nullptr, value), 1); }).err;
  EXPECT_EQ(std::string(value), big.substr(0, DEF_VALUE_SIZE - 1));
  EXPECT_NE(err.find("DEF_env: value of units cut to 249 characters"), std::string::npos);
}

// A long line is reported once however many pieces it makes, and a file of
// long lines only a few times.
TEST(DefLongLines, ReportedOncePerLineAndAFewTimesPerFile) {
  kavtest::TempDir dir;
  const std::string big(100000, 'x');
  std::string text = "*.one: " + big + "\n";
  for (int i = 0; i < 10; ++i) text += "*.more: " + big + "\n";
  const std::string name = dir.write("long.cfg", text);
  auto cap = kavtest::capture([&] {
    ASSERT_EQ(DEF_open(name.c_str()), 0);
    char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
    while (DEF_getn(key, sizeof key, value, sizeof value) >= 0) {
    }
    DEF_close();
  });
  const std::string warning = "DEF_get: line longer than 249 characters read in pieces\n";
  EXPECT_EQ(cap.err,
            warning + warning + warning + "DEF_get: further long lines are not reported\n");
}

}  // namespace

// Tests of the text utilities. Table-driven cases live in
// tests/data/string_*.txt; the rest are the cases a table cannot hold
// (ownership, null pointers, buffer bounds, references to the C library).
#include <gtest/gtest.h>
#include <kav/string.h>
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

// ---- Reading the tables ------------------------------------------------------

// Decodes the escapes of the tables: \\ \t \r \n and \xHH.
std::string unescape(const std::string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    const char e = text[++i];
    if (e == 't')
      out += '\t';
    else if (e == 'r')
      out += '\r';
    else if (e == 'n')
      out += '\n';
    else if (e == 'x' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else
      out += e;
  }
  return out;
}

using kavtest::Row;

std::vector<Row> read_rows(const std::string &name) {
  return kavtest::read_rows(name, kavtest::Split::bars);
}

// A heap buffer of exactly the text's size, so that the sanitizers catch any
// write or read past it.
struct ExactBuffer {
  explicit ExactBuffer(const std::string &text, size_t extra = 0)
      : data(static_cast<char *>(std::malloc(text.size() + 1 + extra))) {
    std::memcpy(data, text.c_str(), text.size() + 1);
  }
  ~ExactBuffer() { std::free(data); }
  ExactBuffer(const ExactBuffer &) = delete;
  ExactBuffer &operator=(const ExactBuffer &) = delete;
  char *data;
};

std::vector<std::string> words_of(int argc, char **argv) {
  return std::vector<std::string>(argv, argv + argc);
}

// ---- In-place editors ----------------------------------------------------------

class EditTable : public testing::TestWithParam<Row> {};

TEST_P(EditTable, Row) {
  const Row &row = GetParam();
  ASSERT_EQ(row.fields.size(), 5u) << row.where();
  const std::string &fn = row.fields[0];
  const std::string arg = unescape(row.fields[2]);
  ExactBuffer buf(unescape(row.fields[1]));
  int result = -100;
  if (fn == "fill_string")
    result = fill_string(buf.data, arg.at(0), arg.at(1));
  else if (fn == "strip_string")
    result = strip_string(buf.data, arg.at(0));
  else if (fn == "wsstrip_string")
    result = wsstrip_string(buf.data);
  else if (fn == "wstrim_string")
    result = wstrim_string(buf.data);
  else if (fn == "trim_string")
    result = trim_string(buf.data);
  else if (fn == "trim_cr_string")
    result = trim_cr_string(buf.data);
  else if (fn == "strip_spaces")
    result = strip_spaces(buf.data);
  else if (fn == "strip_escape")
    result = strip_escape(buf.data);
  else if (fn == "shift_string")
    result = shift_string(buf.data, std::stoi(arg));
  else if (fn == "up_string")
    result = up_string(buf.data);
  else if (fn == "low_string")
    result = low_string(buf.data);
  else if (fn == "clean_line")
    result = clean_line(buf.data);
  else
    FAIL() << "unknown function " << fn;
  EXPECT_EQ(std::string(buf.data), unescape(row.fields[3])) << fn << ", line " << row.line;
  EXPECT_EQ(result, std::stoi(row.fields[4])) << fn << ", line " << row.line;
}

INSTANTIATE_TEST_SUITE_P(Strings, EditTable, testing::ValuesIn(read_rows("string_edit.txt")),
                         kavtest::ByLine());

TEST(Edit, NullStringsAreLeftAlone) {
  EXPECT_EQ(fill_string(nullptr, 'a', 'b'), 0);
  EXPECT_EQ(strip_string(nullptr, 'a'), 0);
  EXPECT_EQ(wsstrip_string(nullptr), 1);
  EXPECT_EQ(wstrim_string(nullptr), 1);
  EXPECT_EQ(trim_string(nullptr), 0);
  EXPECT_EQ(trim_cr_string(nullptr), 0);
  EXPECT_EQ(strip_spaces(nullptr), 0);
  EXPECT_EQ(strip_escape(nullptr), 0);
  EXPECT_EQ(shift_string(nullptr, -3), 0);
  EXPECT_EQ(up_string(nullptr), 0);
  EXPECT_EQ(low_string(nullptr), 0);
  EXPECT_EQ(clean_line(nullptr), 0);
}

TEST(Edit, FillWithTerminatorTargetChangesNothing) {
  char text[] = "abc";
  fill_string(text, '\0', 'x');
  EXPECT_STREQ(text, "abc");
  EXPECT_EQ(text[3], '\0');
}

// ---- Predicates ------------------------------------------------------------------

class PredicateTable : public testing::TestWithParam<Row> {};

TEST_P(PredicateTable, Row) {
  const Row &row = GetParam();
  ASSERT_EQ(row.fields.size(), 4u) << row.where();
  const std::string &fn = row.fields[0];
  ExactBuffer buf(unescape(row.fields[1]));
  const std::string before(buf.data);
  int result = -100;
  if (fn == "string_is_float")
    result = string_is_float(buf.data);
  else if (fn == "string_is_alpha")
    result = string_is_alpha(buf.data);
  else if (fn == "string_is_num")
    result = string_is_num(buf.data);
  else if (fn == "string_is_num_len")
    result = string_is_num_len(buf.data, std::stoi(row.fields[2]));
  else if (fn == "string_is_blank")
    result = string_is_blank(buf.data);
  else
    FAIL() << "unknown function " << fn;
  EXPECT_EQ(result, std::stoi(row.fields[3])) << fn << "(\"" << row.fields[1] << "\")";
  EXPECT_EQ(std::string(buf.data), before);
}

INSTANTIATE_TEST_SUITE_P(Strings, PredicateTable,
                         testing::ValuesIn(read_rows("string_predicate.txt")), kavtest::ByLine());

TEST(Predicate, NullStrings) {
  EXPECT_EQ(string_is_float(nullptr), 0);
  EXPECT_EQ(string_is_alpha(nullptr), 0);
  EXPECT_EQ(string_is_num(nullptr), 0);
  EXPECT_EQ(string_is_num_len(nullptr, 3), 0);
  EXPECT_EQ(string_is_blank(nullptr), 1);
}

// ---- parse_string and free_parsed_array --------------------------------------------

TEST(ParseString, SplitsAtEveryDelimiter) {
  int argc = -5;
  char **argv = nullptr;
  ASSERT_EQ(parse_string("a,b,,c", ',', &argc, &argv), 0);
  EXPECT_EQ(words_of(argc, argv), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(argv[argc], nullptr);
  free_parsed_array(argc, argv);
}

TEST(ParseString, EdgesOfTheText) {
  struct Case {
    const char *text;
    std::vector<std::string> tokens;
  } cases[] = {
      {",a", {"", "a"}},
      {"a,,,", {"a"}},
      {",,,", {""}},
      {",", {""}},
      {"abc", {"abc"}},
      {" a , b ", {" a ", " b "}},
      {"a,,b,", {"a", "", "b"}},
      {"x", {"x"}},
  };
  for (const Case &c : cases) {
    int argc = 0;
    char **argv = nullptr;
    ASSERT_EQ(parse_string(c.text, ',', &argc, &argv), 0) << c.text;
    EXPECT_EQ(words_of(argc, argv), c.tokens) << c.text;
    // Element 0 is the buffer every token lies in.
    for (int i = 0; i < argc; ++i) {
      EXPECT_GE(argv[i], argv[0]);
      EXPECT_LE(argv[i], argv[0] + std::strlen(c.text));
    }
    free_parsed_array(argc, argv);
  }
}

TEST(ParseString, FailureClearsTheOutputs) {
  int argc = 7;
  char **argv = reinterpret_cast<char **>(&argc);
  EXPECT_EQ(parse_string("", ',', &argc, &argv), -1);
  EXPECT_EQ(argc, 0);
  EXPECT_EQ(argv, nullptr);
  argc = 7;
  argv = reinterpret_cast<char **>(&argc);
  EXPECT_EQ(parse_string(nullptr, ',', &argc, &argv), -1);
  EXPECT_EQ(argc, 0);
  EXPECT_EQ(argv, nullptr);
  EXPECT_EQ(parse_string("a", ',', nullptr, &argv), -1);
  EXPECT_EQ(parse_string("a", ',', &argc, nullptr), -1);
}

TEST(ParseString, FreeToleratesNothingToFree) {
  free_parsed_array(0, nullptr);
  free_parsed_array(3, nullptr);
  // With argc 0 a real array is left alone: its words stay readable and the
  // release that follows is the only one (a release here would show as changed
  // words, or as a double free below).
  int argc = 0;
  char **argv = nullptr;
  ASSERT_EQ(parse_string("alpha,beta", ',', &argc, &argv), 0);
  free_parsed_array(0, argv);
  EXPECT_EQ(words_of(argc, argv), (std::vector<std::string>{"alpha", "beta"}));
  free_parsed_array(argc, argv);
}

// ---- stricmp and strnicmp ------------------------------------------------------------

TEST(Stricmp, DifferenceOfFoldedCharacters) {
  EXPECT_EQ(stricmp("Hello", "hELLO"), 0);
  EXPECT_EQ(stricmp("", ""), 0);
  EXPECT_EQ(stricmp("abc", "ABD"), 'c' - 'd');
  EXPECT_EQ(stricmp("ab", "abc"), -'c');
  EXPECT_EQ(stricmp("abc", "AB"), 'c');
  EXPECT_EQ(stricmp("[", "a"), '[' - 'a');  // '[' lies between 'Z' and 'a'
}

TEST(Stricmp, BytesAreSignedCharacters) {
  // 0xFF is -1 as a signed character, so it sorts before every letter.
  EXPECT_EQ(stricmp("\xff", "a"), -1 - 'a');
  EXPECT_EQ(stricmp("a", "\x80"), 'a' + 128);
  EXPECT_EQ(stricmp("\xe9t\xe9", "\xe9T\xe9"), 0);
}

TEST(Stricmp, NullIsNeverEqual) {
  EXPECT_EQ(stricmp(nullptr, "a"), 1);
  EXPECT_EQ(stricmp("a", nullptr), 1);
  EXPECT_EQ(stricmp(nullptr, nullptr), 1);
  EXPECT_EQ(strnicmp(nullptr, "a", 3), 1);
  EXPECT_EQ(strnicmp("a", nullptr, 3), 1);
}

TEST(Stricmp, AgreesWithStrcasecmpOnAscii) {
  std::mt19937 gen(42);
  std::uniform_int_distribution<int> len(0, 4), ch(0, 5);
  const char alphabet[] = "aAbB[_";
  for (int i = 0; i < 2000; ++i) {
    std::string a, b;
    for (int n = len(gen); n > 0; --n) a += alphabet[ch(gen)];
    for (int n = len(gen); n > 0; --n) b += alphabet[ch(gen)];
    const int mine = stricmp(a.c_str(), b.c_str());
    const int ref = strcasecmp(a.c_str(), b.c_str());
    EXPECT_EQ(mine < 0, ref < 0) << a << " / " << b;
    EXPECT_EQ(mine == 0, ref == 0) << a << " / " << b;
    for (int n = -1; n < 6; ++n) {
      const int mn = strnicmp(a.c_str(), b.c_str(), n);
      const int rn = strncasecmp(a.c_str(), b.c_str(), static_cast<size_t>(n < 1 ? 1 : n));
      EXPECT_EQ(mn < 0, rn < 0) << a << " / " << b << " n=" << n;
      EXPECT_EQ(mn == 0, rn == 0) << a << " / " << b << " n=" << n;
    }
  }
}

TEST(Strnicmp, CountsAndTerminators) {
  EXPECT_EQ(strnicmp("abcX", "ABCy", 3), 0);
  EXPECT_NE(strnicmp("abcX", "ABCy", 4), 0);
  EXPECT_EQ(strnicmp("ab", "ac", 0), 0);  // a count below 1 compares one character
  EXPECT_EQ(strnicmp("ab", "ac", -7), 0);
  EXPECT_EQ(strnicmp("a", "b", 0), 'a' - 'b');
  EXPECT_EQ(strnicmp("abc", "ab", 5), 'c');
  // Both texts end equal within the count: the scan must stop there.
  ExactBuffer a("ab"), b("AB");
  EXPECT_EQ(strnicmp(a.data, b.data, 1000), 0);
}

// ---- New strings -------------------------------------------------------------------

TEST(NewString, CreateString) {
  char *copy = create_string("a b\tc");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "a b\tc");
  std::free(copy);
  copy = create_string("");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "");
  std::free(copy);
  EXPECT_EQ(create_string(nullptr), nullptr);
}

TEST(NewString, CreateStrcat) {
  char *joined = create_strcat("path", "/", "file");
  ASSERT_NE(joined, nullptr);
  EXPECT_STREQ(joined, "path/file");
  std::free(joined);
  joined = create_strcat("", "", "");
  ASSERT_NE(joined, nullptr);
  EXPECT_STREQ(joined, "");
  std::free(joined);
  EXPECT_EQ(create_strcat("a", ",", nullptr), nullptr);
  joined = create_strcat(nullptr, nullptr, "x");  // null pieces count as empty
  ASSERT_NE(joined, nullptr);
  EXPECT_STREQ(joined, "x");
  std::free(joined);
}

// ---- parse_command and parse_command_line ---------------------------------------------

// Every word lies inside the one buffer of element 0, and the array is closed.
void expect_well_formed(int argc, char **argv, size_t text_len) {
  ASSERT_GE(argc, 1);
  EXPECT_EQ(argv[argc], nullptr);
  for (int i = 0; i < argc; ++i) {
    EXPECT_GE(argv[i], argv[0]);
    EXPECT_LE(argv[i], argv[0] + text_len);
  }
}

class ParseCommandTable : public testing::TestWithParam<Row> {};

TEST_P(ParseCommandTable, Row) {
  const Row &row = GetParam();
  const std::string text = unescape(row.fields[0]);
  std::vector<std::string> expected;
  for (size_t i = 1; i < row.fields.size(); ++i) expected.push_back(unescape(row.fields[i]));
  int argc = 0;
  char **argv = nullptr;
  ASSERT_EQ(parse_command(text.c_str(), &argc, &argv), 0);
  EXPECT_EQ(words_of(argc, argv), expected) << "input [" << text << "]";
  expect_well_formed(argc, argv, text.size());
  free_parsed_array(argc, argv);
}

INSTANTIATE_TEST_SUITE_P(Strings, ParseCommandTable,
                         testing::ValuesIn(read_rows("string_parse_command.txt")),
                         kavtest::ByLine());

TEST(ParseCommand, NullOrEmptyGivesNothing) {
  int argc = 9;
  char **argv = reinterpret_cast<char **>(&argc);
  EXPECT_EQ(parse_command(nullptr, &argc, &argv), -1);
  EXPECT_EQ(argc, 0);
  EXPECT_EQ(argv, nullptr);
  argc = 9;
  EXPECT_EQ(parse_command("", &argc, &argv), -1);
  EXPECT_EQ(argc, 0);
  EXPECT_EQ(parse_command("a", nullptr, &argv), -1);
  EXPECT_EQ(parse_command("a", &argc, nullptr), -1);
}

TEST(ParseCommand, ManyQuotedWordsCountAgreesWithWords) {
  // Text that follows a closing quote is a word of its own; the array must be
  // as long as the words stored, however many there are.
  std::string text = "cmd";
  std::vector<std::string> expected{"cmd"};
  for (int i = 0; i < 50; ++i) {
    text += " \"q " + std::to_string(i) + "\"t" + std::to_string(i);
    expected.push_back("q " + std::to_string(i));
    expected.push_back("t" + std::to_string(i));
  }
  int argc = 0;
  char **argv = nullptr;
  ASSERT_EQ(parse_command(text.c_str(), &argc, &argv), 0);
  EXPECT_EQ(words_of(argc, argv), expected);
  expect_well_formed(argc, argv, text.size());
  free_parsed_array(argc, argv);
}

TEST(ParseCommandLine, JoinsCommandAndArguments) {
  int argc = 0;
  char **argv = nullptr;
  ASSERT_EQ(parse_command_line("ls", "-l  /tmp ", &argc, &argv), 0);
  EXPECT_EQ(words_of(argc, argv), (std::vector<std::string>{"ls", "-l", "/tmp"}));
  EXPECT_EQ(argv[argc], nullptr);
  free_parsed_array(argc, argv);

  // The joining blank makes a leading quote of the arguments a quote.
  ASSERT_EQ(parse_command_line("prog", "\"x y\" z", &argc, &argv), 0);
  EXPECT_EQ(words_of(argc, argv), (std::vector<std::string>{"prog", "x y", "z"}));
  free_parsed_array(argc, argv);

  ASSERT_EQ(parse_command_line("cmd", "", &argc, &argv), 0);
  EXPECT_EQ(words_of(argc, argv), (std::vector<std::string>{"cmd"}));
  free_parsed_array(argc, argv);
}

TEST(ParseCommandLine, EmptyCommandKeepsTheBlankInElementZero) {
  for (const char *command : {"", static_cast<const char *>(nullptr)}) {
    int argc = 0;
    char **argv = nullptr;
    ASSERT_EQ(parse_command_line(command, "a b", &argc, &argv), 0);
    EXPECT_EQ(words_of(argc, argv), (std::vector<std::string>{" a", "a", "b"}));
    EXPECT_EQ(argv[argc], nullptr);
    free_parsed_array(argc, argv);
  }
}

TEST(ParseCommandLine, Failures) {
  int argc = 4;
  char **argv = reinterpret_cast<char **>(&argc);
  EXPECT_EQ(parse_command_line("cmd", nullptr, &argc, &argv), -1);
  EXPECT_EQ(argc, 0);
  EXPECT_EQ(argv, nullptr);
  EXPECT_EQ(parse_command_line("", "", &argc, &argv), -1);
  EXPECT_EQ(parse_command_line(nullptr, "", &argc, &argv), -1);
  EXPECT_EQ(argc, 0);
}

// ---- Search and bounded copy ----------------------------------------------------------

TEST(Searchstr, CaseBlindMembership) {
  const char *names[] = {"alpha", "Beta", nullptr, "gamma"};
  EXPECT_EQ(searchstr(names, 4, "BETA"), 1);
  EXPECT_EQ(searchstr(names, 4, "gamma"), 1);
  EXPECT_EQ(searchstr(names, 3, "gamma"), 0);  // only the first n are looked at
  EXPECT_EQ(searchstr(names, 4, "delta"), 0);
  EXPECT_EQ(searchstr(names, 4, "alph"), 0);
  EXPECT_EQ(searchstr(names, 0, "alpha"), 0);
  EXPECT_EQ(searchstr(names, -1, "alpha"), 0);
  EXPECT_EQ(searchstr(nullptr, 4, "alpha"), 0);
  EXPECT_EQ(searchstr(names, 4, nullptr), 0);
}

TEST(Strlstr, FindsTheLastOccurrence) {
  const char *text = "abcXYabcZ";
  EXPECT_EQ(strlstr(text, "abc"), text + 5);
  EXPECT_EQ(strlstr(text, "Z"), text + 8);
  EXPECT_EQ(strlstr(text, "abcXYabcZ"), text);
  EXPECT_EQ(strlstr(text, "abd"), nullptr);
  EXPECT_EQ(strlstr(text, "abcXYabcZZ"), nullptr);
  const char *run = "aaaa";
  EXPECT_EQ(strlstr(run, "aa"), run + 2);  // overlapping occurrences: the last start
  EXPECT_EQ(strlstr(text, ""), text + 9);
  EXPECT_EQ(strlstr("", "a"), nullptr);
  EXPECT_EQ(strlstr(nullptr, "a"), nullptr);
  EXPECT_EQ(strlstr(text, nullptr), nullptr);
}

TEST(Strntcpy, CopiesExactlyNCharacters) {
  const char source[] = {'a', 'b', '\0', 'c', 'd'};  // no terminator at the end
  char *dest = static_cast<char *>(std::malloc(6));
  EXPECT_EQ(strntcpy(dest, source, 5), 1);
  EXPECT_EQ(std::memcmp(dest, "ab\0cd\0", 6), 0);
  EXPECT_EQ(strntcpy(dest, "xyz", 2), 1);
  EXPECT_STREQ(dest, "xy");
  EXPECT_EQ(strntcpy(dest, "xyz", 0), 1);
  EXPECT_STREQ(dest, "");
  std::strcpy(dest, "keep");
  EXPECT_EQ(strntcpy(dest, "xyz", -3), 1);
  EXPECT_STREQ(dest, "");
  EXPECT_EQ(strntcpy(nullptr, "xyz", 2), 0);
  std::strcpy(dest, "keep");
  EXPECT_EQ(strntcpy(dest, nullptr, 2), 0);
  EXPECT_STREQ(dest, "keep");
  std::free(dest);
}

TEST(Strmcat, NeverGrowsBeyondM) {
  struct Case {
    const char *start, *add;
    int m, result;
    const char *expected;
  } cases[] = {
      {"abc", "defgh", 5, 1, "abcde"},
      {"abc", "defgh", 8, 1, "abcdefgh"},
      {"abc", "defgh", 20, 1, "abcdefgh"},
      {"abc", "defgh", 3, 0, "abc"},
      {"abc", "defgh", 2, 0, "abc"},
      {"abc", "defgh", -1, 0, "abc"},
      {"", "xy", 1, 1, "x"},
      {"", "", 0, 0, ""},
      {"ab", "", 5, 1, "ab"},
  };
  for (const Case &c : cases) {
    // s1 has room for m + 1 characters and not one more.
    const size_t room =
        static_cast<size_t>(std::max(c.m, static_cast<int>(std::strlen(c.start)))) + 1;
    char *s1 = static_cast<char *>(std::malloc(room));
    std::strcpy(s1, c.start);
    EXPECT_EQ(strmcat(s1, c.add, c.m), c.result) << c.start << " + " << c.add << " m=" << c.m;
    EXPECT_STREQ(s1, c.expected);
    std::free(s1);
  }
  char text[8] = "abc";
  EXPECT_EQ(strmcat(nullptr, "x", 5), 0);
  EXPECT_EQ(strmcat(text, nullptr, 5), 0);
  EXPECT_STREQ(text, "abc");
}

// ---- set_num -----------------------------------------------------------------------

class SetNumTable : public testing::TestWithParam<Row> {};

TEST_P(SetNumTable, Row) {
  const Row &row = GetParam();
  ASSERT_EQ(row.fields.size(), 4u) << row.where();
  const float x = std::strtof(row.fields[1].c_str(), nullptr);
  char *str = static_cast<char *>(std::malloc(64));
  EXPECT_EQ(set_num(str, row.fields[0].c_str(), x), str);
  EXPECT_EQ(std::string(str), row.fields[2])
      << "format " << row.fields[0] << ", x " << row.fields[1];
  std::free(str);
}

INSTANTIATE_TEST_SUITE_P(Strings, SetNumTable, testing::ValuesIn(read_rows("string_set_num.txt")),
                         kavtest::ByLine());

TEST(SetNum, NullArguments) {
  EXPECT_EQ(set_num(nullptr, "0.3.0", 1.0f), nullptr);
  char str[64];
  EXPECT_STREQ(set_num(str, nullptr, 1.4f), "1");
}

// Whatever the format and the value, the text fits in 64 characters and reads
// back as the value rounded to the decimals written.
TEST(SetNum, EveryFormatAndMagnitudeFits) {
  const float values[] = {0.0f,          1e-5f,          2e-5f,           -3e-5f, 0.5f,
                          1.0f,          -7.25f,         123456.0f,       1e20f,  -1e30f,
                          3.4028235e38f, -3.4028235e38f, 1.17549435e-38f, 1e-45f};
  const int numbers[] = {-100000, -100, -1, 0, 1, 3, 9, 10, 25, 100000};
  char *str = static_cast<char *>(std::malloc(64));
  for (float x : values)
    for (int w : numbers)
      for (int s : numbers)
        for (int d : numbers) {
          const std::string format =
              std::to_string(w) + "." + std::to_string(s) + "." + std::to_string(d);
          set_num(str, format.c_str(), x);
          const size_t len = std::strlen(str);
          ASSERT_LT(len, 64u) << format << " " << x;
          const char *point = std::strchr(str, '.');
          const int decimals = point ? static_cast<int>(std::strlen(point + 1)) : 0;
          EXPECT_LE(decimals, 20);
          const double back = std::strtod(str, nullptr);
          const double expect = std::fabs(x) < 1e-5 ? 0.0 : x;
          EXPECT_LE(std::fabs(back - expect),
                    0.5 * std::pow(10.0, -decimals) * (1 + 1e-12) + std::fabs(expect) * 1e-15)
              << format << " " << x << " -> " << str;
        }
  std::free(str);
}

// ---- chk_arg -------------------------------------------------------------------------

TEST(ChkArg, NamesThenNumbers) {
  const char *names[] = {"alpha", "beta", "gamma"};
  EXPECT_EQ(chk_arg("BETA", names, 3), 1);
  EXPECT_EQ(chk_arg("alpha", names, 3), 0);
  EXPECT_EQ(chk_arg("3", names, 3), 3);
  EXPECT_EQ(chk_arg("1", names, 3), 1);
  EXPECT_EQ(chk_arg(" 2", names, 3), 2);
  EXPECT_EQ(chk_arg("2nd", names, 3), 2);  // the number the answer starts with
  EXPECT_EQ(chk_arg("4", names, 3), -9999);
  EXPECT_EQ(chk_arg("0", names, 3), -9999);
  EXPECT_EQ(chk_arg("-1", names, 3), -9999);
  EXPECT_EQ(chk_arg("delta", names, 3), -9999);
  EXPECT_EQ(chk_arg("alph", names, 3), -9999);
  EXPECT_EQ(chk_arg("", names, 3), -9999);
  EXPECT_EQ(chk_arg("99999999999999999999", names, 3), -9999);
  EXPECT_EQ(chk_arg("4294967298", names, 3), -9999);  // would wrap to 2 in 32 bits
  EXPECT_EQ(chk_arg(nullptr, names, 3), -9999);
  EXPECT_EQ(chk_arg("gamma", names, 2), -9999);  // only num_items names are looked at
}

TEST(ChkArg, NameMatchComesBeforeNumber) {
  const char *names[] = {"10", "2"};
  EXPECT_EQ(chk_arg("2", names, 2), 1);
  EXPECT_EQ(chk_arg("1", names, 2), 1);
  EXPECT_EQ(chk_arg("1", nullptr, 0), -9999);
  EXPECT_EQ(chk_arg("1", nullptr, 5), 1);
}

}  // namespace

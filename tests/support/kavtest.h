// Helpers shared by the test suites.
#ifndef KAV_TESTS_KAVTEST_H
#define KAV_TESTS_KAVTEST_H

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace kavtest {

// What a block of code wrote to standard output and standard error.
struct Captured {
  std::string out;
  std::string err;
};

// Runs fn with standard output and standard error sent to temporary files and
// returns what it wrote. The C and C++ streams are flushed around the call.
Captured capture(const std::function<void()> &fn);

// Runs fn with standard input read from the given text.
void with_stdin(const std::string &input, const std::function<void()> &fn);

// A temporary directory, removed with its contents when it goes out of scope.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string &name) const;
  // Writes text to a file below the directory (creating parent directories)
  // and returns its full name.
  std::string write(const std::string &name, const std::string &text) const;

 private:
  std::string path_;
};

// Seconds since 1970 of a UTC date by the C library's calendar (timegm), the
// reference the date and file-name suites check against.
long long utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0);

// Reads a whole file; empty when it cannot be read.
std::string read_file(const std::string &name);

// The result of running a program.
struct RunResult {
  std::string out;
  std::string err;
  int status = -1;  // exit code, or 128 + signal number
};

// Runs a program with the given arguments (argv[0] first), standard input from
// the text, and extra environment settings "NAME=value" added to (or
// replacing in) the current environment. Never waits longer than timeout_s.
RunResult run(const std::vector<std::string> &argv, const std::string &input = "",
              const std::vector<std::string> &env = {}, int timeout_s = 20);

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const std::string &name, const char *value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv &) = delete;
  ScopedEnv &operator=(const ScopedEnv &) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

// ---- Rows of the data tables in tests/data ----

// How read_rows cuts a line into fields.
enum class Split {
  lines,    // every line kept, blank and comment lines too; no fields
  words,    // blank-separated words; a word in "double quotes" may hold blanks
  bars,     // the text between '|' characters, blanks kept
  columns,  // the text between '|' characters, blanks around it trimmed; a
            // column from '[' to a ']' that ends it may hold '|' and '['
};

// One line of a table.
struct Row {
  std::string file;  // the table's name below tests/data
  int line = 0;      // line number, from 1
  std::string text;  // the line as written
  std::vector<std::string> fields;
  // "file:line", for failure messages.
  std::string where() const;
};

// Prints "file:line: [field] [field] ...", so that GoogleTest names a row by
// its place and content rather than by its bytes.
void PrintTo(const Row &row, std::ostream *os);

// Reads tests/data/<file>. Except for Split::lines, lines that are empty or
// start with '#' are skipped. A table that cannot be read gives no rows (and
// a parameterised suite over it then fails as one that generates no tests).
std::vector<Row> read_rows(const std::string &file, Split split = Split::words);

// A stable test name for a row: "line<N>", then "_" and the label with every
// character that is not a letter or a digit turned into '_' when a label is
// given.
std::string row_test_name(int line, const std::string &label = "");

// Name generator for INSTANTIATE_TEST_SUITE_P over parameters with an int
// member `line`: row_test_name(line).
struct ByLine {
  template <class Info>
  std::string operator()(const Info &info) const {
    return row_test_name(info.param.line);
  }
};

// ---- Case files: "key: value" lines and blocks of lines ----

// text with every occurrence of each key replaced by its value, the keys
// taken in turn ("$TMP" for a temporary directory in a case table).
std::string substitute(std::string text,
                       const std::vector<std::pair<std::string, std::string>> &values);

// The blank-separated words of text (blanks, tabs and line ends separate
// them; no quoting).
std::vector<std::string> words_of(const std::string &text);

// The block of lines that follows lines[*i] in a table read with
// Split::lines: the lines up to one that is ">>" (the text then ends with a
// line feed) or ">>!" (its last line feed dropped), or to the end of the
// table. *i is left on the closing line.
std::string read_block(const std::vector<Row> &lines, size_t *i);

}  // namespace kavtest

#endif

// The windchill command against hostile defaults files and other inputs that
// try to run commands or write files: rows in tests/data/windchill_security.txt
// run in a temporary directory holding the defaults file, plus the cases a
// row cannot express (ownership, signals).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

struct Row {
  std::string name;
  int line = 0;
  std::string kavdef;
  bool has_kavdef = false;
  unsigned mode = 0644;
  std::map<std::string, std::string> given, files;
  std::vector<std::string> absent, args, env;
  std::string out, err;
  int status = 0;
};

// "given NAME <<" -> NAME, for a key such as "given ".
bool block_name(const std::string &line, const char *key, std::string &name) {
  const std::string k = key;
  if (line.rfind(k, 0) != 0 || line.size() < k.size() + 4) return false;
  if (line.compare(line.size() - 3, 3, " <<") != 0) return false;
  name = line.substr(k.size(), line.size() - k.size() - 3);
  return true;
}

std::vector<Row> load_rows() {
  std::vector<Row> rows;
  const std::vector<kavtest::Row> lines =
      kavtest::read_rows("windchill_security.txt", kavtest::Split::lines);
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string &line = lines[i].text;
    if (line.empty() || line[0] == '#') continue;
    auto value = [&](const char *key) { return line.substr(std::string(key).size()); };
    if (line.rfind("case: ", 0) == 0) {
      rows.emplace_back();
      rows.back().name = value("case: ");
      rows.back().line = lines[i].line;
      continue;
    }
    if (rows.empty()) continue;
    Row &r = rows.back();
    if (line == "kavdef <<") {
      r.kavdef = kavtest::read_block(lines, &i);
      r.has_kavdef = true;
    } else if (line.rfind("kavdef-mode: ", 0) == 0) {
      r.mode = static_cast<unsigned>(std::stoul(value("kavdef-mode: "), nullptr, 8));
    } else if (block_name(line, "given ", name)) {
      r.given[name] = kavtest::read_block(lines, &i);
    } else if (block_name(line, "file ", name)) {
      r.files[name] = kavtest::read_block(lines, &i);
    } else if (line.rfind("absent: ", 0) == 0) {
      r.absent.push_back(value("absent: "));
    } else if (line.rfind("args:", 0) == 0) {
      for (auto &w : kavtest::words_of(value("args:"))) r.args.push_back(w);
    } else if (line.rfind("arg: ", 0) == 0) {
      r.args.push_back(value("arg: "));
    } else if (line.rfind("env: ", 0) == 0) {
      r.env.push_back(value("env: "));
    } else if (line.rfind("status: ", 0) == 0) {
      r.status = std::stoi(value("status: "));
    } else if (line == "stdout <<") {
      r.out = kavtest::read_block(lines, &i);
    } else if (line == "stderr <<") {
      r.err = kavtest::read_block(lines, &i);
    }
  }
  return rows;
}

// Runs the command with the working directory dir and no "kavdefault" of the
// caller's, so that the built-in search path (starting with ".") applies.
kavtest::RunResult run_in(const std::string &dir, const std::vector<std::string> &args,
                          const std::vector<std::string> &env) {
  kavtest::ScopedEnv no_path("kavdefault", nullptr);
  const std::filesystem::path back = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  std::vector<std::string> argv{KAV_WINDCHILL_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  kavtest::RunResult r = kavtest::run(argv, "", env);
  std::filesystem::current_path(back);
  return r;
}

void PrintTo(const Row &r, std::ostream *os) { *os << r.name; }

class SecurityRow : public ::testing::TestWithParam<Row> {};

TEST_P(SecurityRow, RunsNothingAndWritesOnlyWhatTheUserAsked) {
  const Row &row = GetParam();
  SCOPED_TRACE("windchill_security.txt line " + std::to_string(row.line) + ": " + row.name);
  kavtest::TempDir dir;
  if (row.has_kavdef) {
    const std::string def = dir.write(".kavdef", row.kavdef);
    ASSERT_EQ(chmod(def.c_str(), static_cast<mode_t>(row.mode)), 0);
  }
  for (const auto &[name, text] : row.given) dir.write(name, text);
  kavtest::RunResult r = run_in(dir.path(), row.args, row.env);
  // A command started through a pipe may still be running: give it time to
  // show itself before looking for what it would have made.
  if (!row.absent.empty()) usleep(300000);
  EXPECT_EQ(r.out, row.out);
  EXPECT_EQ(r.err, row.err);
  EXPECT_EQ(r.status, row.status);
  for (const auto &[name, text] : row.files) EXPECT_EQ(kavtest::read_file(dir.file(name)), text);
  for (const auto &name : row.absent)
    EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name << " was made";
}

std::string row_name(const ::testing::TestParamInfo<Row> &info) {
  return kavtest::row_test_name(info.param.line, info.param.name.substr(0, 60));
}

INSTANTIATE_TEST_SUITE_P(Rows, SecurityRow, ::testing::ValuesIn(load_rows()), row_name);

TEST(SecurityRows, AreLoaded) { EXPECT_GE(load_rows().size(), 12u); }

// A defaults file that belongs to another user (and not to root) is not the
// user's own even when nobody else may write it. Only root can give a file
// away, so the case runs only there.
TEST(SecurityOwner, ForeignDefaultsFileNamesNoLogFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
  kavtest::TempDir dir;
  const std::string def = dir.write(".kavdef", "*.message: print,-fi=foreign.log\n");
  ASSERT_EQ(chmod(def.c_str(), 0644), 0);
  ASSERT_EQ(chown(def.c_str(), 65534, 65534), 0);
  kavtest::RunResult r = run_in(dir.path(), {"20", "15"}, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "5.3\n");
  EXPECT_NE(r.err.find("message=print,-fi=foreign.log not used"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("foreign.log")));
}

// A log pipe whose reader has gone is closed with a warning: the program
// ends normally instead of by SIGPIPE.
TEST(SecurityPipe, ClosedLogPipeDoesNotKill) {
  kavtest::TempDir dir;
  // The reader closes its input and waits, so every write after the first
  // moments meets a pipe with no reader.
  kavtest::RunResult r =
      run_in(dir.path(), {"-me=print,out1,+fi=|exec 0<&-; sleep 2", "-ta", "20", "15"}, {});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("5.3\n"), std::string::npos);
}

// Standard output that cannot be written (a full disc, a closed descriptor)
// ends with a message and exit code 74, as cat and printf do, never 0.
TEST(SecurityOutput, FailedStandardOutputIsAnError) {
  const char *const kCases[] = {"\"$0\" 20 15 >/dev/full", "\"$0\" -ta >/dev/full",
                                "\"$0\" 20 15 >&-"};
  for (const char *script : kCases) {
    SCOPED_TRACE(script);
    kavtest::RunResult r =
        kavtest::run({"/bin/sh", "-c", script, KAV_WINDCHILL_BIN}, "", {"kavdefault=/nonexistent"});
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err.rfind("KAV_exit: Unable to write standard output: ", 0), 0u) << r.err;
  }
}

}  // namespace

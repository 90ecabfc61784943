// The kavsounding command, run as a program: rows of arguments, standard
// input, expected output, error text and exit code in
// tests/data/kavsounding_cases.txt, and the KAVRAW file it writes read back.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

struct Case {
  std::string name;
  int line = 0;
  std::string args;
  std::string input;
  std::string out;
  bool out_exact = false;
  bool out_given = false;
  std::string err;
  bool err_given = false;
  int status = 0;
};

std::vector<Case> load_cases() {
  std::vector<Case> cases;
  const std::vector<kavtest::Row> lines =
      kavtest::read_rows("kavsounding_cases.txt", kavtest::Split::lines);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string &line = lines[i].text;
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("case: ", 0) == 0) {
      cases.emplace_back();
      cases.back().name = line.substr(6);
      cases.back().line = lines[i].line;
    } else if (cases.empty()) {
      continue;
    } else if (line.rfind("args:", 0) == 0) {
      cases.back().args = line.substr(5);
    } else if (line.rfind("status: ", 0) == 0) {
      cases.back().status = std::stoi(line.substr(8));
    } else if (line == "stdin <<") {
      cases.back().input = kavtest::read_block(lines, &i);
    } else if (line == "stdout <<" || line == "stdout has <<") {
      cases.back().out_exact = line == "stdout <<";
      cases.back().out_given = true;
      cases.back().out = kavtest::read_block(lines, &i);
    } else if (line == "stderr <<") {
      cases.back().err_given = true;
      cases.back().err = kavtest::read_block(lines, &i);
    }
  }
  return cases;
}

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

std::string substitute(const std::string &s, const std::string &tmp) {
  return kavtest::substitute(s, {{"$DATA", KAV_TEST_DATA}, {"$TMP", tmp}});
}

class KavsoundingCase : public ::testing::TestWithParam<Case> {};

TEST_P(KavsoundingCase, OutputAndStatus) {
  const Case &c = GetParam();
  kavtest::TempDir dir;
  std::vector<std::string> argv{KAV_SOUNDING_BIN};
  for (auto &w : kavtest::words_of(substitute(c.args, dir.path()))) argv.push_back(w);
  kavtest::RunResult r = kavtest::run(argv, c.input, {"kavdefault=/nonexistent"});
  SCOPED_TRACE("kavsounding_cases.txt line " + std::to_string(c.line) + ": " + c.name);
  std::string out = substitute(c.out, dir.path());
  if (c.out_given && c.out_exact) {
    EXPECT_EQ(r.out, out);
  }
  if (c.out_given && !c.out_exact) {
    std::istringstream lines(out);
    for (std::string l; std::getline(lines, l);)
      EXPECT_NE(("\n" + r.out).find("\n" + l + "\n"), std::string::npos) << l << "\n" << r.out;
  }
  if (c.err_given) {
    EXPECT_EQ(r.err, substitute(c.err, dir.path()));
  }
  EXPECT_EQ(r.status, c.status) << r.err;
}

std::string case_name(const ::testing::TestParamInfo<Case> &info) {
  return kavtest::row_test_name(info.param.line, info.param.name);
}

INSTANTIATE_TEST_SUITE_P(Rows, KavsoundingCase, ::testing::ValuesIn(load_cases()), case_name);

TEST(KavsoundingRows, AreLoaded) { EXPECT_GE(load_cases().size(), 15u); }

// The help listing names each positional argument once.
TEST(Kavsounding, HelpNamesTheFileOnce) {
  const kavtest::RunResult r =
      kavtest::run({KAV_SOUNDING_BIN, "-h"}, "", {"kavdefault=/nonexistent"});
  ASSERT_EQ(r.status, 0) << r.err;
  size_t count = 0;
  for (size_t at = r.out.find("\n file "); at != std::string::npos;
       at = r.out.find("\n file ", at + 1))
    ++count;
  EXPECT_EQ(count, 1u) << r.out;
}

// The file written reads back to the same analysis, within the rounding of
// its columns.
TEST(Kavsounding, WrittenFileAnalysesAlike) {
  kavtest::TempDir dir;
  std::string raw = dir.file("oax.raw");
  std::string src = std::string(KAV_TEST_DATA) + "/ua_oax_2014061619.txt";
  auto first = kavtest::run({KAV_SOUNDING_BIN, src, "-pp", "par=sfc", "-pa", "indices", "-o", raw},
                            "", {"kavdefault=/nonexistent"});
  ASSERT_EQ(first.status, 0) << first.err;
  auto second = kavtest::run({KAV_SOUNDING_BIN, raw, "-pp", "par=sfc", "-pa", "indices"}, "",
                             {"kavdefault=/nonexistent"});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_NE(second.out.find("ID: OAX Sounding\n"), std::string::npos);
  auto value = [](const std::string &out, const std::string &key) {
    size_t at = out.find(key);
    return at == std::string::npos ? -1.0 : std::stod(out.substr(at + key.size()));
  };
  for (const char *key : {"CAPE (B+):", "Lift Cond Lev (LCL):", "Equ Level (EL):",
                          "Precipitable water:", "Lifted Index:"}) {
    double a = value(first.out, key), b = value(second.out, key);
    EXPECT_NEAR(a, b, 0.01 * std::abs(a) + 0.1) << key;
  }
}

}  // namespace

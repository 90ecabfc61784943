// The windchill command, run as a program: rows of arguments, standard input,
// expected standard output, standard error and exit code in
// tests/data/windchill_cases.txt, plus the cases a row cannot express.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

struct Case {
  std::string name;
  int line = 0;
  std::vector<std::string> args;
  std::vector<std::string> env;
  std::string input;
  std::string out;
  std::string err;
  int status = 0;
};

std::vector<Case> load_cases() {
  std::vector<Case> cases;
  const std::vector<kavtest::Row> lines =
      kavtest::read_rows("windchill_cases.txt", kavtest::Split::lines);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string &line = lines[i].text;
    if (line.empty() || line[0] == '#') continue;
    auto value = [&](const char *key) { return line.substr(std::string(key).size()); };
    if (line.rfind("case: ", 0) == 0) {
      cases.emplace_back();
      cases.back().name = value("case: ");
      cases.back().line = lines[i].line;
    } else if (cases.empty()) {
      continue;
    } else if (line.rfind("args:", 0) == 0) {
      for (auto &w : kavtest::words_of(value("args:"))) cases.back().args.push_back(w);
    } else if (line.rfind("arg: ", 0) == 0) {
      cases.back().args.push_back(value("arg: "));
    } else if (line.rfind("env: ", 0) == 0) {
      cases.back().env.push_back(value("env: "));
    } else if (line.rfind("status: ", 0) == 0) {
      cases.back().status = std::stoi(value("status: "));
    } else if (line == "stdin <<") {
      cases.back().input = kavtest::read_block(lines, &i);
    } else if (line == "stdout <<") {
      cases.back().out = kavtest::read_block(lines, &i);
    } else if (line == "stderr <<") {
      cases.back().err = kavtest::read_block(lines, &i);
    }
  }
  return cases;
}

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

class WindchillCase : public ::testing::TestWithParam<Case> {};

TEST_P(WindchillCase, OutputAndStatus) {
  const Case &c = GetParam();
  std::vector<std::string> argv{KAV_WINDCHILL_BIN};
  argv.insert(argv.end(), c.args.begin(), c.args.end());
  std::vector<std::string> env = c.env;
  env.push_back("kavdefault=/nonexistent");
  kavtest::RunResult r = kavtest::run(argv, c.input, env);
  SCOPED_TRACE("windchill_cases.txt line " + std::to_string(c.line) + ": " + c.name);
  EXPECT_EQ(r.out, c.out);
  EXPECT_EQ(r.err, c.err);
  EXPECT_EQ(r.status, c.status);
}

std::string case_name(const ::testing::TestParamInfo<Case> &info) {
  return kavtest::row_test_name(info.param.line, info.param.name);
}

INSTANTIATE_TEST_SUITE_P(Rows, WindchillCase, ::testing::ValuesIn(load_cases()), case_name);

TEST(WindchillRows, AreLoaded) { EXPECT_GE(load_cases().size(), 20u); }

// A program name far longer than the help text's buffer is cut, not overflowed.
TEST(WindchillHelp, LongProgramNameIsCut) {
  kavtest::TempDir dir;
  std::string name(200, 'w');
  std::string link = dir.file(name);
  ASSERT_EQ(symlink(KAV_WINDCHILL_BIN, link.c_str()), 0);
  kavtest::RunResult r = kavtest::run({link, "-h"});
  EXPECT_EQ(r.status, 0);
  std::string cut(49, 'w');
  EXPECT_EQ(r.out.rfind(cut + ": This program calculates the wind chill given temperature\n", 0),
            0u)
      << r.out.substr(0, 120);
  EXPECT_EQ(r.out.find(cut + "w"), std::string::npos);
}

// An option name of any length is decoded without overflow.
TEST(WindchillOptions, HugeOptionNameIsHarmless) {
  std::string opt = "-" + std::string(5000, 't') + "=1";
  kavtest::RunResult r = kavtest::run({KAV_WINDCHILL_BIN, opt, "20", "15"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "5.3\n");
}

// The command itself against chart cells, the wind converted from mph to knots.
TEST(WindchillChart, CommandMatchesPublishedCells) {
  struct Cell {
    double t_f, v_mph, chart_f;
  };
  const Cell cells[] = {{40, 5, 36},    {20, 15, 6},   {0, 30, -26},
                        {-10, 15, -32}, {-20, 5, -34}, {-40, 30, -80}};
  for (const Cell &c : cells) {
    char t[32], v[32];
    std::snprintf(t, sizeof t, "%g", c.t_f);
    std::snprintf(v, sizeof v, "%.4f", c.v_mph * 0.868976);
    kavtest::RunResult r = kavtest::run({KAV_WINDCHILL_BIN, t, v});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(std::stod(r.out), c.chart_f, 1.0) << t << " F, " << c.v_mph << " mph";
  }
}

// A closed standard input ends both prompts at once.
TEST(WindchillPrompts, ClosedInputEnds) {
  kavtest::RunResult r = kavtest::run({KAV_WINDCHILL_BIN, "-me=print"}, "", {}, 5);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Enter the temperature (F): Enter the wind speed (knots): 0.0\n");
}

}  // namespace

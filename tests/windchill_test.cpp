// The windchill command, run as a program: rows of arguments, standard input,
// expected standard output, standard error and exit code in
// tests/data/windchill_cases.txt, plus the cases a row cannot express.
#include <gtest/gtest.h>
#include <kav/calc.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>
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

std::vector<std::string> split_words(const std::string &s) {
  std::istringstream in(s);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Reads a block of lines up to ">>" (text ends with a newline) or ">>!" (the
// last newline is dropped).
std::string read_block(std::istream &in, int &line_no) {
  std::string text, line;
  while (std::getline(in, line)) {
    ++line_no;
    if (line == ">>") return text;
    if (line == ">>!") {
      if (!text.empty()) text.pop_back();
      return text;
    }
    text += line + "\n";
  }
  return text;
}

std::vector<Case> load_cases() {
  std::vector<Case> cases;
  std::ifstream in(std::string(KAV_TEST_DATA) + "/windchill_cases.txt");
  std::string line;
  int line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    if (line.empty() || line[0] == '#') continue;
    auto value = [&](const char *key) { return line.substr(std::string(key).size()); };
    if (line.rfind("case: ", 0) == 0) {
      cases.emplace_back();
      cases.back().name = value("case: ");
      cases.back().line = line_no;
    } else if (cases.empty()) {
      continue;
    } else if (line.rfind("args:", 0) == 0) {
      for (auto &w : split_words(value("args:"))) cases.back().args.push_back(w);
    } else if (line.rfind("arg: ", 0) == 0) {
      cases.back().args.push_back(value("arg: "));
    } else if (line.rfind("env: ", 0) == 0) {
      cases.back().env.push_back(value("env: "));
    } else if (line.rfind("status: ", 0) == 0) {
      cases.back().status = std::stoi(value("status: "));
    } else if (line == "stdin <<") {
      cases.back().input = read_block(in, line_no);
    } else if (line == "stdout <<") {
      cases.back().out = read_block(in, line_no);
    } else if (line == "stderr <<") {
      cases.back().err = read_block(in, line_no);
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
  std::string n;
  for (char ch : info.param.name) n += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return std::to_string(info.index) + "_" + n;
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

// The newer equivalent temperature against the published wind chill chart
// (temperatures in F, winds in mph; the chart is computed from the formula in
// F and mph, so it checks the kelvin and m/s form to within a degree).
TEST(WindChillFormula, MatchesPublishedChart) {
  struct Row {
    double t_f, v_mph, chart_f;
  };
  const Row rows[] = {{40, 5, 36},    {40, 30, 28},  {30, 10, 21},   {20, 15, 6},
                      {10, 20, -9},   {0, 15, -19},  {0, 60, -33},   {-10, 25, -37},
                      {-20, 40, -57}, {-30, 5, -46}, {-45, 60, -98}, {25, 35, 8}};
  for (const Row &r : rows) {
    float tk = static_cast<float>(273.15 + 5.0 * (r.t_f - 32.0) / 9.0);
    float ms = static_cast<float>(r.v_mph * 0.44704);
    double f = 32.0 + 9.0 * (wind_chill_temp2(tk, ms) - 273.15) / 5.0;
    EXPECT_NEAR(f, r.chart_f, 1.0) << r.t_f << " F, " << r.v_mph << " mph";
  }
}

TEST(WindChillFormula, EdgesOfTheOlderModels) {
  // Calm air and air above skin temperature come back unchanged.
  EXPECT_FLOAT_EQ(wind_chill_temp(260.0f, 1.9f), 260.0f);
  EXPECT_FLOAT_EQ(wind_chill_temp(307.0f, 10.0f), 307.0f);
  EXPECT_FLOAT_EQ(wind_chill(260.0f, 1.9f), 260.0f);
  // The wind is capped at 26 m/s.
  EXPECT_FLOAT_EQ(wind_chill_temp(250.0f, 40.0f), wind_chill_temp(250.0f, 26.0f));
  EXPECT_FLOAT_EQ(wind_chill(250.0f, 40.0f), wind_chill(250.0f, 26.0f));
  // Heat loss by hand: (306.15 - 263.15) * (10.45 + 10*sqrt(4) - 4) * 1.1627.
  EXPECT_NEAR(wind_chill(263.15f, 4.0f), 43.0 * 26.45 * 1.1627, 0.01);
  // Missing or negative input gives the missing value.
  for (auto fn : {wind_chill_temp, wind_chill_temp2, wind_chill}) {
    EXPECT_EQ(fn(-9999.0f, 5.0f), -9999.0f);
    EXPECT_EQ(fn(260.0f, -9999.0f), -9999.0f);
    EXPECT_EQ(fn(260.0f, -0.1f), -9999.0f);
  }
  // The newer model never exceeds the air temperature.
  EXPECT_FLOAT_EQ(wind_chill_temp2(266.48f, 0.5f), 266.48f);
}

}  // namespace

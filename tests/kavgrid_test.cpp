// The kavgrid command: cases as rows of arguments, output and exit code,
// and conversions read back through the library.
#include <gtest/gtest.h>
#include <kav/grd_read.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

struct Case {
  std::string args;
  int status;
  std::string out, err;
  int line;
};

std::string unescape(std::string s) {
  for (size_t p; (p = s.find("\\n")) != std::string::npos;) s.replace(p, 2, "\n");
  return s;
}

std::string trim(const std::string &s) {
  const size_t b = s.find_first_not_of(' ');
  const size_t e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<Case> read_cases() {
  std::vector<Case> rows;
  for (const kavtest::Row &row : kavtest::read_rows("kavgrid_cases.txt", kavtest::Split::lines)) {
    const std::string &line = row.text;
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    size_t b = 0;
    for (int k = 0; k < 3; ++k) {  // the last field may hold '|'
      const size_t e = line.find(" | ", b);
      f.push_back(line.substr(b, e - b));
      b = e + 3;
    }
    f.push_back(line.substr(b));
    rows.push_back(
        {trim(f[0]), std::stoi(f[1]), unescape(trim(f[2])), unescape(trim(f[3])), row.line});
  }
  return rows;
}

std::vector<std::string> split_args(const std::string &args, const std::string &tmp) {
  std::vector<std::string> out = {KAV_KAVGRID_BIN};
  for (const std::string &a : kavtest::words_of(args))
    out.push_back(kavtest::substitute(a, {{"$DATA", KAV_TEST_DATA "/grid"}, {"$TMP", tmp}}));
  return out;
}

class KavgridCase : public ::testing::TestWithParam<Case> {};

void PrintTo(const Case &c, std::ostream *os) { *os << "line " << c.line; }

TEST_P(KavgridCase, Runs) {
  const Case &c = GetParam();
  kavtest::TempDir dir;
  const kavtest::RunResult r =
      kavtest::run(split_args(c.args, dir.path()), "", {"kavfile=" KAV_SOURCE_DATA});
  EXPECT_EQ(r.status, c.status) << r.err;
  if (c.out != "-") {
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
  }
  if (c.err != "-") {
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  if (c.status == 0 && c.args.rfind("-h", 0) != 0) {
    EXPECT_EQ(r.err, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, KavgridCase, ::testing::ValuesIn(read_cases()), kavtest::ByLine());

// Conversions into every writable format keep every grid.
TEST(Kavgrid, ConvertsIntoEachWritableFormat) {
  kavtest::TempDir dir;
  for (const char *format : {"plain", "text", "binary", "netcdf"}) {
    const std::string out = dir.file(std::string("c.") + format);
    const kavtest::RunResult r =
        kavtest::run({KAV_KAVGRID_BIN, "-o", out, "-t", format, KAV_TEST_DATA "/grid/chars.grd"});
    ASSERT_EQ(r.status, 0) << r.err;
    int type = 0;
    const int fd = GRD_open(out.c_str(), 0, &type);
    ASSERT_GE(fd, 0);
    GRD_info info;
    GRD_getinfo(fd, &info);
    GRD_report g;
    GRD_init(&g);
    int count = 0;
    for (int n = 0;; ++n) {
      int num = n;
      if (GRD_read(fd, &g, 0, &num) != 0) break;
      EXPECT_EQ(g.domain.nx, 19);
      EXPECT_EQ(g.var, n == 0 ? 4 : 22 + n);
      ++count;
    }
    EXPECT_EQ(count, 3) << format;
    std::free(g.grid);
    GRD_close(fd);
  }
}

}  // namespace

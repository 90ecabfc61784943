// Reads and opens that fail inside the sounding readers: the reader ends with
// its failure result and a message, and a sounding read in part is neither
// returned nor installed.
#include <gtest/gtest.h>
#include <kav/mess.h>
#include <kav/thm_tool.h>
#include <kav/ua_read.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/fault.h"
#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

const std::string kRaw = KAV_TEST_DATA "/ua_bna_2014072800.raw";
const std::string kText = KAV_TEST_DATA "/ua_bna_2014072800.txt";

// Every report of a KAVRAW file as "station pressure field value" lines;
// the last result of UPA_raw_read in *last (-9 when the open failed).
std::string raw_reports(const std::string &name, int *last) {
  *last = -9;
  const int fd = UPA_raw_open(name.c_str());
  if (fd < 0) return "";
  std::ostringstream out;
  out << UPA_raw_label(fd) << '|' << UPA_raw_info(fd) << '\n';
  char station[6];
  float pres, value;
  int field;
  while ((*last = UPA_raw_read(fd, station, &pres, &field, &value)) == 0)
    out << station << ' ' << pres << ' ' << field << ' ' << value << '\n';
  UPA_raw_close(fd);
  return out.str();
}

TEST(FailIOSounding, RawFileReader) {
  MESS_set(0, M_WARN | M_ERROR);
  int last = 0;
  const std::string all = raw_reports(kRaw, &last);
  ASSERT_EQ(last, -1);
  const int struck = kavtest::io_sweep("UPA_raw_read", [&] {
    const std::string got = raw_reports(kRaw, &last);
    // What came before the failure is the start of the file's reports.
    EXPECT_EQ(all.compare(0, got.size(), got), 0);
    if (last != -1 && last != -9) {
      EXPECT_EQ(last, -2);
    }
    return last == -1 && got == all;
  });
  EXPECT_GT(struck, 6000);
  kavtest::open_sweep("UPA_raw_open", [&] { return !raw_reports(kRaw, &last).empty(); });
}

// The levels of the sounding installed now.
std::vector<float> installed() {
  std::vector<float> v;
  const UPA_level *sm = THERM_get_SM();
  for (int i = 0; i < THERM_get_SM_num(); ++i) {
    v.push_back(sm[i].p);
    v.push_back(sm[i].t);
  }
  return v;
}

TEST(FailIOSounding, RawFileInstalledWholeOrNotAtAll) {
  MESS_set(0, M_WARN | M_ERROR);
  // A short sounding, installed first: a failed read must leave it.
  kavtest::TempDir dir;
  std::ifstream in(kRaw);
  std::string line, head;
  for (int i = 0; i < 7 && std::getline(in, line); ++i) head += line + "\n";
  const std::string small = dir.write("small.raw", head);
  ASSERT_EQ(THERM_read_raw(small.c_str()), 0);
  const std::vector<float> before = installed();
  const std::string id = THERM_get_id();
  ASSERT_EQ(before.size(), 6u);  // three levels
  // The reads of the file's first lines come first: a failure there ends the
  // program (as a file that cannot be opened does), so the sweep starts after.
  int opening = 0;
  {
    kavtest::FailIO count(1 << 30);
    const int fd = UPA_raw_open(kRaw.c_str());
    opening = count.calls();
    UPA_raw_close(fd);
  }
  ASSERT_GT(opening, 20);
  int struck = 0;
  for (int nth = 1;; ++nth) {
    int r = 0;
    bool hit = false;
    const std::string err = kavtest::capture([&] {
                              kavtest::FailIO fail(opening + nth);
                              r = THERM_read_raw(kRaw.c_str());
                              hit = fail.struck();
                            }).err;
    if (!hit) {
      EXPECT_EQ(r, 0);
      EXPECT_GT(installed().size(), before.size());
      break;
    }
    ++struck;
    EXPECT_EQ(r, -1) << nth;
    EXPECT_NE(err.find("UPA_raw_read: Unable to read sounding file: " + kRaw), std::string::npos)
        << err;
    EXPECT_EQ(installed(), before) << "read " << nth << " failed, yet levels were installed";
    EXPECT_EQ(THERM_get_id(), id);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(struck, 6000);
}

TEST(FailIOSounding, TextFileReader) {
  MESS_set(0, M_WARN | M_ERROR);
  std::vector<UPA_level> levels(400);
  char id[16];
  Date date;
  const int want = UPA_read_text(kText.c_str(), levels.data(), 400, id, sizeof id, &date);
  ASSERT_GT(want, 10);
  const auto read = [&] {
    return UPA_read_text(kText.c_str(), levels.data(), 400, id, sizeof id, &date) == want;
  };
  const int struck = kavtest::io_sweep("UPA_read_text", read);
  EXPECT_GT(struck, 5000);
  kavtest::open_sweep("UPA_read_text", read);
}

}  // namespace

// The station file reader: the line format and its edge cases, malformed and
// over-long lines, the writer, the database name rules, and look-ups of
// well-known stations in the shipped files against their sources.
#include <gtest/gtest.h>
#include <kav/cty_read.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

const std::string kFixtures = KAV_TEST_DATA "/cty/";

class CtyRead : public ::testing::Test {
 protected:
  void SetUp() override {
    RES_put("city_file", "");
    RES_put("file_path", KAV_SOURCE_DATA);
    RES_put("stat_prior", "");
  }
  void TearDown() override { RES_put("file_path", ""); }
};

std::vector<CTY_data> read_all(const std::string &file, std::vector<int> *counts = nullptr) {
  std::vector<CTY_data> out;
  const int fd = CTY_open(file.c_str(), 0, 0);
  EXPECT_GE(fd, 0) << file;
  CTY_data d;
  int n;
  while ((n = CTY_read(fd, &d)) > 0) {
    out.push_back(d);
    if (counts) counts->push_back(n);
  }
  CTY_close(fd);
  return out;
}

TEST_F(CtyRead, PriorityMarksElevationAndTheOptionalNumber) {
  std::vector<int> counts;
  const auto recs = read_all(kFixtures + "edge.cty", &counts);
  ASSERT_EQ(recs.size(), 4u);  // the blank line is passed over
  EXPECT_STREQ(recs[0].name, "Fixture_both");
  EXPECT_STREQ(recs[0].state, "WI");
  EXPECT_STREQ(recs[0].region, "US");
  EXPECT_STREQ(recs[0].id, "FXA");
  EXPECT_EQ(recs[0].prior, 3);
  EXPECT_EQ(recs[0].mos, '*');
  EXPECT_EQ(recs[0].ua, '*');
  EXPECT_EQ(recs[0].el, -9999.0f);  // 9999 reads as missing
  EXPECT_EQ(recs[1].prior, 3);
  EXPECT_EQ(recs[1].mos, ' ');
  EXPECT_EQ(recs[1].ua, ' ');
  EXPECT_EQ(recs[1].el, 250.0f);
  EXPECT_EQ(recs[1].num, 0);  // left off
  EXPECT_EQ(counts, (std::vector<int>{10, 9, 10, 10}));
  EXPECT_EQ(recs[2].mos, '*');
  EXPECT_EQ(recs[2].ua, ' ');
  EXPECT_EQ(recs[2].el, -9999.0f);  // above 9000
  EXPECT_EQ(recs[2].num, 12);
  EXPECT_EQ(recs[3].mos, ' ');
  EXPECT_EQ(recs[3].ua, '*');
  EXPECT_EQ(recs[3].el, 9000.0f);
  EXPECT_EQ(recs[3].wmo, 71002);
}

TEST_F(CtyRead, MalformedLinesAreSkippedAndCountedWithOneWarning) {
  std::vector<CTY_data> recs;
  const auto cap = kavtest::capture([&] { recs = read_all(kFixtures + "malformed.cty"); });
  std::vector<std::string> names;
  for (const auto &r : recs) names.push_back(r.name);
  // A short line takes nothing from the next one; an over-long priority, an
  // over-long name, an extra field, a latitude off the earth and an
  // elevation that is not a number are lines skipped, not records.
  EXPECT_EQ(names, (std::vector<std::string>{"Fixture_one", "Fixture_three", "Fixture_nine"}));
  EXPECT_EQ(recs[1].lat, 43.2f);
  EXPECT_EQ(recs[1].lon, -89.2f);
  EXPECT_EQ(recs[2].num, 0);  // the carriage return is a blank
  EXPECT_NE(cap.err.find("CTY_read: Skipping line 2 of " + kFixtures + "malformed.cty"),
            std::string::npos)
      << cap.err;
  EXPECT_EQ(cap.err.find("line 4 of"), std::string::npos);  // one warning for the first
  EXPECT_NE(cap.err.find("CTY_read: 6 lines of " + kFixtures + "malformed.cty skipped"),
            std::string::npos)
      << cap.err;
}

TEST_F(CtyRead, ALineLongerThanALineCanBeIsSkippedWhole) {
  kavtest::TempDir dir;
  const std::string file = dir.write(
      "long.cty", "Fixture_long WI US FXL 3 43.0 -89.0 0 99999 0 " + std::string(400, '9') +
                      "\nFixture_next WI US FXN 3 43.5 -89.5 0 99999 0\n");
  std::vector<CTY_data> recs;
  const auto cap = kavtest::capture([&] { recs = read_all(file); });
  ASSERT_EQ(recs.size(), 1u);
  EXPECT_STREQ(recs[0].id, "FXN");
  EXPECT_NE(cap.err.find("line 1 of " + file), std::string::npos) << cap.err;
}

TEST_F(CtyRead, WhatIsWrittenReadsBackWithoutNegativeZeros) {
  kavtest::TempDir dir;
  const std::string file = dir.file("out.cty");
  const int fd = CTY_open(file.c_str(), 1, 7);
  ASSERT_GE(fd, 0);
  CTY_data a;
  CTY_data_init(&a);
  std::snprintf(a.name, sizeof a.name, "Fixture_zero");
  std::snprintf(a.state, sizeof a.state, "--");
  std::snprintf(a.region, sizeof a.region, "B_");
  std::snprintf(a.id, sizeof a.id, "--");
  a.prior = 4;
  a.mos = '*';
  a.lat = -0.0002f;
  a.lon = -0.0001f;
  a.el = -0.2f;
  a.wmo = 12345;
  a.num = 3;
  EXPECT_EQ(CTY_write(fd, &a), 0);
  CTY_data b = a;
  b.el = KAV_MISSING;
  b.ua = '*';
  b.lat = -12.25f;
  EXPECT_EQ(CTY_write(fd, &b), 0);
  CTY_data d;
  EXPECT_EQ(CTY_read(fd, &d), -1);  // not open for reading
  EXPECT_EQ(CTY_close(fd), 0);
  const std::string text = kavtest::read_file(file);
  EXPECT_EQ(text.find("-0"), std::string::npos) << text;
  EXPECT_NE(text.find("*4 "), std::string::npos);
  EXPECT_NE(text.find("*4*"), std::string::npos);
  const auto back = read_all(file);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_STREQ(back[0].name, "Fixture_zero");
  EXPECT_STREQ(back[0].region, "B_");
  EXPECT_EQ(back[0].lat, 0.0f);
  EXPECT_FALSE(std::signbit(back[0].lat));
  EXPECT_EQ(back[0].el, 0.0f);
  EXPECT_EQ(back[0].wmo, 12345);
  EXPECT_EQ(back[0].num, 3);
  EXPECT_EQ(back[1].lat, -12.25f);
  EXPECT_EQ(back[1].el, -9999.0f);
  EXPECT_EQ(back[1].ua, '*');
  const auto cap = kavtest::capture([&] { CTY_print(M_PRINT, &b); });
  EXPECT_NE(cap.out.find("Fixture_zero"), std::string::npos);
}

TEST_F(CtyRead, FileOperationsNeedTheOpenFile) {
  CTY_data d;
  CTY_info info{-1};
  EXPECT_EQ(CTY_read(3, &d), -1);
  EXPECT_EQ(CTY_rewind(3), -1);
  EXPECT_EQ(CTY_close(3), -1);
  EXPECT_EQ(CTY_getinfo(3, &info), -1);
  EXPECT_EQ(CTY_open((kFixtures + "edge.cty").c_str(), 2, 0), -1);
  EXPECT_EQ(CTY_open("|cat /etc/passwd", 0, 0), -1);
  const int fd = CTY_open((kFixtures + "edge.cty").c_str(), 0, 5);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(CTY_read(fd + 1, &d), -1);  // not that file's descriptor
  ASSERT_GT(CTY_read(fd, &d), 0);
  ASSERT_GT(CTY_read(fd, &d), 0);
  EXPECT_EQ(CTY_getinfo(fd, &info), 0);
  EXPECT_EQ(info.dtype, 5);
  ASSERT_GT(CTY_read(fd, &d), 0);  // rewound
  EXPECT_STREQ(d.id, "FXA");
  EXPECT_EQ(CTY_close(fd), 0);
  EXPECT_EQ(CTY_close(fd), -1);
}

TEST_F(CtyRead, DatabaseNameRules) {
  int n = -1;
  // Along file_path; the estimate is the size over 59, at most 4000.
  int fd = CTY_open_file("upa.cty", &n);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(n, static_cast<int>(kavtest::read_file(KAV_SOURCE_DATA "/upa.cty").size() / 59));
  CTY_close(fd);
  fd = CTY_open_file(nullptr, &n);  // sao.cty
  ASSERT_GE(fd, 0);
  EXPECT_EQ(n, 4000);
  CTY_close(fd);
  // The city_file resource replaces the name; "none" means no database.
  RES_put("city_file", (kFixtures + "edge.cty").c_str());
  fd = CTY_open_file("upa.cty", &n);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(n, 4);
  CTY_close(fd);
  RES_put("city_file", "NoNe");
  auto cap = kavtest::capture([&] { EXPECT_EQ(CTY_open_file(nullptr, &n), -1); });
  EXPECT_EQ(cap.err, "");
  CTY_data d;
  EXPECT_EQ(CTY_get(nullptr, "KMSN", &d), 0);
  RES_put("city_file", "");
  cap = kavtest::capture([&] { EXPECT_EQ(CTY_open_file("nosuch.cty", &n), -1); });
  EXPECT_NE(cap.err.find("CTY_open_file: Database file not found: " KAV_SOURCE_DATA "/nosuch.cty"),
            std::string::npos)
      << cap.err;
  cap = kavtest::capture([&] { EXPECT_EQ(CTY_open_file("|echo hi", &n), -1); });
  EXPECT_EQ(cap.out, "");
}

struct SourceRow {
  std::string file, lookup, id;
  int wmo;
  float lat, lon, el;
};

std::vector<SourceRow> source_rows() {
  std::vector<SourceRow> rows;
  std::ifstream in(KAV_TEST_DATA "/cty_sources.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ss(line);
    SourceRow r;
    ss >> r.file >> r.lookup >> r.id >> r.wmo >> r.lat >> r.lon >> r.el;
    rows.push_back(r);
  }
  return rows;
}

TEST_F(CtyRead, WellKnownStationsMatchTheirSources) {
  const auto rows = source_rows();
  ASSERT_GE(rows.size(), 16u);
  for (const auto &r : rows) {
    CTY_data d;
    ASSERT_EQ(CTY_get(r.file.c_str(), r.lookup.c_str(), &d), 1) << r.lookup;
    EXPECT_STREQ(d.id, r.id.c_str());
    EXPECT_EQ(d.wmo, r.wmo);
    EXPECT_NEAR(d.lat, r.lat, 0.001) << r.lookup;
    EXPECT_NEAR(d.lon, r.lon, 0.001) << r.lookup;
    EXPECT_EQ(d.el, r.el);
    if (r.file == "upa.cty") {
      EXPECT_EQ(d.ua, '*');
    }
  }
}

TEST_F(CtyRead, LooksUpByIdentifierNameOrWmoNumberIgnoringCase) {
  CTY_data d;
  std::string out;
  const auto cap = kavtest::capture([&] { EXPECT_EQ(CTY_get("upa.cty", "oax", &d), 1); });
  EXPECT_NE(cap.out.find("Searching the city database file for: oax ..."), std::string::npos);
  EXPECT_EQ(d.wmo, 72558);
  EXPECT_EQ(CTY_get("upa.cty", "72327", &d), 1);
  EXPECT_STREQ(d.id, "BNA");
  EXPECT_EQ(CTY_get("upa.cty", "VALLEY", &d), 1);
  EXPECT_EQ(d.wmo, 72558);
  EXPECT_EQ(CTY_get(nullptr, "nashville_intl", &d), 1);
  EXPECT_STREQ(d.id, "KBNA");
  // Placeholders for a missing identifier or WMO number find nothing.
  EXPECT_EQ(CTY_get("upa.cty", "--", &d), 0);
  EXPECT_EQ(CTY_get(nullptr, "99999", &d), 0);
  EXPECT_EQ(CTY_get(nullptr, "XXXX", &d), 0);
  float lat = 1, lon = 2;
  kavtest::capture([&] { EXPECT_EQ(CTY_get_loc(nullptr, "nosuch", &lat, &lon), 0); });
  EXPECT_EQ(lat, 1);
  EXPECT_EQ(lon, 2);
  EXPECT_EQ(CTY_get_loc("upa.cty", "OAX", &lat, &lon), 1);
  EXPECT_FLOAT_EQ(lat, 41.32f);
  EXPECT_FLOAT_EQ(lon, -96.37f);
}

TEST_F(CtyRead, StationCentredDomains) {
  Domain dom;
  kavtest::capture([&] { EXPECT_EQ(DOM_decode("id:KMSN", &dom), 1); });
  EXPECT_FLOAT_EQ(dom.clat, 43.133f);
  EXPECT_FLOAT_EQ(dom.clon, -89.35f);
  kavtest::capture([&] { EXPECT_EQ(DOM_decode("id:upa.cty:72558", &dom), 1); });
  EXPECT_FLOAT_EQ(dom.clat, 41.32f);
  EXPECT_FLOAT_EQ(dom.clon, -96.37f);
  kavtest::capture([&] { EXPECT_EQ(DOM_decode("id:NOSUCH", &dom), -1); });
}

TEST_F(CtyRead, ShippedFilesReadWithoutASkippedLine) {
  for (const char *f : {"/sao.cty", "/upa.cty"}) {
    size_t n = 0;
    const auto cap =
        kavtest::capture([&] { n = read_all(std::string(KAV_SOURCE_DATA) + f).size(); });
    EXPECT_EQ(cap.err, "") << f;
    EXPECT_GT(n, 150u) << f;
  }
}

TEST_F(CtyRead, PriorityLimitFromTheResource) {
  EXPECT_EQ(CTY_get_prior(), 10);
  RES_put("stat_prior", "4");
  EXPECT_EQ(CTY_get_prior(), 4);
  RES_put("stat_prior", "");
  CTY_data d;
  EXPECT_EQ(CTY_data_init(&d), 0);
  EXPECT_EQ(d.wmo, -9999);
  EXPECT_EQ(d.lat, -9999.0f);
  EXPECT_STREQ(d.id, "");
  EXPECT_EQ(CTY_data_init(nullptr), -1);
}

}  // namespace

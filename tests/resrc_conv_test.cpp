// Conversion of resource values by kind: the date of the file to use, file
// handling, plot types and items, paths, devices, regions and domains, from
// the command line, from defaults files and through RES_getval.
#include <gtest/gtest.h>
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/decode.h"
#include "support/kavtest.h"

namespace {

constexpr int MISS = -9999;

const Date kPrevious = {1999, 12, 31, MISS, MISS, 23, 59, MISS};

// Decodes one command line with every converting option declared; returns
// what went to standard error.
std::string decode_err(std::vector<std::string> words) {
  return kavtest::capture([&] {
           kavtest::decode(std::move(words),
                           {RES_hour, RES_file_param, RES_plot_type, RES_draw, RES_data_path,
                            RES_device, RES_region, RES_plot_domain});
         })
      .err;
}

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(0, M_PRINT | M_ERROR | M_WARN);
    FILE_set_time(&kPrevious);
  }
  kavtest::ScopedEnv no_default_{"kavdefault", nullptr};
};

Date fixed_time() {
  Date d;
  FILE_get_time(&d);
  return d;
}

// ---- Hours ----

class HourRows : public ::testing::TestWithParam<kavtest::Row> {};

TEST_P(HourRows, FixTheDateOfTheFileToUse) {
  const kavtest::Row &row = GetParam();
  const std::string &text = row.fields[0];
  FILE_set_time(&kPrevious);
  const std::string err = decode_err({"-hour=" + text});
  const Date d = fixed_time();
  if (row.fields[1] == "bad") {
    EXPECT_NE(err.find("RES_decode: Not a date or time for hour: " + text), std::string::npos)
        << err;
    EXPECT_EQ(d.year, kPrevious.year);
    EXPECT_EQ(d.hour, kPrevious.hour);
    EXPECT_EQ(d.min, kPrevious.min);
    return;
  }
  ASSERT_EQ(row.fields.size(), 6u) << row.where();
  EXPECT_EQ(err, "");
  EXPECT_EQ(d.year, std::stoi(row.fields[1]));
  EXPECT_EQ(d.month, std::stoi(row.fields[2]));
  EXPECT_EQ(d.day, std::stoi(row.fields[3]));
  EXPECT_EQ(d.hour, std::stoi(row.fields[4]));
  EXPECT_EQ(d.min, std::stoi(row.fields[5]));
  // The fields an hour text never gives are set, and free.
  EXPECT_EQ(d.jday, MISS);
  EXPECT_EQ(d.wday, MISS);
  EXPECT_EQ(d.sec, MISS);
}

INSTANTIATE_TEST_SUITE_P(Table, HourRows,
                         ::testing::ValuesIn(kavtest::read_rows("resrc_hours.txt")),
                         kavtest::ByLine());

TEST_F(Conversion, AnHourAtTheEndOfAShortBufferStopsAtItsTerminator) {
  // "#20" in a buffer of exactly its size: the year is read from the two
  // digits there are, and nothing past the terminator is looked at.
  char *text = static_cast<char *>(std::malloc(4));
  std::memcpy(text, "#20", 4);
  EXPECT_EQ(RES_conv_data(text, nullptr, CV_hour), 1);
  std::free(text);
  EXPECT_EQ(fixed_time().year, 20);
  EXPECT_EQ(fixed_time().month, MISS);
}

// ---- File handling and plot types ----

TEST_F(Conversion, FileHandlingWords) {
  const std::pair<const char *, int> cases[] = {{"use", 3},  {"reuse", 3},  {"over", 1},
                                                {"calc", 1}, {"recalc", 1}, {"app", 2},
                                                {"APP", 2},  {"Over", 1}};
  for (const auto &[word, mode] : cases) {
    FLAG_set(FLAG_FILE_PARAM, MISS);
    EXPECT_EQ(decode_err({"-file_param", word}), "");
    EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), mode) << word;
  }
  const std::string err = decode_err({"-file_param=append"});
  EXPECT_NE(err.find("RES_decode: Unknown file handling for file_param: append"),
            std::string::npos);
  // The flags start again with each decoding; the bad word sets nothing.
  EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), MISS);
  FLAG_set(FLAG_FILE_PARAM, 2);
  EXPECT_EQ(RES_conv_data("append", nullptr, CV_file_param), 0);
  EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), 2);
}

TEST_F(Conversion, PlotTypeWordsInAnyCase) {
  const std::pair<const char *, int> cases[] = {
      {"raw", 0},    {"none", 99},   {"value", 17}, {"gvalue", 17}, {"cf", 15},   {"CF", 15},
      {"lcf", 16},   {"ln", 12},     {"dln", 13},   {"ndln", 14},   {"vect", 21}, {"barb", 22},
      {"strm", 23},  {"stream", 23}, {"an", 54},    {"number", 54}, {"pm", 55},   {"stuve", 61},
      {"skewt", 62}, {"ema", 63},    {"teph", 64},  {"rteph", 65},  {"hodo", 69}, {"SkewT", 62}};
  for (const auto &[word, code] : cases) {
    EXPECT_EQ(decode_err({"-plot_type", word}), "");
    EXPECT_EQ(FLAG_get(FLAG_PLOT_TYPE), code) << word;
  }
  FLAG_set(FLAG_PLOT_TYPE, 22);
  std::string err =
      kavtest::capture([] { EXPECT_EQ(RES_conv_data("contour", nullptr, CV_plot_type), 0); }).err;
  EXPECT_NE(err.find("RES_conv_data: Unknown plot type: contour"), std::string::npos);
  EXPECT_EQ(FLAG_get(FLAG_PLOT_TYPE), 22);
}

// ---- Plot items ----

// The 13 switches as a text of 0 and 1.
std::string switches() {
  std::string s;
  for (int i = 0; i < FLAG_PLOT_COUNT; ++i) s += FLAG_getplot(i) ? '1' : '0';
  return s;
}

TEST_F(Conversion, DrawListsSetThePlotSwitches) {
  // Switch 12 holds the sum of the others: "1" when any is on.
  FLAG_resetplot(1);
  EXPECT_EQ(decode_err({"-draw=map,grid"}), "");
  EXPECT_EQ(switches(), "0000000011001");
  // A signed first item leaves the others as they were.
  FLAG_resetplot(0);
  FLAG_setplot(7, 1);
  RES_conv_data("+map", nullptr, CV_draw);
  EXPECT_EQ(switches(), "0000000110001");
  // -text turns the six positions, their sum and the border off.
  FLAG_setplot(12, 1);
  RES_conv_data("-text", nullptr, CV_draw);
  EXPECT_EQ(FLAG_getplot(0), 0);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(FLAG_getplot(i), 0) << i;
  EXPECT_EQ(FLAG_getplot(11), 0);
  EXPECT_EQ(FLAG_getplot(8), 1);
  RES_conv_data("all,-sum", nullptr, CV_draw);
  EXPECT_EQ(FLAG_getplot(10), 0);
  for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11}) EXPECT_EQ(FLAG_getplot(i), 1) << i;
  RES_conv_data("none", nullptr, CV_draw);
  EXPECT_EQ(switches(), "0000000000000");
  RES_conv_data("text_ul,TEXT_LR,data", nullptr, CV_draw);
  EXPECT_EQ(FLAG_getplot(1), 1);
  EXPECT_EQ(FLAG_getplot(6), 1);
  EXPECT_EQ(FLAG_getplot(7), 1);
  EXPECT_EQ(FLAG_getplot(2), 0);
  // An unknown item is reported and skipped; the others still apply.
  FLAG_resetplot(0);
  const std::string err = decode_err({"-draw=map,coast,+bord"});
  EXPECT_NE(err.find("RES_decode: Unknown plot item for draw: coast"), std::string::npos);
  EXPECT_EQ(FLAG_getplot(8), 1);
  EXPECT_EQ(FLAG_getplot(11), 1);
}

// ---- Paths ----

TEST_F(Conversion, PathsAreHeapCopiesEndedWithTheDelimiter) {
  decode_err({"-data_path=/data"});
  // The decoding pass only stores the text.
  EXPECT_EQ(kavtest::get("data_path"), "/data");
  char *path = nullptr;
  ASSERT_EQ(RES_getval("data_path", &path, CV_path), 1);
  EXPECT_STREQ(path, "/data/");
  std::free(path);
  RES_put("data_path", "/data/");
  ASSERT_EQ(RES_getval("data_path", &path, CV_path), 1);
  EXPECT_STREQ(path, "/data/");
  std::free(path);
  // "none" is the empty path, on the heap like any other.
  RES_put("data_path", "NONE");
  ASSERT_EQ(RES_getval("data_path", &path, CV_path), 1);
  EXPECT_STREQ(path, "");
  std::free(path);
  ASSERT_EQ(RES_conv_data("none", &path, CV_path), 1);
  EXPECT_STREQ(path, "");
  std::free(path);
  EXPECT_EQ(RES_conv_data("/x", nullptr, CV_path), 0);
}

// ---- Devices ----

TEST_F(Conversion, DeviceKindAndTheRestOfTheList) {
  const std::pair<const char *, int> kinds[] = {{"P", 4},    {"printer", 4}, {"h", 5}, {"Q", 5},
                                                {"meta", 3}, {"W", 6},       {"x", 1}, {"", 1}};
  for (const auto &[name, kind] : kinds) EXPECT_EQ(RES_set_device(name), kind) << name;
  EXPECT_EQ(RES_set_device(nullptr), 1);

  decode_err({"-device=p,printer1"});
  // Not converted while decoding: the program asks with RES_getval.
  EXPECT_EQ(kavtest::get("device"), "p,printer1");
  const char *rest = nullptr;
  ASSERT_EQ(RES_getval("device", &rest, CV_device), 1);
  EXPECT_EQ(FLAG_get(FLAG_DEVICE), 4);
  EXPECT_STREQ(rest, "printer1");
  EXPECT_EQ(rest, RES_get("device") + 2);  // within the resource's own value
  RES_conv_data("h,a,b", &rest, CV_device);
  EXPECT_EQ(FLAG_get(FLAG_DEVICE), 5);
  EXPECT_STREQ(rest, "a,b");
  const char *untouched = "kept";
  rest = untouched;
  RES_conv_data("x", &rest, CV_device);
  EXPECT_EQ(FLAG_get(FLAG_DEVICE), 1);
  EXPECT_EQ(rest, untouched);
}

// ---- Regions and domains ----

TEST_F(Conversion, RegionsAndDomainsDecodeIntoTheRecord) {
  decode_err({"-region=lc,40,-95,30,20,1.5", "-plot_domain=ps,40,-100,1,2"});
  EXPECT_EQ(kavtest::get("region"), "lc,40,-95,30,20,1.5");
  Domain d;
  DOM_init(&d);
  ASSERT_EQ(RES_getval("region", &d, CV_region), 1);
  EXPECT_EQ(d.proj, 4);
  EXPECT_FLOAT_EQ(d.clat, 40);
  EXPECT_FLOAT_EQ(d.clon, -95);
  EXPECT_EQ(d.nx, 30);
  EXPECT_EQ(d.ny, 20);
  EXPECT_FLOAT_EQ(d.dx, 1.5f);
  ASSERT_EQ(RES_getval("plot_domain", &d, CV_domain), 1);
  EXPECT_EQ(d.proj, 1);
  EXPECT_FLOAT_EQ(d.dy, 2);

  // A text that does not decode: failure, a message naming the resource and
  // the text, and the record as it was.
  decode_err({"-region=,,,"});
  const Domain before = d;
  int r = 1;
  const std::string err = kavtest::capture([&] { r = RES_getval("region", &d, CV_region); }).err;
  EXPECT_EQ(r, 0);
  EXPECT_NE(err.find("RES_getval: Not a domain for region: ,,,"), std::string::npos) << err;
  EXPECT_EQ(DOM_comp(&d, &before), 1);
  EXPECT_EQ(d.proj, 1);
  const std::string err2 = kavtest::capture([&] { r = RES_conv_data("4,x", &d, CV_domain); }).err;
  EXPECT_EQ(r, 0);
  EXPECT_NE(err2.find("RES_conv_data: Not a domain: 4,x"), std::string::npos) << err2;
  EXPECT_EQ(DOM_comp(&d, &before), 1);
  EXPECT_EQ(RES_conv_data("40,-100", nullptr, CV_region), 0);
}

// ---- Defaults files ----

TEST_F(Conversion, ValuesFromADefaultsFileConvertAsFromTheCommandLine) {
  kavtest::TempDir dir;
  dir.write("kav.cfg",
            "prog.hour: 1512\nprog.plot_type: CF\nprog.file_param: app\n"
            "prog.draw: map,grid\nprog.device: w,screen2\nprog.region: 40,-100\n"
            "prog.data_path: /srv/data\n");
  FLAG_resetplot(1);
  EXPECT_EQ(decode_err({"-df", dir.path()}), "");
  const Date d = fixed_time();
  EXPECT_EQ(d.day, 15);
  EXPECT_EQ(d.hour, 12);
  EXPECT_EQ(d.month, MISS);
  EXPECT_EQ(FLAG_get(FLAG_PLOT_TYPE), 15);
  EXPECT_EQ(FLAG_get(FLAG_FILE_PARAM), 2);
  EXPECT_EQ(switches(), "0000000011001");
  const char *rest = nullptr;
  RES_getval("device", &rest, CV_device);
  EXPECT_EQ(FLAG_get(FLAG_DEVICE), 6);
  EXPECT_STREQ(rest, "screen2");
  Domain dom;
  ASSERT_EQ(RES_getval("region", &dom, CV_region), 1);
  EXPECT_FLOAT_EQ(dom.clat, 40);
  char *path = nullptr;
  RES_getval("data_path", &path, CV_path);
  EXPECT_STREQ(path, "/srv/data/");
  std::free(path);

  // A bad value in the file is reported under its resource.
  dir.write("kav.cfg", "prog.plot_type: blob\n");
  const std::string err = decode_err({"-df", dir.path()});
  EXPECT_NE(err.find("RES_decode: Unknown plot type for plot_type: blob"), std::string::npos)
      << err;
}

}  // namespace

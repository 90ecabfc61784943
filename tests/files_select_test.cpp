// Choosing files from typed input on a directory of files named by a
// convention: names completed with the template, listing, the file prompt
// with answers from standard input, and stepping forward and back by hour.
#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr int MISS = -9999;
const Date kFree = {MISS, MISS, MISS, MISS, MISS, MISS, MISS, MISS};
const Date kNoon = {2024, 3, 5, MISS, MISS, 12, 0, 0};

// A data directory whose name holds blanks and shell characters, with the
// surface files of 5 March 2024 every three hours and a stray file.
class Selection : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(0, M_PRINT | M_ERROR | M_WARN | M_MESS);
    FLAG_set_batch(0);
    FILE_set_type(0);
    FILE_set_header(0);
    FILE_set_time(&kFree);
    FILE_set_name_conv("3600 %D/%y%m%d%h_sao.sfc");
    data_ = dir_.path() + "/da ta;$(touch PWNED)`touch PWNED2`&";
    for (const char *h : {"00", "03", "06", "09", "12"})
      dir_.write(std::string("da ta;$(touch PWNED)`touch PWNED2`&/240305") + h + "_sao.sfc",
                 "KAVSFC\n");
    dir_.write("da ta;$(touch PWNED)`touch PWNED2`&/notes.txt", "x");
    RES_put("data_path", data_.c_str());
    RES_new(MISS, "filename", nullptr, CV_string);
    RES_new(MISS, "current", nullptr, CV_string);
    RES_new(MISS, "num_hour", nullptr, CV_string);
  }
  std::string file(const char *hour) const { return data_ + "/240305" + hour + "_sao.sfc"; }
  static std::string set_file(const std::string &text) {
    char out[FILE_NAME_LEN] = "";
    FILE_set_file(text.c_str(), out);
    return out;
  }
  kavtest::TempDir dir_;
  std::string data_;
  kavtest::ScopedEnv now_{"kavcurtime", "#2024030515"};
};

TEST_F(Selection, NamesAreCompletedWithTheTemplate) {
  EXPECT_EQ(set_file("24030512"), file("12"));
  Date d;
  FILE_get_date(&d);
  EXPECT_EQ(d.year, 2024);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.day, 5);
  EXPECT_EQ(d.hour, 12);
  EXPECT_EQ(set_file("24030512_sao.sfc"), file("12"));
  // A full path keeps its directory.
  EXPECT_EQ(set_file("/arch/24030512_sao.sfc"), "/arch/24030512_sao.sfc");
  // What does not fit the template is taken as it is, in the data directory.
  EXPECT_EQ(set_file("myfile.dat"), data_ + "/myfile.dat");
  EXPECT_EQ(set_file("@24030512"), "24030512");
  EXPECT_EQ(set_file("-"), "-");
  EXPECT_EQ(set_file("none"), "none");
  // A date after '#' is cut off the name and fixed.
  FILE_set_name_conv("3600 %y%m%d%h.sfc");
  EXPECT_EQ(set_file("2403"), "2403");
  EXPECT_EQ(set_file("x#2024030518"), "x");
  Date fixed;
  FILE_get_time(&fixed);
  EXPECT_EQ(fixed.year, 2024);
  EXPECT_EQ(fixed.hour, 18);
  EXPECT_EQ(fixed.min, MISS);
  FILE_reset_time();
  // Day of the year and month names.
  FILE_set_name_conv("86400 %Y%j.%b");
  EXPECT_EQ(set_file("2024065.mar"), "2024065.mar");
  FILE_get_date(&d);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.day, 5);
}

TEST_F(Selection, EveryCopyAndScanIsBounded) {
  const std::string long_name(400, '7');
  EXPECT_EQ(set_file(long_name).size(), FILE_NAME_LEN - 1u);
  // Key letters, date escapes and an unclosed brace against a short name.
  FILE_set_key('K', "abcdefgh");
  FILE_set_name_conv("3600 %K%3K%Y%m{%D/%Kq");
  EXPECT_EQ(set_file("ab"), "abcdefghabc");
  FILE_set_name_conv("3600 {%D/%K");
  EXPECT_EQ(set_file("1"), data_ + "/abcdefgh1");
  // An extension taken from the name keeps to its room.
  FILE_set_name_conv("3600 %D/%e.dat");
  EXPECT_EQ(set_file(std::string(100, 'e') + ".dat"),
            data_ + "/" + std::string(FILE_EXT_LEN - 1, 'e') + ".dat");
  FILE_set_key('K', nullptr);
}

TEST_F(Selection, ListingMatchesThePatternWithoutAShell) {
  const std::string cwd_pwned = "PWNED";
  const auto c = kavtest::capture([] { FILE_list_file(); });
  for (const char *h : {"00", "03", "06", "09", "12"})
    EXPECT_NE(c.out.find(file(h)), std::string::npos) << c.out;
  EXPECT_EQ(c.out.find("notes.txt"), std::string::npos);
  // Across in columns: two names of this length fill no line of 80.
  size_t lines = 0;
  for (char ch : c.out) lines += ch == '\n';
  EXPECT_GE(lines, 3u);
  EXPECT_EQ(access(cwd_pwned.c_str(), F_OK), -1);
  EXPECT_EQ(access((data_ + "/PWNED").c_str(), F_OK), -1);
  EXPECT_EQ(access("PWNED2", F_OK), -1);
  // A name with control characters is shown with '?' in their place.
  dir_.write("da ta;$(touch PWNED)`touch PWNED2`&/240305\033[2J_sao.sfc", "x");
  FILE_set_name_conv("3600 %D/240305%K_sao.sfc");
  const auto c2 = kavtest::capture([] { FILE_list_file(); });
  EXPECT_NE(c2.out.find("240305?[2J_sao.sfc"), std::string::npos) << c2.out;
  EXPECT_EQ(c2.out.find('\033'), std::string::npos);
}

TEST_F(Selection, ThePromptTakesTypedAnswers) {
  char out[FILE_NAME_LEN] = "";
  int r = 0;
  kavtest::Captured c;
  kavtest::with_stdin("nosuch\n24030506\n",
                      [&] { c = kavtest::capture([&] { r = FILE_get_file("File: ", out); }); });
  EXPECT_EQ(r, 1);
  EXPECT_EQ(out, file("06"));
  EXPECT_NE(c.out.find("List of available files:"), std::string::npos);
  EXPECT_NE(c.err.find("File not found: " + data_ + "/nosuch"), std::string::npos) << c.err;
  // "list" lists again and asks again; "la" is the latest present file.
  kavtest::with_stdin("list\nla\n",
                      [&] { c = kavtest::capture([&] { r = FILE_get_file("File: ", out); }); });
  EXPECT_EQ(r, 1);
  EXPECT_EQ(out, file("12"));
  EXPECT_NE(c.out.find("Current filename: " + file("12")), std::string::npos);
  // The one question of FILE_get_file_only.
  kavtest::with_stdin("nosuch\n24030509\n", [&] {
    c = kavtest::capture([&] { r = FILE_get_file_only("File: ", out); });
  });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(c.err.find("File not found"), std::string::npos);
}

using SelectionDeath = Selection;

TEST_F(SelectionDeath, ExitListAndRunningOutOfTries) {
  char out[FILE_NAME_LEN];
  EXPECT_EXIT(kavtest::with_stdin("exit\n", [&] { FILE_get_file("File: ", out); }),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(kavtest::with_stdin("a\nb\nc\nd\n24030512\n", [&] { FILE_get_file("File: ", out); }),
              ::testing::ExitedWithCode(10), "File not found");
  // A listing is not an answer: "list" and the end of the input choose
  // nothing (once the empty answer after a listing took standard input).
  EXPECT_EXIT(kavtest::with_stdin("list\n", [&] { FILE_get_file("File: ", out); }),
              ::testing::ExitedWithCode(10), "");
  EXPECT_EXIT(
      {
        RES_put("filename", "LIST");
        FILE_get_file("File: ", out);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(Selection, FilenameCurrentAndBatch) {
  char out[FILE_NAME_LEN] = "";
  RES_put("filename", "24030503");
  EXPECT_EQ(FILE_get_file("File: ", out), 1);
  EXPECT_EQ(out, file("03"));
  RES_put("filename", "24030504");
  EXPECT_EQ(FILE_get_file("File: ", out), 0);
  RES_new(MISS, "filename", nullptr, CV_string);
  RES_put("current", "#2024030509");
  kavtest::capture([&] { EXPECT_EQ(FILE_get_file("File: ", out), 1); });
  EXPECT_EQ(out, file("09"));
  RES_new(MISS, "current", nullptr, CV_string);
  FLAG_set_batch(1);
  kavtest::capture([&] { EXPECT_EQ(FILE_get_file("File: ", out), 1); });
  EXPECT_EQ(out, file("12"));
  FLAG_set_batch(0);
}

TEST_F(Selection, SpansAndSteps) {
  const struct {
    const char *text;
    int span, skip;
  } cases[] = {{"-12,3", -43200, 10800},
               {"6", 21600, 3600},
               {"-0:30", -1800, 3600},
               {":45", 2700, 3600},
               {"2:30,:30", 9000, 1800}};
  FILE_set_late_off(3600);
  for (const auto &k : cases) {
    RES_put("num_hour", k.text);
    EXPECT_EQ(FILE_num_hour(), k.span) << k.text;
    EXPECT_EQ(FILE_get_skip(), k.skip) << k.text;
  }
  FILE_set_def_hours(5);
  RES_put("num_hour", "6x");
  const auto c = kavtest::capture([] { EXPECT_EQ(FILE_num_hour(), 18000); });
  EXPECT_NE(c.err.find("FILE_num_hour: Not a span of hours in num_hour: 6x"), std::string::npos);
  FILE_set_def_hours(0);
  char out[FILE_NAME_LEN];
  EXPECT_EQ(FILE_set_date_off(&kNoon, 7200, out), 2);
  EXPECT_EQ(out, file("14"));
}

TEST_F(Selection, SteppingBackAndForthByHour) {
  char name[FILE_NAME_LEN];
  FILE_set_date(&kNoon, name);  // the convention's period: an hour
  RES_put("num_hour", "-12,3");
  FILE_first(&kNoon);
  EXPECT_EQ(FILE_get_num_hour(), -43200);
  EXPECT_EQ(FILE_get_nsecs(), -43200);
  std::vector<std::string> got;
  while (FILE_get_next(name)) got.push_back(name);
  EXPECT_EQ(got,
            (std::vector<std::string>{file("00"), file("03"), file("06"), file("09"), file("12")}));
  FILE_next_file(name);
  EXPECT_EQ(name, file("03"));
  FILE_prev_file(name);
  EXPECT_EQ(name, data_ + "/24030421_sao.sfc");

  RES_put("num_hour", "3");
  FILE_first(&kNoon);
  got.clear();
  while (FILE_get_next(name)) got.push_back(name);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got.back(), data_ + "/24030515_sao.sfc");
  FILE_next_file(name);
  EXPECT_EQ(name, data_ + "/24030513_sao.sfc");

  // Through a list of names.
  RES_new(MISS, "filename", "24030500\n24030509", CV_strings);
  RES_new(MISS, "num_hour", nullptr, CV_string);
  FILE_first(&kNoon);
  EXPECT_EQ(FILE_get_num_file(), 1);
  got.clear();
  while (FILE_get_next(name)) got.push_back(name);
  EXPECT_EQ(got, (std::vector<std::string>{file("00"), file("09")}));
}

}  // namespace

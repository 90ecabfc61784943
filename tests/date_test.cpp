// Dates: conversions against the C library's calendar, labels and their read-
// back forms (rows in tests/data/date_*.txt), forecast labels, the display
// zone and the decoding window.
#include <gtest/gtest.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/resrc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <ctime>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/kavtest.h"

namespace {

constexpr int M = KAV_IMISSING;

Date make(int y, int mo, int d, int h = M, int mi = M, int s = M) {
  return Date{y, mo, d, M, M, h, mi, s};
}

int64_t utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return static_cast<int64_t>(kavtest::utc(y, mo, d, h, mi, s));
}

// The display zone cannot be taken back to the 24-hour clock once a sign has
// set it, so zone cases run in a child process and hand their text back.
std::string in_child(const std::function<std::string()> &fn) {
  int fd[2];
  if (pipe(fd) != 0) return "pipe failed";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    close(fd[0]);
    const std::string s = fn();
    ssize_t w = write(fd[1], s.data(), s.size());
    (void)w;
    _exit(0);
  }
  close(fd[1]);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = read(fd[0], buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(fd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return out;
}

// The columns of a table row "a | [b] | c".
std::vector<kavtest::Row> rows(const char *file) {
  return kavtest::read_rows(file, kavtest::Split::columns);
}

std::string bracketed(const std::string &col) {
  return col.size() >= 2 ? col.substr(1, col.size() - 2) : "";
}

std::vector<int> ints(const std::string &s) {
  std::istringstream in(s);
  std::vector<int> v;
  for (int x; in >> x;) v.push_back(x);
  return v;
}

int64_t fixed_clock() { return utc(2024, 3, 5, 12, 30, 7); }

// --- Conversions against the C library.

void expect_same_as_libc(int64_t secs) {
  struct tm ref = {};
  const time_t t = static_cast<time_t>(secs);
  gmtime_r(&t, &ref);
  Date d;
  ASSERT_EQ(DATE_get_gmdate(&secs, &d), 0);
  ASSERT_EQ(d.year, ref.tm_year + 1900) << secs;
  ASSERT_EQ(d.month, ref.tm_mon + 1) << secs;
  ASSERT_EQ(d.day, ref.tm_mday) << secs;
  ASSERT_EQ(d.jday, ref.tm_yday + 1) << secs;
  ASSERT_EQ(d.wday, ref.tm_wday) << secs;
  ASSERT_EQ(d.hour, ref.tm_hour) << secs;
  ASSERT_EQ(d.min, ref.tm_min) << secs;
  ASSERT_EQ(d.sec, ref.tm_sec) << secs;
  Date back = d;
  ASSERT_EQ(DATE_num_sec(&back), secs);
  // tm_year goes through the century rule, which reads 1950..2099.
  if (ref.tm_year >= 50 && ref.tm_year < 200) {
    ASSERT_EQ(DATE_num_sec_tm(&ref), secs);
  }
  const int days = DATE_date_days(d.year, d.month, d.day);
  ASSERT_EQ(days, static_cast<int>(secs / 86400) + 1 - (secs < 0 && secs % 86400 ? 1 : 0));
  int y, mo, dd;
  DATE_days_date(days, &y, &mo, &dd);
  ASSERT_EQ(y * 10000 + mo * 100 + dd, d.year * 10000 + d.month * 100 + d.day);
  DATE_julian_monday(d.year, d.jday, &mo, &dd);
  ASSERT_EQ(mo * 100 + dd, d.month * 100 + d.day);
  int j;
  DATE_monday_julian(d.year, d.month, d.day, &j);
  ASSERT_EQ(j, d.jday);
}

TEST(DateCalendar, AgreesWithTheCLibraryFrom1970To2099) {
  const int64_t last = utc(2099, 12, 31, 23, 59);
  // A prime stride in minutes walks through every month, day and hour.
  for (int64_t secs = 0; secs <= last; secs += 7919 * 60 + 13) expect_same_as_libc(secs);
  for (int y = 1970; y <= 2099; ++y) {
    expect_same_as_libc(utc(y, 1, 1));
    expect_same_as_libc(utc(y, 12, 31, 23, 59, 59));
    expect_same_as_libc(utc(y, 3, 1) - 1);  // the last second of February
    if (y % 4 == 0) expect_same_as_libc(utc(y, 2, 29, 12, 0));
  }
}

TEST(DateCalendar, StaysExactOutsideTheCenturyRange) {
  // Centuries that are not leap years and dates before 1970.
  for (int64_t secs : {utc(2100, 3, 1), utc(2100, 2, 28, 23), utc(2400, 2, 29), utc(1900, 3, 1),
                       utc(1969, 12, 31, 23, 59, 59), utc(1960, 2, 29), utc(1583, 1, 1)})
    expect_same_as_libc(secs);
  EXPECT_EQ(DATE_is_leap(1900), 0);
  EXPECT_EQ(DATE_is_leap(2000), 1);
  EXPECT_EQ(DATE_is_leap(2024), 1);
  EXPECT_EQ(DATE_is_leap(2023), 0);
  EXPECT_EQ(DATE_is_leap(2100), 0);
}

TEST(DateNumSec, KnownValuesAndTheCenturyRule) {
  Date d = make(1970, 1, 1, 0, 0, 0);
  EXPECT_EQ(DATE_num_sec(&d), 0);
  d = make(2000, 3, 1, 0, 0, 0);
  EXPECT_EQ(DATE_num_sec(&d), 951868800);
  Date a = make(24, 3, 5, 12, 30, 0), b = make(2024, 3, 5, 12, 30, 0),
       c = make(124, 3, 5, 12, 30, 0);
  EXPECT_EQ(DATE_num_sec(&a), DATE_num_sec(&b));
  EXPECT_EQ(DATE_num_sec(&c), DATE_num_sec(&b));
  EXPECT_EQ(a.year, 2024);
  Date n = make(99, 1, 1, 0, 0, 0);
  DATE_num_sec(&n);
  EXPECT_EQ(n.year, 1999);
  // Day 0 is the last day of the month before.
  d = make(2024, 3, 0, 6, 0, 0);
  EXPECT_EQ(DATE_num_sec(&d), utc(2024, 2, 29, 6));
  // Out-of-range fields are normalised in the caller's record.
  d = make(-3, 13, 32, 24, 60, 61);
  EXPECT_EQ(DATE_num_sec(&d), utc(1980, 1, 1));
  EXPECT_EQ(d.year, 1980);
  EXPECT_EQ(d.month, 1);
  EXPECT_EQ(d.day, 1);
  EXPECT_EQ(d.hour + d.min + d.sec, 0);
  EXPECT_EQ(DATE_num_sec(nullptr), M);
}

TEST(DateDays, EdgeCases) {
  EXPECT_EQ(DATE_date_days(1970, 1, 1), 1);
  EXPECT_EQ(DATE_date_days(1970, 3, 1), 60);
  int y = 0, mo = 0, d = 0;
  ASSERT_EQ(DATE_days_date(60, &y, &mo, &d), 0);
  EXPECT_EQ(y * 10000 + mo * 100 + d, 19700301);
  ASSERT_EQ(DATE_julian_monday(2024, 60, &mo, &d), 0);
  EXPECT_EQ(mo * 100 + d, 229);
  DATE_julian_monday(2023, 400, &mo, &d);  // clamped to the year
  EXPECT_EQ(mo * 100 + d, 1231);
  DATE_julian_monday(2024, 0, &mo, &d);
  EXPECT_EQ(mo * 100 + d, 101);
  int j = 0;
  DATE_monday_julian(2023, 3, 1, &j);
  EXPECT_EQ(j, 60);
  DATE_monday_julian(2023, 0, 5, &j);
  EXPECT_EQ(j, 5);
  DATE_monday_julian(2023, 13, 1, &j);
  EXPECT_EQ(j, 335);
  int h, mi, s;
  DATE_time_date(45296, &h, &mi, &s);
  EXPECT_EQ(h * 10000 + mi * 100 + s, 123456);
  DATE_time_date(-1, &h, &mi, &s);
  EXPECT_EQ(h * 10000 + mi * 100 + s, 235959);
  EXPECT_EQ(DATE_days_date(1, nullptr, &mo, &d), -1);
}

TEST(DateSeq, NormalisesWritesAndReadsBack) {
  char str[DATE_SEQ_LEN];
  Date d = make(2024, 3, 5, 12, 30);
  ASSERT_EQ(DATE_make_seq(&d, str), 0);
  EXPECT_STREQ(str, "202403051230");
  Date back;
  ASSERT_EQ(DATE_decode_seq(str, &back), 0);
  EXPECT_EQ(back.year * 100000000LL + back.month * 1000000 + back.day * 10000 + back.hour * 100 +
                back.min,
            202403051230LL);
  d = make(-1, 0, 32, 24, 60);
  DATE_make_seq(&d, str);
  EXPECT_STREQ(str, "198001010000");
  d = make(123456, 1, 1, 0, 0);  // never more than twelve digits
  DATE_make_seq(&d, str);
  EXPECT_EQ(std::strlen(str), 12u);
  DATE_decode_seq("2024", &back);
  EXPECT_EQ(back.year, 2024);
  EXPECT_EQ(back.month, M);
  EXPECT_EQ(DATE_make_seq(&d, nullptr), -1);
  EXPECT_EQ(DATE_decode_seq(nullptr, &back), -1);
}

TEST(DateNames, MonthsAndWeekdays) {
  EXPECT_STREQ(DATE_month(3), "MAR");
  EXPECT_STREQ(DATE_month_lower(12), "dec");
  EXPECT_STREQ(DATE_month_long(9), "September");
  EXPECT_STREQ(DATE_month(0), "");
  EXPECT_STREQ(DATE_month_long(13), "");
  EXPECT_STREQ(DATE_month_lower(M), "");
  EXPECT_STREQ(DATE_weekday(0), "SUN");
  Date d;
  DATE_init(&d);
  EXPECT_EQ(d.year + d.month + d.day + d.jday + d.wday + d.hour + d.min + d.sec, 8 * M);
}

TEST(DateDecodeMonth, FirstAndThirdLetters) {
  const struct {
    const char *name;
    int month;
  } cases[] = {{"JAN", 1}, {"FEB", 2}, {"MAR", 3}, {"APR", 4},  {"MAY", 5},     {"JUN", 6},
               {"JUL", 7}, {"AUG", 8}, {"SEP", 9}, {"OCT", 10}, {"NOV", 11},    {"DEC", 12},
               {"jun", 6}, {"aug", 8}, {"Jun", 0}, {"Jan", 0},  {"F", 2},       {"JA", 1},
               {"J", 0},   {"MA", 0},  {"", 0},    {"xyz", 0},  {"OCTOBER", 10}};
  for (const auto &c : cases) EXPECT_EQ(DATE_decode_month(c.name), c.month) << c.name;
  EXPECT_EQ(DATE_decode_month(nullptr), 0);
}

// --- Labels.

TEST(DateLabel, RowsWithZones) {
  const auto table = rows("date_labels.txt");
  ASSERT_GE(table.size(), 15u);
  for (const kavtest::Row &row : table) {
    SCOPED_TRACE(row.where());
    const std::vector<std::string> &r = row.fields;
    ASSERT_EQ(r.size(), 3u);
    const std::vector<int> f = ints(r[1]);
    ASSERT_EQ(f.size(), 5u);
    const std::string got = in_child([&] {
      if (r[0] != "-") DATE_set_TZ(r[0].c_str());
      Date d = make(f[0], f[1], f[2], f[3], f[4]);
      char str[DATE_LABEL_LEN];
      DATE_make_label(&d, str);
      return std::string(str);
    });
    EXPECT_EQ(got, bracketed(r[2])) << r[0] << " | " << r[1];
  }
}

TEST(DateLabel, ReadBackRows) {
  const auto table = rows("date_decode_label.txt");
  ASSERT_GE(table.size(), 10u);
  for (const kavtest::Row &row : table) {
    SCOPED_TRACE(row.where());
    const std::vector<std::string> &r = row.fields;
    ASSERT_EQ(r.size(), 2u);
    Date d;
    const int rc = DATE_decode_label(bracketed(r[0]).c_str(), &d);
    if (r[1] == "fail") {
      EXPECT_EQ(rc, -1) << r[0];
      EXPECT_EQ(d.year, M);
      continue;
    }
    const std::vector<int> f = ints(r[1]);
    EXPECT_EQ(rc, 0) << r[0];
    EXPECT_EQ((std::vector<int>{d.year, d.month, d.day, d.hour, d.min, d.sec}), f) << r[0];
  }
}

TEST(DateLabel, MakeThenReadBack) {
  for (int64_t secs = utc(2000, 1, 1); secs < utc(2049, 12, 31);
       secs += 86400 * 37 + 3600 * 5 + 60 * 7) {
    Date d, back;
    DATE_get_gmdate(&secs, &d);
    char str[DATE_LABEL_LEN];
    DATE_make_label(&d, str);
    ASSERT_EQ(DATE_decode_label(str, &back), 0) << str;
    EXPECT_EQ(back.year * 100000000LL + back.month * 1000000 + back.day * 10000 + back.hour * 100 +
                  back.min,
              d.year * 100000000LL + d.month * 1000000 + d.day * 10000 + d.hour * 100 + d.min)
        << str;
  }
}

TEST(DateFhour, LabelRows) {
  const auto table = rows("date_fhour.txt");
  ASSERT_GE(table.size(), 15u);
  for (const kavtest::Row &row : table) {
    SCOPED_TRACE(row.where());
    const std::vector<std::string> &r = row.fields;
    ASSERT_EQ(r.size(), 2u);
    const std::vector<int> f = ints(r[0]);
    ASSERT_EQ(f.size(), 2u);
    char str[DATE_LABEL_LEN];
    EXPECT_EQ(DATE_fhour_label(str, f[0], f[1]), str);
    EXPECT_EQ(std::string(str), bracketed(r[1])) << r[0];
  }
  EXPECT_EQ(DATE_fhour_label(nullptr, 6, 0), nullptr);
}

TEST(DateForecastLabel, FromSeconds) {
  char str[DATE_LABEL_LEN];
  const int64_t base = utc(2024, 3, 5, 0);
  EXPECT_EQ(DATE_make_label_for(12, 0, base, str), 0);
  EXPECT_STREQ(str, "12 hour valid 12Z TUE  5 MAR 24");
  EXPECT_EQ(DATE_make_label_for(0, 0, base, str), 0);
  EXPECT_STREQ(str, " analysis for 00Z  5 MAR 24");
  EXPECT_EQ(DATE_make_label_for(48, 0, base, str), 0);
  EXPECT_STREQ(str, "48 hour valid 00Z THU  7 MAR 24");
  EXPECT_EQ(DATE_make_label_for(6012000, 0, base, str), 0);
  EXPECT_STREQ(str, "12 hour analysis valid 00Z  5 MAR 24");
  EXPECT_EQ(DATE_make_label_for(6012900, 0, base, str), 0);
  EXPECT_STREQ(str, "12 hour analysis starting 00Z  5 MAR 24");
  EXPECT_EQ(DATE_make_label_for(0, 0, 0, str), -1);
  EXPECT_STREQ(str, " analysis");
  EXPECT_EQ(DATE_make_label_for(6, 0, 0, str), -1);
  EXPECT_STREQ(str, "6 hour");
}

TEST(DateForecastLabel, FromDates) {
  char str[DATE_LABEL_LEN];
  Date d = make(2024, 3, 5, 12, 0);
  ASSERT_EQ(DATE_make_label_for_time_mod(24, "GFS", &d, str), 0);
  EXPECT_STREQ(str, "24 hour GFS valid 12Z WED  6 MAR 24");
  DATE_make_label_for_time_mod(0, "GFS", &d, str);
  EXPECT_STREQ(str, "GFS analysis for 1200Z  5 MAR 24");
  Date nomin = make(2024, 3, 5, 12);
  DATE_make_label_for_time_mod(0, "", &nomin, str);
  EXPECT_STREQ(str, "Analysis for 12Z  5 MAR 24");
  DATE_make_label_for_time(0, 7, &nomin, str);
  EXPECT_STREQ(str, "Analysis for 12Z  5 MAR 24");
  Date nohour = make(2024, 3, 5);
  DATE_make_label_for_time_mod(24, "GFS", &nohour, str);
  EXPECT_STREQ(str, "1 day GFS valid WED  6 MAR 24");
  Date late = make(2024, 3, 5, 21);
  ASSERT_EQ(DATE_make_label_valid_time(6, &late, str), 0);
  EXPECT_STREQ(str, "3Z WED  6 MAR 24");
  DATE_make_label_valid_time(6, &nohour, str);
  EXPECT_STREQ(str, "TUE  5 MAR 24");
  // A long model name is cut, never overflowing the label.
  const std::string huge(500, 'M');
  DATE_make_label_for_time_mod(24, huge.c_str(), &d, str);
  EXPECT_LT(std::strlen(str), static_cast<size_t>(DATE_LABEL_LEN));
  EXPECT_EQ(DATE_make_label_for_time_mod(24, "GFS", nullptr, str), -1);
}

TEST(DateForecastLabel, ZoneAndTwelveHourClock) {
  const std::string got = in_child([] {
    DATE_set_TZ("-CST:-6");
    char a[DATE_LABEL_LEN], b[DATE_LABEL_LEN];
    Date d = make(2024, 3, 5, 12, 0);
    DATE_make_label_for(12, 0, utc(2024, 3, 5, 0), a);
    DATE_make_label_valid_time(3, &d, b);
    return std::string(a) + "|" + b;
  });
  EXPECT_EQ(got, "12 hour valid 6 AM CST [12Z] TUE  5 MAR 24|9 AM CST [15Z] TUE  5 MAR 24");
}

TEST(DateFormatLabel, Escapes) {
  char str[DATE_LABEL_LEN * 2];
  Date d = make(2024, 3, 5, 12, 30);
  ASSERT_EQ(DATE_format_label(str, "%F/%f/%x/%y%m%d%h%n/%M/%q%%", 36, "ETA", &d), 0);
  EXPECT_STREQ(str, "36 hour/36/ETA/2403051230/MAR/q%");
  Date nohour = make(2024, 3, 5);
  DATE_format_label(str, "%F valid %d %M%h%n %x", 36, nullptr, &nohour);
  EXPECT_STREQ(str, "1.5 day valid 05 MAR ");
  DATE_format_label(str, "trailing %", 0, nullptr, &d);
  EXPECT_STREQ(str, "trailing ");
  EXPECT_EQ(DATE_format_label(nullptr, "%y", 0, nullptr, &d), -1);
  EXPECT_EQ(DATE_format_label(str, nullptr, 0, nullptr, &d), -1);
}

// --- Current time and zone.

TEST(DateCurrent, PinnedClock) {
  DATE_set_clock(fixed_clock);
  char str[DATE_CURRENT_LEN];
  ASSERT_EQ(DATE_get_current_str(str), 0);
  EXPECT_STREQ(str, "24 MAR 05  12:30:07Z");
  DATE_get_simple_current_str(str);
  EXPECT_STREQ(str, "05-12:30Z");
  int64_t secs = 0;
  EXPECT_EQ(DATE_get_time(&secs), fixed_clock());
  EXPECT_EQ(secs, fixed_clock());
  Date d;
  DATE_get_current_gmdate(&d);
  EXPECT_EQ(d.wday, 2);
  EXPECT_EQ(d.jday, 65);
  const auto c = kavtest::capture([] { DATE_print_current(M_PRINT); });
  EXPECT_EQ(c.out, "24 MAR 05  12:30:07Z");
  const auto p = kavtest::capture([&] { DATE_print(M_PRINT, &d); });
  EXPECT_EQ(p.out, "2024/3/5 12:30:07\n");
  DATE_set_clock(nullptr);
  EXPECT_NEAR(static_cast<double>(DATE_get_time(nullptr)), static_cast<double>(std::time(nullptr)),
              5.0);
  EXPECT_EQ(DATE_get_current_str(nullptr), -1);
}

TEST(DateZone, SetAndRefuse) {
  const std::string got = in_child([] {
    std::ostringstream o;
    o << DATE_set_TZ("-CST:-6") << DATE_get_tz_off() << "[" << DATE_get_tz_str() << "]";
    std::string err = kavtest::capture([&] { o << DATE_set_TZ("CST"); }).err;
    o << DATE_set_TZ("+XYZ:30") << DATE_set_TZ("LONGER:1") << DATE_get_tz_off() << "["
      << DATE_get_tz_str() << "]";
    o << DATE_set_TZ("IST:5.5") << DATE_get_tz_off();
    o << "|" << err;
    return o.str();
  });
  EXPECT_EQ(got, "0-21600[ CST]-1-1-1-21600[ CST]019800|DATE_set_TZ: Bad time zone: CST\n");
  EXPECT_EQ(DATE_get_tz_off(), 0);
  EXPECT_STREQ(DATE_get_tz_str(), "Z");
}

TEST(DateTime, LocalAndBrokenDown) {
  int64_t secs = utc(2024, 3, 5, 12, 30);
  const struct tm *tm = DATE_get_gmtime(&secs);
  ASSERT_NE(tm, nullptr);
  EXPECT_EQ(tm->tm_year, 124);
  Date local;
  kavtest::ScopedEnv tz("TZ", "UTC");
  tzset();
  ASSERT_EQ(DATE_get_localdate(&secs, &local), 0);
  EXPECT_EQ(local.hour, 12);
  Date *s = DATE_to_struct(2024, 3, 5, 12, 30);
  EXPECT_EQ(s->sec, 0);
  EXPECT_EQ(s->jday, M);
  EXPECT_EQ(s, DATE_to_struct(1, 1, 1, 1, 1));
}

// --- The decoding window.

class DateWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    FILE_reset_time();
    RES_put("decode_hour", "");
    DATE_set_range(-15, 10);
  }
  void TearDown() override { RES_put("decode_hour", ""); }
  std::string decode(const char *spec, const Date &d) {
    RES_put("decode_hour", spec);
    return kavtest::capture([&] { DATE_set_datim(&d); }).out;
  }
  Date requested() {
    Date d;
    DATE_get_datim(&d);
    return d;
  }
};

TEST_F(DateWindow, HourWithWindow) {
  EXPECT_EQ(decode("12-15+10", make(2024, 3, 5)),
            "Decoding for: 12:00Z\nDecoding range: -15 +10 mins\n");
  EXPECT_EQ(DATE_chk_range(1150), 1);
  EXPECT_EQ(DATE_chk_range(1140), 0);
  EXPECT_EQ(DATE_chk_range(1215), 0);
  EXPECT_EQ(DATE_chk_range(1210), 1);
  EXPECT_EQ(DATE_chk_range(1200), 1);
  EXPECT_EQ(DATE_chk_range(M), 0);
}

TEST_F(DateWindow, AcrossMidnight) {
  decode("23:50-0+30", make(2024, 3, 5));
  EXPECT_EQ(DATE_chk_range(10), 1);  // 00:10 the next day
  EXPECT_EQ(DATE_chk_range(30), 0);
  EXPECT_EQ(DATE_chk_range(2349), 0);
  decode("0-30+30", make(2024, 3, 5));
  EXPECT_EQ(DATE_chk_range(2340), 1);  // 23:40 the day before
  EXPECT_EQ(DATE_chk_range(2320), 0);
}

TEST_F(DateWindow, CurrentForms) {
  const Date d = make(2024, 3, 5, 2, 10);
  decode("cu-3", d);
  Date r = requested();
  EXPECT_EQ((std::vector<int>{r.year, r.month, r.day, r.hour, r.min}),
            (std::vector<int>{2024, 3, 4, 23, 10}));
  decode("cu:cu-5+5", d);
  r = requested();
  EXPECT_EQ(r.hour * 100 + r.min, 210);
  EXPECT_EQ(DATE_chk_range(214), 1);
  EXPECT_EQ(DATE_chk_range(216), 0);
  decode("cu:20-5+5", d);
  EXPECT_EQ(requested().min, 20);
  EXPECT_EQ(decode("cu-10+20", d), "Decoding for: 02:00Z\nDecoding range: -10 +20 mins\n");
  EXPECT_EQ(DATE_chk_range(219), 1);
  EXPECT_EQ(DATE_chk_range(150), 1);
  EXPECT_EQ(DATE_chk_range(149), 0);
  decode("cu-2-10+20", d);
  r = requested();
  EXPECT_EQ(r.hour * 100 + r.min, 10);
}

TEST_F(DateWindow, RoundedAndFixedHours) {
  decode("-106", make(2024, 3, 5, 14, 40));
  EXPECT_EQ(requested().hour, 13);
  EXPECT_EQ(requested().min, 0);
  EXPECT_EQ(decode(":-30+30", make(2024, 3, 5, 14, 40)), "Decoding range: -30 +30 mins\n");
  EXPECT_EQ(requested().hour * 100 + requested().min, 1440);
  EXPECT_EQ(DATE_chk_range(1510), 1);
  // Without decode_hour the fixed hour of the file layer is the request.
  Date fixed;
  DATE_init(&fixed);
  fixed.hour = 6;
  FILE_set_time(&fixed);
  decode("", make(2024, 3, 5, 14, 40));
  EXPECT_EQ(requested().hour * 100 + requested().min, 600);
  FILE_reset_time();
}

TEST_F(DateWindow, BadDecodeHourWarns) {
  RES_put("decode_hour", "noon");
  const Date d = make(2024, 3, 5, 14, 40);
  const auto c = kavtest::capture([&] { DATE_set_datim(&d); });
  EXPECT_EQ(c.err, "DATE_set_datim: Unable to decode decode_hour: noon\n");
  EXPECT_EQ(requested().hour, 14);
  EXPECT_EQ(DATE_set_datim(nullptr), -1);
}

// Fields so large that the result would overflow an int are refused.
TEST(DateRange, OverflowingFieldsAreRefused) {
  int j = 12345;
  EXPECT_EQ(DATE_monday_julian(2023, 12, INT_MAX - 200, &j), -1);
  EXPECT_EQ(j, 12345);
  EXPECT_EQ(DATE_monday_julian(2023, 12, 31, &j), 0);
  EXPECT_EQ(j, 365);
  EXPECT_EQ(DATE_date_days(INT_MAX, 12, 31), KAV_IMISSING);
  EXPECT_EQ(DATE_date_days(1970, 1, 1), 1);
}

}  // namespace

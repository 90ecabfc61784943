#include <kav/date.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/string.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "base/string_int.hpp"
#include "console/date_int.hpp"
#include "console/guard.hpp"

namespace {

constexpr int MISS = KAV_IMISSING;

const char *const months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char *const months_lc[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                 "jul", "aug", "sep", "oct", "nov", "dec"};
const char *const months_long[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char *const day_of_week[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
const int num_day[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
const int num_day_leap[] = {0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335, 366};

int64_t system_clock() { return static_cast<int64_t>(std::time(nullptr)); }

struct DateState {
  int tz_off = 0;                     // seconds added to UTC for display
  char tz_str[8] = "Z";               // text printed after times (up to 6 characters)
  int tz_pm = 0;                      // 0 24-hour clock, 1 12-hour, -1 12-hour with [UTC]
  Date file_date = kNoDate;           // requested decode time
  int64_t base = 0;                   // seconds of file_date
  int64_t begin = 0;                  // start of the decoding window, seconds
  int64_t end = 0;                    // end of the decoding window, seconds
  int min_pre = -15;                  // window start, minutes from base
  int min_post = 10;                  // window end, minutes from base
  Date to_struct = {};                // the record DATE_to_struct hands out
  struct tm tm_buf = {};              // the broken-down time DATE_get_gmtime hands out
  int64_t (*clock)() = system_clock;  // source of the current time
};

DateState &state() {
  static DateState s;
  return s;
}

bool is_leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
int64_t days_from_civil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int64_t &y, int &m, int &d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

int64_t floor_div(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// The year rule shared by the conversions: negative years are 1980, years
// below 50 are 20xx and below 200 are 19xx.
int century(int year) {
  if (year < 0) return 1980;
  if (year < 50) year += 2000;
  if (year < 200) year += 1900;
  return year;
}

void normalise(Date &d) {
  d.year = century(d.year);
  if (d.month < 1 || d.month > 12) d.month = 1;
  if (d.day < 0 || d.day > 31) d.day = 1;
  if (d.hour < 0 || d.hour > 23) d.hour = 0;
  if (d.min < 0 || d.min > 59) d.min = 0;
  if (d.sec < 0 || d.sec > 59) d.sec = 0;
}

int64_t seconds_of(Date d) {
  normalise(d);
  const int64_t days = days_from_civil(d.year, d.month, 1) + d.day - 1;
  return days * 86400 + d.hour * 3600 + d.min * 60 + d.sec;
}

// Breaks seconds down into all eight fields; false when the year would not
// fit an int.
bool break_down(int64_t secs, Date &d) {
  constexpr int64_t limit = INT64_C(86400) * 366 * 1000000;  // about a million years
  if (secs > limit || secs < -limit) {
    DATE_init(&d);
    return false;
  }
  const int64_t days = floor_div(secs, 86400);
  const int64_t rem = secs - days * 86400;
  int64_t y;
  civil_from_days(days, y, d.month, d.day);
  d.year = static_cast<int>(y);
  d.jday = static_cast<int>(days - days_from_civil(y, 1, 1) + 1);
  d.wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  d.hour = static_cast<int>(rem / 3600);
  d.min = static_cast<int>((rem % 3600) / 60);
  d.sec = static_cast<int>(rem % 60);
  return true;
}

void put(char *str, const std::string &s, size_t size = DATE_LABEL_LEN) {
  std::snprintf(str, size, "%s", s.c_str());
}

int two_digit(int year) { return ((year % 100) + 100) % 100; }

const char *mon(int m) { return (m >= 1 && m <= 12) ? months[m - 1] : ""; }
const char *wday_name(int w) { return (w >= 0 && w <= 6) ? day_of_week[w] : ""; }

// The hour (and minute) text of a label in the display zone: local is the
// displayed time, utc the same instant in UTC. lead_zero selects "%2.2d" over
// "%d" on the 24-hour clock.
std::string time_text(const Date &local, const Date &utc, bool minutes, bool lead_zero) {
  const DateState &s = state();
  const int h = local.hour, m = local.min;
  std::string t;
  if (s.tz_pm == 0) {
    if (minutes)
      t = kav::text::format("%2.2d%2.2d%s", h, m, s.tz_str);
    else
      t = lead_zero ? kav::text::format("%2.2d%s", h, s.tz_str)
                    : kav::text::format("%d%s", h, s.tz_str);
    return t;
  }
  if (minutes) {
    if (h > 12)
      t = kav::text::format("%d:%2.2d PM%s", h - 12, m, s.tz_str);
    else if (h == 12)
      t = kav::text::format("12:%2.2d PM%s", m, s.tz_str);
    else if (h > 0)
      t = kav::text::format("%d:%2.2d AM%s", h, m, s.tz_str);
    else
      t = kav::text::format("12:%2.2d AM%s", m, s.tz_str);
    if (s.tz_pm == -1) t += kav::text::format(" [%2.2d%2.2dZ]", utc.hour, utc.min);
  } else {
    if (h > 12)
      t = kav::text::format("%d PM%s", h - 12, s.tz_str);
    else if (h == 12)
      t = kav::text::format("12 PM%s", s.tz_str);
    else if (h > 0)
      t = kav::text::format("%d AM%s", h, s.tz_str);
    else
      t = kav::text::format("12 AM%s", s.tz_str);
    if (s.tz_pm == -1) t += kav::text::format(" [%2.2dZ]", utc.hour);
  }
  return t;
}

// A valid time in seconds broken down for display and in UTC.
void display_pair(int64_t secs, Date &local, Date &utc) {
  break_down(secs, utc);
  break_down(secs + state().tz_off, local);
}

// The three numbers packed into a forecast code.
struct Fhour {
  int t1 = 0;      // the kind
  int t2 = 0;      // the middle number (900 and 800 count as 0)
  int t3 = 0;      // the last number (900 and 800 count as 0; -9999 missing)
  int raw_t3 = 0;  // t3 before 900 and 800 were taken as 0
  int period = 0;  // the period shown: t3 for kinds below 6, else t2
};

Fhour split_fhour(int fhour) {
  Fhour f;
  if (fhour == MISS) {
    f.t3 = f.raw_t3 = f.period = MISS;
    return f;
  }
  f.t1 = fhour / 1000000;
  f.t2 = (fhour % 1000000) / 1000;
  f.raw_t3 = f.t3 = fhour % 1000;
  if (f.t2 == 900 || f.t2 == 800) f.t2 = 0;
  if (f.t3 == 900 || f.t3 == 800) f.t3 = 0;
  f.period = f.t1 < 6 ? f.t3 : f.t2;
  return f;
}

std::string fhour_text(int fhour, int flag) {
  if (fhour > 900) return kav::text::format("%d month", fhour - 900);
  if (fhour > 800) return kav::text::format("%d day", fhour - 800);
  if (flag) {
    switch (fhour) {
      case 12:
        return "0.5 day";
      case 24:
        return "1 day";
      case 36:
        return "1.5 day";
      case 48:
        return "2 day";
      case 60:
        return "2.5 day";
      default:
        break;
    }
  }
  if (fhour > 60 && fhour % 24 == 0) return kav::text::format("%d day", fhour / 24);
  if (fhour > 60 && fhour % 24 == 12) return kav::text::format("%d.5 day", fhour / 24);
  if (fhour != 0 && fhour != MISS) return kav::text::format("%d hour", fhour);
  return "";
}

// The name of a model by number. The variables module owns the model table;
// until it is linked here, models have no name.
std::string model_name(int model) {
  (void)model;
  return "";
}

std::string standard_label(const Date &date) {
  Date d = date;
  const DateState &s = state();
  if (d.year == MISS) d.year = 1980;  // a label always has a year
  if (d.month == MISS) return kav::text::format("%2.2d", two_digit(century(d.year)));
  if (d.day == MISS) {
    normalise(d);
    return kav::text::format("%3s %2.2d", mon(d.month), two_digit(d.year));
  }
  if (d.hour == MISS) {
    d.hour = 0;
    normalise(d);
    return kav::text::format("%2d %3s %2.2d", d.day, mon(d.month), two_digit(d.year));
  }
  const bool minutes = d.min != MISS;
  if (!minutes) d.min = 0;
  d.sec = 0;
  normalise(d);
  Date local, utc;
  display_pair(seconds_of(d), local, utc);
  if (s.tz_off == 0) local = utc = d;
  return time_text(local, utc, minutes, true) +
         kav::text::format(" %2d %3s %2.2d", local.day, mon(local.month), two_digit(local.year));
}

// A negative hour or minute -(100*o + s): the current value rounded down to a
// multiple of s, plus o.
int resolve_negative(int value, int current) {
  if (value == MISS || value >= 0) return value;
  const int code = value < -9999999 ? 9999999 : -value;
  int step = code % 100;
  if (step <= 0) step = 1;
  const int cur = current == MISS ? 0 : current;
  return (cur / step) * step + code / 100;
}

void move_hours(Date &d, int hours) {
  Date n = d;
  if (!break_down(DATE_num_sec(&n) - static_cast<int64_t>(hours) * 3600, d)) d = n;
}

}  // namespace

extern "C" {

const char *DATE_month(int month) KAV_NOEXCEPT { return mon(month); }
const char *DATE_month_lower(int month) KAV_NOEXCEPT {
  return (month >= 1 && month <= 12) ? months_lc[month - 1] : "";
}
const char *DATE_month_long(int month) KAV_NOEXCEPT {
  return (month >= 1 && month <= 12) ? months_long[month - 1] : "";
}
const char *DATE_weekday(int wday) KAV_NOEXCEPT { return wday_name(wday); }

int DATE_init(Date *date) KAV_NOEXCEPT {
  if (!date) return -1;
  *date = kNoDate;
  return 0;
}

int DATE_print(M_type level, const Date *date) KAV_NOEXCEPT {
  if (!date) return -1;
  MESS_print(level, "%d/%d/%d %2.2d:%2.2d:%2.2d\n", date->year, date->month, date->day, date->hour,
             date->min, date->sec);
  return 0;
}

int DATE_get_current_str(char *str) KAV_NOEXCEPT {
  if (!str) return -1;
  Date d;
  DATE_get_current_gmdate(&d);
  std::snprintf(str, DATE_CURRENT_LEN, "%2.2d %s %2.2d  %2.2d:%2.2d:%2.2dZ", two_digit(d.year),
                mon(d.month), d.day, d.hour, d.min, d.sec);
  return 0;
}

int DATE_print_current(M_type level) KAV_NOEXCEPT {
  char buf[DATE_CURRENT_LEN];
  DATE_get_current_str(buf);
  MESS_print(level, "%s", buf);
  return 0;
}

int DATE_get_simple_current_str(char *str) KAV_NOEXCEPT {
  if (!str) return -1;
  Date d;
  DATE_get_current_gmdate(&d);
  std::snprintf(str, DATE_CURRENT_LEN, "%2.2d-%2.2d:%2.2dZ", d.day, d.hour, d.min);
  return 0;
}

int DATE_get_current_gmdate(Date *date) KAV_NOEXCEPT { return DATE_get_gmdate(nullptr, date); }

void DATE_set_clock(int64_t (*fn)(void)) KAV_NOEXCEPT { state().clock = fn ? fn : system_clock; }

int64_t DATE_get_time(int64_t *secs) KAV_NOEXCEPT {
  const int64_t now = state().clock();
  if (secs) *secs = now;
  return now;
}

int DATE_get_gmdate(const int64_t *secs, Date *date) KAV_NOEXCEPT {
  if (!date) return -1;
  const int64_t t = secs ? *secs : DATE_get_time(nullptr);
  return break_down(t, *date) ? 0 : -1;
}

int DATE_get_localdate(const int64_t *secs, Date *date) KAV_NOEXCEPT {
  if (!date) return -1;
  const struct tm *tm = DATE_get_localtime(secs);
  if (!tm) {
    DATE_init(date);
    return -1;
  }
  *date = Date{tm->tm_year + 1900, tm->tm_mon + 1, tm->tm_mday, tm->tm_yday + 1,
               tm->tm_wday,        tm->tm_hour,    tm->tm_min,  tm->tm_sec};
  return 0;
}

struct tm *DATE_get_gmtime(const int64_t *secs) KAV_NOEXCEPT {
  const time_t t = static_cast<time_t>(secs ? *secs : DATE_get_time(nullptr));
  return gmtime_r(&t, &state().tm_buf);
}

struct tm *DATE_get_localtime(const int64_t *secs) KAV_NOEXCEPT {
  const time_t t = static_cast<time_t>(secs ? *secs : DATE_get_time(nullptr));
  return localtime_r(&t, &state().tm_buf);
}

int64_t DATE_num_sec(Date *date) KAV_NOEXCEPT {
  if (!date) return MISS;
  normalise(*date);
  return seconds_of(*date);
}

int64_t DATE_num_sec_tm(const struct tm *tm) KAV_NOEXCEPT {
  if (!tm) return MISS;
  Date d = {tm->tm_year, tm->tm_mon + 1, tm->tm_mday, MISS,
            MISS,        tm->tm_hour,    tm->tm_min,  tm->tm_sec};
  return DATE_num_sec(&d);
}

int DATE_is_leap(int year) KAV_NOEXCEPT { return is_leap(year) ? 1 : 0; }

int DATE_date_days(int year, int month, int day) KAV_NOEXCEPT {
  Date d = {year, month, day, MISS, MISS, 0, 0, 0};
  normalise(d);
  const int64_t days = days_from_civil(d.year, d.month, 1) + d.day;
  // A count that does not fit the result cannot be formed.
  if (days > INT_MAX || days < INT_MIN) return MISS;
  return static_cast<int>(days);
}

int DATE_days_date(int days, int *year, int *month, int *day) KAV_NOEXCEPT {
  if (!year || !month || !day) return -1;
  int64_t y;
  civil_from_days(static_cast<int64_t>(days) - 1, y, *month, *day);
  *year = static_cast<int>(y);
  return 0;
}

int DATE_time_date(int rsecs, int *hour, int *min, int *sec) KAV_NOEXCEPT {
  if (!hour || !min || !sec) return -1;
  const int s = ((rsecs % 86400) + 86400) % 86400;
  *hour = s / 3600;
  *min = (s % 3600) / 60;
  *sec = s % 60;
  return 0;
}

int DATE_julian_monday(int year, int julian, int *month, int *day) KAV_NOEXCEPT {
  if (!month || !day) return -1;
  const int *table = is_leap(year) ? num_day_leap : num_day;
  if (julian < 1) julian = 1;
  if (julian > table[12]) julian = table[12];
  int m = 1;
  while (m < 12 && table[m] < julian) ++m;
  *month = m;
  *day = julian - table[m - 1];
  return 0;
}

int DATE_monday_julian(int year, int month, int day, int *julian) KAV_NOEXCEPT {
  if (!julian) return -1;
  if (month < 1) month = 1;
  if (month > 12) month = 12;
  const int before = (is_leap(year) ? num_day_leap : num_day)[month - 1];
  if (day > INT_MAX - before) return -1;  // the day of the year would not fit
  *julian = before + day;
  return 0;
}

Date *DATE_to_struct(int year, int month, int day, int hour, int min) KAV_NOEXCEPT {
  Date &d = state().to_struct;
  d = Date{year, month, day, MISS, MISS, hour, min, 0};
  return &d;
}

int DATE_make_seq(Date *date, char *str) KAV_NOEXCEPT {
  if (!str || !date) return -1;
  if (date->year < 0) date->year = 1980;
  if (date->year > 9999) date->year = 9999;  // the sequence has four digits
  if (date->month < 1 || date->month > 12) date->month = 1;
  if (date->day < 0 || date->day > 31) date->day = 1;
  if (date->hour < 0 || date->hour > 23) date->hour = 0;
  if (date->min < 0 || date->min > 59) date->min = 0;
  std::snprintf(str, DATE_SEQ_LEN, "%4.4d%2.2d%2.2d%2.2d%2.2d", date->year, date->month, date->day,
                date->hour, date->min);
  return 0;
}

int DATE_decode_seq(const char *str, Date *date) KAV_NOEXCEPT {
  if (!str || !date) return -1;
  DATE_init(date);
  std::sscanf(str, "%4d%2d%2d%2d%2d", &date->year, &date->month, &date->day, &date->hour,
              &date->min);
  return 0;
}

static int date_make_label_body(const Date *date, char *str) {
  if (!date || !str) return -1;
  put(str, standard_label(*date));
  return 0;
}

int DATE_make_label(const Date *date, char *str) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return date_make_label_body(date, str); },
      [&] {
        kav::out_of_memory("DATE_make_label");
        if (str) str[0] = '\0';
      });
}

int DATE_decode_month(const char *str) KAV_NOEXCEPT {
  if (!str || !str[0]) return 0;
  for (int lower = 0; lower < 2; ++lower) {
    auto is = [&](char c, char want) {
      return c ==
             (lower ? static_cast<char>(std::tolower(static_cast<unsigned char>(want))) : want);
    };
    const char a = str[0];
    if (is(a, 'F')) return 2;
    if (is(a, 'S')) return 9;
    if (is(a, 'O')) return 10;
    if (is(a, 'N')) return 11;
    if (is(a, 'D')) return 12;
    const char b = str[1];
    if (!b) continue;
    if (is(a, 'J') && is(b, 'A')) return 1;
    const char c = str[2];
    if (!c) continue;
    if (is(a, 'J') && is(c, 'N')) return 6;
    if (is(a, 'J') && is(c, 'L')) return 7;
    if (is(a, 'M') && is(c, 'R')) return 3;
    if (is(a, 'M') && is(c, 'Y')) return 5;
    if (is(a, 'A') && is(c, 'R')) return 4;
    if (is(a, 'A') && is(c, 'G')) return 8;
  }
  return 0;
}

int DATE_decode_label(const char *str, Date *date) KAV_NOEXCEPT {
  if (!date) return -1;
  DATE_init(date);
  if (!str) return -1;
  const size_t len = std::strlen(str);
  int h = 0, m = 0, s = 0, d = 0, y = 0, mo = 0;
  char name[4] = "";
  Date r;
  DATE_init(&r);
  bool ok = false;
  auto named = [&](int fields, int want) {
    if (fields != want) return false;
    mo = DATE_decode_month(name);
    return mo != 0;
  };
  // 1: "12Z  5 MAR 24" at the start.
  if (named(std::sscanf(str, "%2dZ %2d %3s %2d", &h, &d, name, &y), 4)) {
    r.hour = h;
    ok = true;
  }
  // 2: "1230Z  5 MAR 24" on the last 15 characters.
  if (!ok && len >= 15) {
    const char *p = str + len - 15;
    int n = std::sscanf(p, "%2d%2dZ %2d %3s %2d", &h, &m, &d, name, &y);
    if (p[0] == ' ' && std::sscanf(p, "%1d%2d", &h, &m) != 2) n = 0;
    if (named(n, 5)) {
      r.hour = h;
      r.min = m;
      ok = true;
    }
  }
  // 3: "12:30:00Z  5 MAR 24" on the last 19 characters.
  if (!ok && len >= 19 &&
      named(std::sscanf(str + len - 19, "%2d:%2d:%2dZ %2d %3s %2d", &h, &m, &s, &d, name, &y), 6)) {
    r.hour = h;
    r.min = m;
    r.sec = s;
    ok = true;
  }
  // 4: "12Z  5 MAR 24" on the last 13 characters.
  if (!ok && len >= 13 &&
      named(std::sscanf(str + len - 13, "%2dZ %2d %3s %2d", &h, &d, name, &y), 4)) {
    r.hour = h;
    ok = true;
  }
  // 5: "24 03 05 12": year, month, day, hour.
  if (!ok && std::sscanf(str, "%2d %2d %2d %2d", &y, &mo, &d, &h) == 4) {
    r.hour = h;
    ok = true;
  }
  if (!ok) return -1;
  if (y <= 49) y += 2000;
  if (y <= 199) y += 1900;
  r.year = y;
  r.month = mo;
  r.day = d;
  *date = r;
  return 0;
}

static int date_format_label_body(char *str, const char *format, int fhour, const char *model,
                                  const Date *date) {
  if (!str || !format) return -1;
  Date d;
  if (date)
    d = *date;
  else
    DATE_init(&d);
  std::string out;
  for (const char *p = format; *p; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    const char c = *++p;
    if (!c) break;
    switch (c) {
      case 'F':
        out += fhour_text(split_fhour(fhour).period, d.hour == MISS);
        break;
      case 'f':
        out += kav::text::format("%d", fhour);
        break;
      case 'x':
        if (model) out += std::string(model).substr(0, DATE_MODEL_LEN);
        break;
      case 'y':
        if (d.year != MISS) out += kav::text::format("%2.2d", two_digit(century(d.year)));
        break;
      case 'm':
        if (d.month != MISS) out += kav::text::format("%2.2d", d.month);
        break;
      case 'd':
        if (d.day != MISS) out += kav::text::format("%2.2d", d.day);
        break;
      case 'M':
        out += kav::text::format("%3.3s", mon(d.month));
        break;
      case 'h':
        if (d.hour != MISS) out += kav::text::format("%2.2d", d.hour);
        break;
      case 'n':
        if (d.min != MISS) out += kav::text::format("%2.2d", d.min);
        break;
      default:
        out += c;
        break;
    }
  }
  std::memcpy(str, out.c_str(), out.size() + 1);
  return 0;
}

int DATE_format_label(char *str, const char *format, int fhour, const char *model,
                      const Date *date) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return date_format_label_body(str, format, fhour, model, date); },
      [&] {
        kav::out_of_memory("DATE_format_label");
        if (str) str[0] = '\0';
      });
}

static char *date_fhour_label_body(char *str, int fhour, int flag) {
  if (!str) return nullptr;
  put(str, fhour_text(fhour, flag));
  return str;
}

char *DATE_fhour_label(char *str, int fhour, int flag) KAV_NOEXCEPT {
  return kav::fault::guard(
      static_cast<char *>(nullptr), [&] { return date_fhour_label_body(str, fhour, flag); },
      [&] {
        kav::out_of_memory("DATE_fhour_label");
        if (str) str[0] = '\0';
      });
}

static int date_make_label_for_body(int fhour, int model, int64_t seconds, char *str) {
  if (!str) return -1;
  constexpr int64_t kFar = INT64_C(1) << 50;  // far beyond any date a label can show
  seconds = seconds > kFar ? kFar : (seconds < -kFar ? -kFar : seconds);
  const Fhour f = split_fhour(fhour);
  std::string s = fhour_text(f.period, 0);
  const std::string name = model_name(model);
  if (f.period != 0 && f.period != MISS && !name.empty()) s += ' ';
  s += name;
  if (seconds == 0) {
    if (f.period == 0) s += " analysis";
    put(str, s);
    return -1;
  }
  bool forecast = false;
  int t3 = f.t3 == MISS ? 0 : f.t3;
  if (f.t2 < 6 || f.t3 != 0) {
    if (f.period != 0) {
      s += " valid";
      forecast = true;
    } else {
      s += " analysis for";
    }
  } else if (f.raw_t3 < 500) {
    s += " analysis valid";
  } else {
    s += " analysis starting";
    t3 = 0;
  }
  Date local, utc;
  display_pair(seconds + static_cast<int64_t>(t3) * 3600, local, utc);
  const std::string t = time_text(local, utc, false, true);
  if (forecast)
    s += kav::text::format(" %s %3s %2d %3s %2.2d", t.c_str(), wday_name(local.wday), local.day,
                           mon(local.month), two_digit(local.year));
  else
    s += kav::text::format(" %s %2d %3s %2.2d", t.c_str(), local.day, mon(local.month),
                           two_digit(local.year));
  put(str, s);
  return 0;
}

int DATE_make_label_for(int fhour, int model, int64_t seconds, char *str) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return date_make_label_for_body(fhour, model, seconds, str); },
      [&] {
        kav::out_of_memory("DATE_make_label_for");
        if (str) str[0] = '\0';
      });
}

static int date_make_label_for_time_body(int fhour, int model, const Date *date, char *str) {
  const std::string name = model_name(model);
  return DATE_make_label_for_time_mod(fhour, name.c_str(), date, str);
}

int DATE_make_label_for_time(int fhour, int model, const Date *date, char *str) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return date_make_label_for_time_body(fhour, model, date, str); },
      [&] {
        kav::out_of_memory("DATE_make_label_for_time");
        if (str) str[0] = '\0';
      });
}

static int date_make_label_for_time_mod_body(int fhour, const char *model, const Date *date,
                                             char *str) {
  if (!str || !date) return -1;
  const Fhour f = split_fhour(fhour);
  const bool no_hour = date->hour == MISS;
  std::string s = fhour_text(f.period, no_hour);
  const std::string name = model ? std::string(model).substr(0, DATE_MODEL_LEN) : "";
  if (f.period != 0 && f.period != MISS && !name.empty()) s += ' ';
  s += name;
  const bool has_lead = !s.empty();
  Date d = *date;
  if (d.hour < 0 || d.hour > 23) d.hour = 0;
  if (d.day < 1 || d.day > 31) d.day = 1;
  if (d.month < 1 || d.month > 12) d.month = 1;
  if (d.year < 0) d.year = 1980;
  if (f.t1 != 0 || (f.period != 0 && f.period != MISS)) {
    bool forecast = false;
    int t3 = f.t3 == MISS ? 0 : f.t3;
    if (f.t2 <= 0 || f.t3 != 0) {
      s += " valid";
      forecast = true;
    } else if (f.raw_t3 < 500) {
      s += has_lead ? " analysis valid" : "Analysis valid";
    } else {
      s += has_lead ? " analysis starting" : "Analysis starting";
      t3 = 0;
    }
    Date n = d;
    const int64_t valid = DATE_num_sec(&n) + static_cast<int64_t>(t3) * 3600;
    Date local, utc;
    if (no_hour) {
      break_down(valid, local);  // a date without an hour is not moved
      utc = local;
    } else {
      display_pair(valid, local, utc);
    }
    const std::string t = time_text(local, utc, false, false);
    if (forecast && no_hour)
      s += kav::text::format(" %3s %2d %3s %2d", wday_name(local.wday), local.day, mon(local.month),
                             two_digit(local.year));
    else if (forecast)
      s += kav::text::format(" %s %3s %2d %3s %2.2d", t.c_str(), wday_name(local.wday), local.day,
                             mon(local.month), two_digit(local.year));
    else if (no_hour)
      s += kav::text::format(" %2d %3s %2d", local.day, mon(local.month), two_digit(local.year));
    else
      s += kav::text::format(" %s %2d %3s %2.2d", t.c_str(), local.day, mon(local.month),
                             two_digit(local.year));
  } else {
    s += name.empty() ? "Analysis for " : " analysis for ";
    s += standard_label(*date);
  }
  put(str, s);
  return 0;
}

int DATE_make_label_for_time_mod(int fhour, const char *model, const Date *date,
                                 char *str) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return date_make_label_for_time_mod_body(fhour, model, date, str); },
      [&] {
        kav::out_of_memory("DATE_make_label_for_time_mod");
        if (str) str[0] = '\0';
      });
}

static int date_make_label_valid_time_body(int fhour, const Date *date, char *str) {
  if (!str || !date) return -1;
  const Fhour f = split_fhour(fhour);
  const bool no_hour = date->hour == MISS;
  Date d = *date;
  if (d.hour < 0 || d.hour > 23) d.hour = 0;
  if (d.day < 1 || d.day > 31) d.day = 1;
  if (d.month < 1 || d.month > 12) d.month = 1;
  if (d.year < 0) d.year = 1980;
  const int t3 = f.t3 == MISS ? 0 : f.t3;
  const int64_t valid = DATE_num_sec(&d) + static_cast<int64_t>(t3) * 3600;
  Date local, utc;
  std::string s;
  if (no_hour) {
    break_down(valid, local);
    s = kav::text::format("%3s %2d %3s %2.2d", wday_name(local.wday), local.day, mon(local.month),
                          two_digit(local.year));
  } else {
    display_pair(valid, local, utc);
    s = kav::text::format("%s %3s %2d %3s %2.2d", time_text(local, utc, false, false).c_str(),
                          wday_name(local.wday), local.day, mon(local.month),
                          two_digit(local.year));
  }
  put(str, s);
  return 0;
}

int DATE_make_label_valid_time(int fhour, const Date *date, char *str) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return date_make_label_valid_time_body(fhour, date, str); },
      [&] {
        kav::out_of_memory("DATE_make_label_valid_time");
        if (str) str[0] = '\0';
      });
}

int DATE_set_TZ(const char *str) KAV_NOEXCEPT {
  if (!str) return -1;
  DateState &s = state();
  int pm = s.tz_pm;
  const char *p = str;
  if (*p == '-') {
    pm = -1;
    ++p;
  } else if (*p == '+') {
    pm = 1;
    ++p;
  }
  if (!*p) {
    s.tz_pm = pm;
    return 0;
  }
  char name[5] = "";
  float hours = 0.0f;
  if (std::sscanf(p, "%4[^:]:%f", name, &hours) != 2 || !std::isfinite(hours) ||
      std::fabs(hours) > 24.0f) {
    MESS_print(M_WARN, "DATE_set_TZ: Bad time zone: %s\n", str);
    return -1;
  }
  s.tz_pm = pm;
  std::snprintf(s.tz_str, sizeof s.tz_str, " %s", name);
  s.tz_off = static_cast<int>(3600.0f * hours);
  return 0;
}

int DATE_get_tz_off(void) KAV_NOEXCEPT { return state().tz_off; }
const char *DATE_get_tz_str(void) KAV_NOEXCEPT { return state().tz_str; }

int DATE_set_range(int pre, int post) KAV_NOEXCEPT {
  DateState &s = state();
  s.min_pre = pre;
  s.min_post = post;
  s.begin = s.base + static_cast<int64_t>(s.min_pre) * 60;
  s.end = s.base + static_cast<int64_t>(s.min_post) * 60;
  return 0;
}

}  // extern "C"

namespace {

// A decode_hour setting read: the hour and minute to decode for, and the
// window of minutes before (P) and after (Q) them.
struct DecodeHour {
  bool known = true;        // the text has one of the forms
  bool hour_given = false;  // it names an hour
  bool window = false;      // it names a window
  int h = MISS, m = MISS;
  int P = 0, Q = 0;
};

// Reads the decode_hour text dh: "H:M-P+Q", "H-P+Q", ":-P+Q", or the forms
// after "cu" that count from the file date fd ("cu:cu", "cu-K-P+Q", "cu-K",
// "cu-P+Q", "cu:M-P+Q", "cu"); "cu-K" moves fd by K hours. Q defaults to
// post, the window's current end.
DecodeHour read_decode_hour(const char *dh, Date &fd, int post) {
  DecodeHour r;
  r.Q = post;
  int K = 0;
  const bool cu = strnicmp(dh, "cu", 2) == 0;
  int n;
  if (!cu && std::sscanf(dh, "%d:%d-%d+%d", &r.h, &r.m, &r.P, &r.Q) >= 2) {
    r.hour_given = true;
    n = std::sscanf(dh, "%d:%d-%d+%d", &r.h, &r.m, &r.P, &r.Q);
    r.window = n >= 3;
  } else if (!cu && std::sscanf(dh, "%d-%d+%d", &r.h, &r.P, &r.Q) >= 1) {
    n = std::sscanf(dh, "%d-%d+%d", &r.h, &r.P, &r.Q);
    r.hour_given = true;
    r.m = 0;
    r.window = n >= 2;
  } else if (!cu && std::sscanf(dh, ":-%d+%d", &r.P, &r.Q) >= 1) {
    r.window = true;
  } else if (cu && strnicmp(dh, "cu:cu", 5) == 0) {
    r.h = fd.hour;
    r.m = fd.min;
    r.hour_given = true;
    r.window = std::sscanf(dh + 5, "-%d+%d", &r.P, &r.Q) >= 1;
  } else if (cu && std::sscanf(dh + 2, "-%d-%d+%d", &K, &r.P, &r.Q) >= 2) {
    move_hours(fd, K);
    r.h = fd.hour;
    r.m = fd.min;
    r.hour_given = r.window = true;
  } else if (cu && (n = std::sscanf(dh + 2, "-%d+%d", &K, &r.Q)) >= 1) {
    r.hour_given = true;
    if (n == 2) {
      r.P = K;
      r.h = fd.hour;
      r.m = 0;
      r.window = true;
    } else {
      move_hours(fd, K);
      r.h = fd.hour;
      r.m = fd.min;
    }
  } else if (cu && std::sscanf(dh + 2, ":%d-%d+%d", &r.m, &r.P, &r.Q) >= 1) {
    n = std::sscanf(dh + 2, ":%d-%d+%d", &r.m, &r.P, &r.Q);
    r.h = fd.hour;
    r.hour_given = true;
    r.window = n >= 2;
  } else if (cu && dh[2] == '\0') {
    r.h = fd.hour;  // "cu" alone: the hour and minute of the date itself
    r.m = fd.min;
    r.hour_given = true;
  } else {
    r.known = false;
    MESS_print(M_WARN, "DATE_set_datim: Unable to decode decode_hour: %s\n", dh);
  }
  return r;
}

// Uses a decode_hour setting read: its hour and minute replace H and M, and
// its window (cut to a year either way) becomes the decoding range.
void use_decode_hour(DecodeHour r, const Date &fd, int &H, int &M) {
  if (r.known && r.hour_given && r.h != MISS) {
    H = r.h;
    M = r.m;
    MESS_print(M_MESS, "Decoding for: %2.2d:%2.2dZ\n", resolve_negative(H, fd.hour),
               M == MISS ? 0 : resolve_negative(M, fd.min));
  }
  constexpr int kYear = 527040;  // minutes
  r.P = r.P < -kYear ? -kYear : (r.P > kYear ? kYear : r.P);
  r.Q = r.Q < -kYear ? -kYear : (r.Q > kYear ? kYear : r.Q);
  if (r.known && r.window) {
    MESS_print(M_MESS, "Decoding range: %d +%d mins\n", -r.P, r.Q);
    DATE_set_range(-r.P, r.Q);
  }
}

}  // namespace

// The decoding window around a date; dh is the decode_hour setting (null or
// empty for none). DATE_set_datim, in the resource layer, reads it.
int kav_date_set_datim(const Date *date, const char *dh) {
  if (!date) return -1;
  DateState &st = state();
  st.file_date = *date;
  Date &fd = st.file_date;
  // The file module's fixed hour and minute hold unless decode_hour names others.
  Date fixed;
  FILE_get_time(&fixed);
  int H = fixed.hour, M = fixed.min;
  if (dh && *dh) use_decode_hour(read_decode_hour(dh, fd, st.min_post), fd, H, M);
  H = resolve_negative(H, fd.hour);
  M = resolve_negative(M, fd.min);
  if (H != MISS) {
    fd.hour = H;
    fd.min = M == MISS ? 0 : M;
  } else if (M != MISS) {
    fd.min = M;
  }
  if (fd.min == MISS) fd.min = 0;
  st.base = DATE_num_sec(&fd);
  st.begin = st.base + static_cast<int64_t>(st.min_pre) * 60;
  st.end = st.base + static_cast<int64_t>(st.min_post) * 60;
  return 0;
}

extern "C" {

int DATE_get_datim(Date *date) KAV_NOEXCEPT {
  if (!date) return -1;
  *date = state().file_date;
  return 0;
}

int DATE_chk_range(int date) KAV_NOEXCEPT {
  if (date == MISS || date < 0) return 0;
  const DateState &s = state();
  const int a = date / 100, mm = date % 100;
  const int req = s.file_date.hour, req_min = s.file_date.min;
  int d = a - req;
  if (d < -11)
    d += 24;
  else if (d >= 12)
    d -= 24;
  const int64_t t =
      s.base + static_cast<int64_t>(d) * 3600 + static_cast<int64_t>(mm - req_min) * 60;
  const int in = (t >= s.begin && t <= s.end) ? 1 : 0;
  MESS_print(M_DEBUG & M_SUB_D, "%d %d %d-%d = %d\n", date, static_cast<int>((t - s.base) / 60),
             s.min_pre, s.min_post, in);
  return in;
}

}  // extern "C"

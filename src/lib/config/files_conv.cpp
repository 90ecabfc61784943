// Name conventions: the convention file that maps file types to templates,
// the template language that turns a date into a file name, and the current
// and latest files.
#include <kav/date.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include "base/tools_int.hpp"
#include "console/files_int.hpp"
#include "console/guard.hpp"

using namespace kav_files;

namespace {

constexpr int MISS = KAV_IMISSING;
constexpr M_type kTrace = M_DEBUG & M_SUB_D;   // the templates and latest-file search
constexpr M_type kTrace2 = M_DEBUG & M_SUB_A;  // which convention matched
// Longest line of a convention file that is looked at.
constexpr size_t kConvLine = 160;

// The position of the next ":K=" key setting at or after from.
size_t find_key(const std::string &s, size_t from) {
  for (size_t i = from; i + 2 < s.size(); ++i)
    if (s[i] == ':' && std::isalpha(static_cast<unsigned char>(s[i + 1])) && s[i + 2] == '=')
      return i;
  return std::string::npos;
}

// Reads one line (without its end) into line, keeping at most kConvLine
// characters; false at the end of the file and when a read failed.
bool read_line(FILE *fp, std::string &line) { return kav::text::read_line(fp, line, kConvLine); }

void use_type_as_template(FileState &s, const std::string &type) {
  s.conv = cut(type, FILE_NAME_LEN);
  s.hconv.clear();
  s.ext.clear();
  s.min_size = 0;
}

int round_down(int v, int step) { return step > 1 ? (v / step) * step : v; }

// A negative fixed hour or minute -(100*o + s): value rounded down to a
// multiple of s, plus o. The step is returned in step.
int negative_fixed(int fixed, int value, int &step) {
  const int code = fixed < -9999999 ? 9999999 : -fixed;
  step = code % 100;
  if (step <= 0) step = 1;
  return ((value == MISS ? 0 : value) / step) * step + code / 100;
}

struct Expansion {
  std::string out;
  int late = MISS;  // shortest period of the date escapes, seconds
  void period(long secs) {
    if (secs <= 0) return;
    if (secs > INT_MAX) secs = INT_MAX;
    if (late == MISS || secs < late) late = static_cast<int>(secs);
  }
};

// v with at least width digits, zero-padded.
std::string num(int width, int v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d", width, v);
  return buf;
}

// Reads fixed-width digits: year (4), then month, day, hour, minute (2 each)
// while digits follow. Missing month and day are 1, hour and minute 0. The
// position after the digits is returned in end; false when no year is there.
bool read_datetime(const char *p, Date &d, const char **end) {
  int v[5] = {0, 1, 1, 0, 0};
  const int width[5] = {4, 2, 2, 2, 2};
  int field = 0;
  for (; field < 5; ++field) {
    int n = 0, x = 0;
    while (n < width[field] && std::isdigit(static_cast<unsigned char>(p[n])))
      x = x * 10 + (p[n++] - '0');
    if (n == 0) break;
    v[field] = x;
    p += n;
  }
  if (end) *end = p;
  if (field == 0) return false;
  d = Date{v[0], v[1], v[2], MISS, MISS, v[3], v[4], 0};
  return true;
}

// An offset "[Nd][H][:M]" in seconds; false when nothing was read.
bool read_offset(const char *&p, int64_t &secs) {
  auto number = [&](long &out) {
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    char *e;
    out = std::strtol(p, &e, 10);
    if (out > 1000000) out = 1000000;
    p = e;
    return true;
  };
  long days = 0, hours = 0, mins = 0, n;
  bool any = false;
  if (number(n)) {
    any = true;
    if (*p == 'd' || *p == 'D') {
      days = n;
      ++p;
      if (number(n)) hours = n;
    } else {
      hours = n;
    }
  }
  if (*p == ':' && std::isdigit(static_cast<unsigned char>(p[1]))) {
    ++p;
    number(mins);
    any = true;
  }
  secs = static_cast<int64_t>(days) * 86400 + static_cast<int64_t>(hours) * 3600 +
         static_cast<int64_t>(mins) * 60;
  return any;
}

bool read_sign(const char *&p, int &dir) {
  if (*p == '+' || *p == '-') {
    dir = *p == '+' ? 1 : -1;
    ++p;
    return true;
  }
  return false;
}

Date date_at(int64_t secs) {
  Date d;
  DATE_get_gmdate(&secs, &d);
  return d;
}

// ---- The template language ----

// One expansion of a template: the date it expands, the fields the user has
// fixed, the date the name comes to stand for, and the text made so far.
struct Expander {
  FileState &s;
  Date date;               // the date asked for, two-digit years completed
  const Date &fix;         // fields the user has fixed (s.set)
  Date &rec;               // the date the name stands for (s.file_date)
  bool have_path = false;  // the user's directory replaces the directory escapes
  std::string path;        // that directory
  Expansion x;

  int year_of(int step) const {
    if (fix.year >= 0) return fix.year;
    return date.year == MISS ? MISS : round_down(date.year, step);
  }
  int month_of(int step) const {
    if (fix.month >= 0) return fix.month;
    return date.month == MISS ? MISS : round_down(date.month, step);
  }
  // The day printed for %d (and the day %j counts); the escape's period is
  // period_step days, or k days for a negative fixed day -k.
  int day_of(int step, int period_step) {
    if (fix.day >= 0) {
      x.period(static_cast<long>(period_step) * 86400);
      return fix.day;
    }
    if (fix.day != MISS) {
      const int k = fix.day < -9999999 ? 9999999 : -fix.day;
      x.period(static_cast<long>(k) * 86400);
      return date.day == MISS ? MISS : round_down(date.day, k);
    }
    x.period(static_cast<long>(period_step) * 86400);
    return date.day == MISS ? MISS : round_down(date.day, step);
  }
  // An hour or minute (unit 3600 or 60 seconds) under its fixed value.
  int hm_of(int fixed, int value, int step, long unit) {
    if (fixed >= 0) {
      x.period(step * unit);
      return fixed;
    }
    if (fixed != MISS) {
      int st;
      const int v = negative_fixed(fixed, value, st);
      x.period(st * unit);
      return value == MISS ? MISS : v;
    }
    x.period(step * unit);
    return value == MISS ? MISS : round_down(value, step);
  }
  // A number of width digits; zeros for a missing one.
  void field(int v, int width) {
    x.out += v == MISS ? std::string(static_cast<size_t>(width), '0') : num(width, v);
  }
};

// An escape of a template: '%', an optional step, a letter.
struct Escape {
  const std::string &tmpl;
  size_t at;             // position of the letter
  int step;              // the step written, at least 1
  bool has_step;         // digits were written
  const char *resource;  // the directory escapes' resource
  size_t end;            // the last position the escape takes
};

using EscapeFn = void (*)(Expander &, Escape &);

void escape_percent(Expander &ex, Escape &) { ex.x.out += '%'; }

void escape_year(Expander &ex, Escape &e) {
  const int y = ex.year_of(e.step);
  ex.field(y, 4);
  if (y != MISS) ex.rec.year = y;
}

void escape_year2(Expander &ex, Escape &e) {
  int y = MISS;
  if (ex.fix.year >= 0) {
    y = ex.fix.year;
  } else if (ex.date.year != MISS) {
    y = ex.date.year - ex.date.year % 100 + round_down(ex.date.year % 100, e.step);
  }
  ex.field(y == MISS ? MISS : y % 100, 2);
  if (y != MISS) ex.rec.year = y;
}

void escape_month(Expander &ex, Escape &e) {
  const int m = ex.month_of(e.step);
  ex.field(m, 2);
  if (m != MISS) ex.rec.month = m;
}

void escape_month_name(Expander &ex, Escape &e) {
  const int m = ex.month_of(e.step);
  const char *name = DATE_month_lower(m);
  ex.x.out += *name ? name : "xxx";
  if (m != MISS) ex.rec.month = m;
}

void escape_day(Expander &ex, Escape &e) {
  const int d = ex.day_of(e.step, e.step);
  ex.field(d, 2);
  if (d != MISS) ex.rec.day = d;
}

// %j: the day of the year of the fixed or asked-for date.
void escape_julian(Expander &ex, Escape &e) {
  const int d = ex.day_of(1, e.step);
  const int y = ex.year_of(1), m = ex.month_of(1);
  int jd = MISS;
  if (d != MISS && m != MISS)
    DATE_monday_julian(y == MISS ? 1970 : y, m, d, &jd);
  else if (ex.date.jday != MISS)
    jd = ex.date.jday;
  if (jd != MISS) jd = round_down(jd, e.step);
  ex.field(jd, 3);
  if (jd != MISS) ex.rec.jday = jd;
}

void escape_hour(Expander &ex, Escape &e) {
  const int h = ex.hm_of(ex.fix.hour, ex.date.hour, e.step, 3600);
  ex.field(h, 2);
  if (h != MISS) ex.rec.hour = h;
}

void escape_minute(Expander &ex, Escape &e) {
  const int n = ex.hm_of(ex.fix.min, ex.date.min, e.step, 60);
  ex.field(n, 2);
  if (n != MISS) ex.rec.min = n;
}

void escape_extension(Expander &ex, Escape &) { ex.x.out += ex.s.ext; }

// %{name}: the value of the resource name (nothing when unset).
void escape_resource(Expander &ex, Escape &e) {
  const size_t close = e.tmpl.find('}', e.at + 1);
  const std::string name =
      e.tmpl.substr(e.at + 1, close == std::string::npos ? std::string::npos : close - e.at - 1);
  if (ex.have_path) {
    ex.x.out += ex.path;
  } else if (const char *v = RES_get(name.c_str())) {
    ex.x.out += v;
  }
  e.end = close == std::string::npos ? e.tmpl.size() : close;
}

// A directory letter: its path resource ("." when unset).
void escape_directory(Expander &ex, Escape &e) {
  if (ex.have_path) {
    ex.x.out += ex.path;
  } else {
    const char *v = RES_get(e.resource);
    ex.x.out += v && *v ? v : ".";
  }
}

// Any other letter: the user's key for it ("0" when none), cut to the step
// when one is written.
void escape_key(Expander &ex, Escape &e) {
  const std::string &key = ex.s.keys[static_cast<unsigned char>(e.tmpl[e.at])];
  if (key.empty())
    ex.x.out += '0';
  else
    ex.x.out += e.has_step ? key.substr(0, static_cast<size_t>(e.step)) : key;
}

struct EscapeHandler {
  char letter;
  EscapeFn run;
  const char *resource;  // the directory escapes' path resource
};

// The escapes of the template language; a letter not listed is a key.
constexpr EscapeHandler kEscapes[] = {
    {'%', escape_percent, nullptr},        {'Y', escape_year, nullptr},
    {'y', escape_year2, nullptr},          {'m', escape_month, nullptr},
    {'b', escape_month_name, nullptr},     {'d', escape_day, nullptr},
    {'j', escape_julian, nullptr},         {'h', escape_hour, nullptr},
    {'n', escape_minute, nullptr},         {'e', escape_extension, nullptr},
    {'{', escape_resource, nullptr},       {'C', escape_directory, "con_path"},
    {'D', escape_directory, "data_path"},  {'F', escape_directory, "file_path"},
    {'R', escape_directory, "raw_path"},   {'G', escape_directory, "grid_path"},
    {'I', escape_directory, "image_path"}, {'W', escape_directory, "watch_path"},
    {'T', escape_directory, "text_path"},  {'M', escape_directory, "model_path"},
    {'S', escape_directory, "sat_path"},
};

const EscapeHandler *escape_handler(char letter) {
  for (const EscapeHandler &h : kEscapes)
    if (h.letter == letter) return &h;
  return nullptr;
}

// Expands the template into ex.x: blanks become '_', plain braces vanish,
// escapes go to their handlers. An escape cut off by the end stops it.
void expand(const std::string &tmpl, Expander &ex) {
  for (size_t i = 0; i < tmpl.size(); ++i) {
    const char c = tmpl[i];
    if (c == '{' || c == '}') continue;
    if (c == ' ') {
      ex.x.out += '_';
      continue;
    }
    if (c != '%') {
      ex.x.out += c;
      continue;
    }
    size_t j = i + 1;
    int step = 0;
    bool has_step = false;
    while (j < tmpl.size() && std::isdigit(static_cast<unsigned char>(tmpl[j]))) {
      if (step < 100000) step = step * 10 + (tmpl[j] - '0');
      has_step = true;
      ++j;
    }
    if (j >= tmpl.size()) break;
    const EscapeHandler *h = escape_handler(tmpl[j]);
    Escape e{tmpl, j, step < 1 ? 1 : step, has_step, h ? h->resource : nullptr, j};
    (h ? h->run : escape_key)(ex, e);
    i = e.end;
  }
}

// A full path the user gave keeps its directory for the directory escapes:
// the name less as many trailing parts as the template has '/' and ':'.
bool user_directory(const FileState &s, const std::string &tmpl, std::string &path) {
  if (s.filename_type != 1 || !FILE_fullpath(s.filename.c_str())) return false;
  size_t drop = 0;
  for (char c : tmpl)
    if (c == '/' || c == ':') ++drop;
  path = s.filename;
  for (size_t i = 0; i < drop; ++i) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) break;
    path.resize(slash);
  }
  MESS_print(kTrace, "Extracted path: %s\n", path.c_str());
  return true;
}

// Years below 50 are 20xx, below 200 19xx (or 1900 + the year).
void complete_year(Date &date) {
  if (date.year != MISS && date.year >= 0) {
    if (date.year < 50) date.year += 2000;
    if (date.year < 200) date.year += 1900;
  }
}

}  // namespace

extern "C" {

static int file_set_name(const char *type) {
  FileState &s = state();
  if (!s.keys_cleared) {
    for (auto &k : s.keys) k.clear();
    s.keys_cleared = true;
  }
  s.filename.clear();
  std::string t = cut(type ? type : "", FILE_NAME_LEN);
  if (stricmp(t.c_str(), "none") == 0) {
    s.conv.clear();
    s.hconv.clear();
    return 0;
  }
  if (!t.empty() && t[0] == '@') {
    use_type_as_template(s, t.substr(1));
    return 1;
  }
  const size_t first = find_key(t, 0);
  if (first != std::string::npos) {
    const std::string rest = t.substr(first);
    t.resize(first);
    for (size_t pos = 0; pos != std::string::npos;) {
      const char key = rest[pos + 1];
      const size_t next = find_key(rest, pos + 3);
      const std::string value =
          rest.substr(pos + 3, next == std::string::npos ? std::string::npos : next - pos - 3);
      FILE_set_key(static_cast<unsigned char>(key), value.c_str());
      MESS_print(kTrace, "KEY: %c = %s\n", key, value.c_str());
      pos = next;
    }
  }
  const char *nc = RES_get("name_conv");
  char conv_file[FILE_NAME_LEN];
  if (!FILE_add_path(RES_get("file_path"), nc && *nc ? nc : "name_conv", conv_file))
    throw std::bad_alloc();
  // Closed however the reading ends, memory running out included.
  errno = 0;
  const std::unique_ptr<FILE, int (*)(FILE *)> hold(
      FILE_is_stdio(conv_file) ? nullptr : FILE_open(conv_file, "r"), &FILE_close);
  FILE *const fp = hold.get();
  if (!fp && errno == ENOMEM) throw std::bad_alloc();  // not a missing file
  if (!fp) {
    MESS_print(M_WARN, "FILE_set_name: No file name convention file: %s\n", conv_file);
    use_type_as_template(s, t);
    return 0;
  }
  std::string line;
  int found = 0;
  while (!found && read_line(fp, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream in(line);
    // A field cut short by memory running out must not read as a short one.
    in.exceptions(std::ios::badbit);
    std::string name, conv, hconv, size;
    if (!(in >> name)) continue;
    in >> conv >> hconv >> size;
    const bool exact = stricmp(name.c_str(), t.c_str()) == 0;
    const bool partial = !exact && name.size() < t.size() &&
                         strnicmp(name.c_str(), t.c_str(), static_cast<int>(name.size())) == 0;
    if (!exact && !partial) continue;
    // The convention is made whole before any of it is kept: memory that
    // runs out part-way leaves the one in use as it was.
    std::string new_conv = cut(conv, FILE_NAME_LEN);
    std::string new_hconv = hconv == "-" ? "" : cut(hconv, FILE_NAME_LEN);
    std::string new_ext;
    if (!exact) {
      const size_t us = t.rfind('_');
      if (us != std::string::npos) new_ext = cut(t.substr(us + 1), FILE_EXT_LEN);
    }
    const long ms = std::strtol(size.c_str(), nullptr, 10);
    s.conv.swap(new_conv);
    s.hconv.swap(new_hconv);
    s.ext.swap(new_ext);
    s.min_size = ms < 0 ? 0 : (ms > INT_MAX ? INT_MAX : static_cast<int>(ms));
    if (exact)
      MESS_print(kTrace2, "File name match for: %s\n", t.c_str());
    else
      MESS_print(kTrace2, "File name partial match for: %s-%s ext: %s\n", t.c_str(), name.c_str(),
                 s.ext.c_str());
    found = 1;
  }
  if (!found && std::ferror(fp)) {
    // The type may be named further on: no template is better than a wrong one.
    MESS_print(M_WARN, "FILE_set_name: Unable to read file: %s\n", conv_file);
    s.conv.clear();
    s.hconv.clear();
    return -1;
  }
  if (!found) {
    MESS_print(kTrace2, "No file name conversion for: %s\n", t.c_str());
    use_type_as_template(s, t);
  }
  return found;
}

int FILE_set_name(const char *type) KAV_NOEXCEPT {
  return kav::guarded("FILE_set_name", -1, [&] { return file_set_name(type); });
}

static int file_set_date(const Date *datim, char *out_file) {
  FileState &s = state();
  const std::string tmpl = s.header ? s.hconv : s.conv;
  if (tmpl.empty()) {
    copy_out(out_file, s.filename.empty() ? "filename" : s.filename, FILE_NAME_LEN);
    s.filename_type = 1;
    return 1;
  }
  if (is_stdio(tmpl.c_str())) {
    copy_out(out_file, "-", FILE_NAME_LEN);
    s.filename_type = 0;
    return 1;
  }
  std::string path;
  const bool have_path = user_directory(s, tmpl, path);
  s.late_off = MISS;
  Date date;
  if (datim) {
    date = *datim;
    Date &f = s.file_date;
    f.year = f.month = f.day = f.hour = f.min = MISS;
  } else {
    date = s.file_date;
  }
  if (date.year == MISS && !s.filename.empty()) {
    copy_out(out_file, s.filename, FILE_NAME_LEN);
    s.filename_type = 1;
    return 1;
  }
  complete_year(date);
  Expander ex{s, date, s.set, s.file_date, have_path, path, {}};
  expand(tmpl, ex);
  s.late_off = ex.x.late;
  s.filename = cut(ex.x.out, FILE_NAME_LEN);
  copy_out(out_file, s.filename, FILE_NAME_LEN);
  return 0;
}

int FILE_set_date(const Date *datim, char *out_file) KAV_NOEXCEPT {
  const int made =
      kav::guarded("FILE_set_date", -1, [&] { return file_set_date(datim, out_file); });
  if (made < 0 && out_file) out_file[0] = '\0';
  return made;
}

}  // extern "C"

namespace {

// ---- The current and latest files ----

// The time a current-file request starts from: digits after '#' in the
// request (p moves past them), else the kavcurtime variable, else now.
Date start_time(const char *&p) {
  Date d;
  if (*p == '#' && read_datetime(p + 1, d, &p)) return d;
  if (*p == '#') ++p;  // "#" without digits: the current time
  const char *env = std::getenv("kavcurtime");
  const char *q = env && *env == '#' ? env + 1 : env;
  if (!env || !read_datetime(q, d, nullptr)) {
    if (env) MESS_print(M_WARN, "FILE_set_current: Bad kavcurtime: %s\n", env);
    DATE_get_gmdate(nullptr, &d);
  }
  return d;
}

// Seconds of d pulled back to the latest moment that has the fixed fields.
int64_t latest_with_fixed(const Date &fix, Date d) {
  if (fix.month >= 1 && fix.month <= 12) {
    if (fix.month > d.month) --d.year;
    d.month = fix.month;
  }
  if (fix.day >= 1 && fix.day <= 31) {
    if (fix.day > d.day && --d.month < 1) {
      d.month = 12;
      --d.year;
    }
    d.day = fix.day;
  }
  int64_t t = DATE_num_sec(&d);
  if (fix.hour >= 0 && fix.hour <= 23) {
    Date c = date_at(t);
    if (c.hour < fix.hour) c = date_at(t - 86400);
    c.hour = fix.hour;
    t = DATE_num_sec(&c);
  }
  if (fix.min >= 0 && fix.min <= 59) {
    Date c = date_at(t);
    if (c.min < fix.min) c = date_at(t - 3600);
    c.min = fix.min;
    t = DATE_num_sec(&c);
  }
  return t;
}

// Steps t back (dir -1) or forward from file to file of the convention, at
// most the "#N" count of the request (500 by default), until a file is
// larger than the minimum size; name is the last name tried.
void search_latest(FileState &s, const char *&p, int dir, int64_t &t, char *name) {
  long tries = 500;
  if (*p == '#' && std::isdigit(static_cast<unsigned char>(p[1]))) {
    char *e;
    tries = std::strtol(p + 1, &e, 10);
    p = e;
    if (tries < 1) tries = 1;
    if (tries > 100000) tries = 100000;
  }
  // The run-time minimum counts when it is positive; a missing file never
  // counts, whatever the minimum.
  const int minimum = s.rmin_size > 0 ? s.rmin_size : s.min_size;
  bool found = false;
  long i = 0;
  for (; i < tries; ++i) {
    const Date c = date_at(t);
    MESS_print(kTrace, "LATE:%d %d %d %d %d\n", c.year, c.month, c.day, c.hour, c.min);
    FILE_set_date(&c, name);
    MESS_print(kTrace, "LATE: %s\n", name);
    const long size = FILE_size(name);
    if (size >= 0 && size > minimum) {
      found = true;
      break;
    }
    // A template without date escapes names one file whatever the time.
    if (s.late_off <= 0) break;
    if (i + 1 < tries) t += static_cast<int64_t>(dir) * s.late_off;
  }
  MESS_print(kTrace, "LATEST: %s %s %d\n", found ? "found" : "not found", name,
             static_cast<int>(i));
}

// t rounded down to a whole period (none when period is not positive).
int64_t period_start(int64_t t, int period) {
  if (period <= 0) return t;
  int64_t q = t / period;
  if (t % period != 0 && t < 0) --q;
  return q * period;
}

}  // namespace

extern "C" {

static int64_t file_set_current(const char *cur, char *filename) {
  FileState &s = state();
  const char *spec = cur ? cur : "la";
  const char *p = spec;
  Date d = start_time(p);
  d.sec = 0;
  int64_t t = latest_with_fixed(s.set, d);
  // "[cu][+-offset][la[#N]][+-offset]": offsets before and after the search.
  if (strnicmp(p, "cu", 2) == 0) p += 2;
  int dir = -1;
  int64_t off = 0;
  read_sign(p, dir);
  if (read_offset(p, off)) {
    t += dir * off;
    const Date c = date_at(t);
    MESS_print(kTrace, "CUR1:%d %d %d %d\n", c.year, c.month, c.day, c.hour);
    MESS_print(kTrace, "CUR1:%s %d\n", spec, static_cast<int>(off));
  }
  read_sign(p, dir);
  char name[FILE_NAME_LEN] = "";
  if (*p == 'l' || *p == 'L') {
    ++p;
    if (*p == 'a' || *p == 'A') ++p;
    search_latest(s, p, dir, t, name);
  }
  read_sign(p, dir);
  if (read_offset(p, off)) {
    t += dir * off;
    const Date c = date_at(t);
    MESS_print(kTrace, "CUR2:%d %d %d %d\n", c.year, c.month, c.day, c.hour);
    MESS_print(kTrace, "CUR2:%d\n", static_cast<int>(off));
  }
  if (*p) MESS_print(M_WARN, "FILE_set_current: Ignored in current time: %s\n", p);
  const Date c = date_at(t);
  FILE_set_date(&c, name);
  copy_out(filename, name, FILE_NAME_LEN);
  s.filename_type = 0;
  return period_start(t, s.late_off);
}

int64_t FILE_set_current(const char *cur, char *filename) KAV_NOEXCEPT {
  const int64_t t = kav::guarded("FILE_set_current", int64_t{-1},
                                 [&] { return file_set_current(cur, filename); });
  if (t < 0 && filename) filename[0] = '\0';
  return t;
}

}  // extern "C"

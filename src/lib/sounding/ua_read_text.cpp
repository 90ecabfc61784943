// Sounding text files: the analysis's own "KAVRAW" file, read column by
// column, and the tabular text form with its %RAW% section.
#include <kav/calc.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/ua_read.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "base/tools_int.hpp"
#include "console/guard.hpp"

namespace {

constexpr float kMissing = KAV_MISSING;
constexpr int kLineMax = 255;  // characters of a line kept; the rest is passed over
constexpr int kRawSlots = 4;   // files open at once

const char *const kFieldNames[UPA_RAW_FIELDS] = {"Lev", "P", "H", "T", "Td", "Dir", "Spd"};

// Reads one line (at most kLineMax characters kept, the line end and the
// rest of a longer line passed over). False at the end of the file.
bool read_line(FILE *fp, std::string &line) {
  return kav::text::read_line(fp, line, static_cast<size_t>(kLineMax));
}

// A number that fills the whole token and is finite.
bool parse_number(const char *tok, float *out) {
  char *end = nullptr;
  errno = 0;
  float v = std::strtof(tok, &end);
  if (end == tok || errno != 0 || !std::isfinite(v)) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  *out = v;
  return true;
}

// A stream FILE_open made, closed with FILE_close.
using StreamPtr = std::unique_ptr<FILE, int (*)(FILE *)>;

// One open KAVRAW file.
struct RawFile {
  FILE *fp = nullptr;        // the stream, null when the slot is free
  std::string name;          // file name, for messages
  std::string info;          // station line without "!"
  std::string label;         // date label line
  int line_no = 0;           // lines read so far
  char station[6] = "";      // label of the current level line
  std::array<float, 7> v{};  // columns of the current line (index 1 = P)
  int next = 7;              // next column to hand out (7: read a new line)
};

struct RawState {
  std::array<RawFile, kRawSlots> slot;  // the open files
};

RawState &raw_state() {
  static RawState s;
  return s;
}

RawFile *raw_slot(int fd) {
  if (fd < 0 || fd >= kRawSlots) return nullptr;
  RawFile &f = raw_state().slot[static_cast<size_t>(fd)];
  return f.fp != nullptr ? &f : nullptr;
}

// Parses a level line: a 5-character label, then P, H, T, Td, Dir and Spd
// ("-" for a missing column; P always present).
bool parse_level_line(const std::string &line, RawFile &f) {
  if (line.size() < 6) return false;
  char lab[6];
  std::memcpy(lab, line.data(), 5);
  lab[5] = '\0';
  strip_string(lab, ' ');
  std::string rest = line.substr(5);
  std::array<float, 7> v{};
  int count = 0;
  const char *s = rest.c_str();
  char tok[64];
  while (*s != '\0') {
    while (*s == ' ' || *s == '\t') ++s;
    if (*s == '\0') break;
    size_t n = 0;
    while (s[n] != '\0' && s[n] != ' ' && s[n] != '\t') ++n;
    if (n >= sizeof tok || count >= 6) return false;
    std::memcpy(tok, s, n);
    tok[n] = '\0';
    s += n;
    float x = kMissing;
    // Only the lone "-" is a missing column; "-1.0" is a number.
    if (std::strcmp(tok, "-") != 0 && !parse_number(tok, &x)) return false;
    v[static_cast<size_t>(++count)] = x;
  }
  if (count != 6 || is_missing(v[1]) || !(v[1] > 0) || v[1] > 2000) return false;
  std::memcpy(f.station, lab, sizeof f.station);
  f.v = v;
  return true;
}

}  // namespace

extern "C" {

static int upa_raw_open_body(const char *filename) {
  if (filename == nullptr) return -1;
  RawState &s = raw_state();
  int fd = -1;
  for (int i = 0; i < kRawSlots && fd < 0; ++i)
    if (s.slot[static_cast<size_t>(i)].fp == nullptr) fd = i;
  if (fd < 0) {
    MESS_print(M_WARN, "UPA_raw_open: Too many open sounding files: %s\n", filename);
    return -1;
  }
  // The file is read into a record of its own, which takes the slot only
  // once complete: memory that runs out part-way closes the file and leaves
  // the slot free.
  RawFile f;
  f.name = filename;
  f.fp = FILE_open(filename, "r");
  if (f.fp == nullptr) {
    MESS_print(M_WARN, "UPA_raw_open: Unable to open sounding file: %s\n", filename);
    return -1;
  }
  StreamPtr hold(f.fp, &FILE_close);
  std::string line;
  if (!read_line(f.fp, line) || line.compare(0, 6, "KAVRAW") != 0) {
    if (std::ferror(f.fp))
      MESS_print(M_WARN, "UPA_raw_open: Unable to read sounding file: %s\n", filename);
    else
      MESS_print(M_WARN, "UPA_raw_open: Not a KAVRAW sounding file: %s\n", filename);
    return -1;
  }
  f.line_no = 1;
  // The date label, the station line and the column header.
  if (read_line(f.fp, line)) {
    ++f.line_no;
    f.label = line;
  }
  if (read_line(f.fp, line)) {
    ++f.line_no;
    f.info = line.compare(0, 1, "!") == 0 ? line.substr(1) : line;
  }
  if (std::ferror(f.fp)) {
    MESS_print(M_WARN, "UPA_raw_open: Unable to read sounding file: %s\n", filename);
    return -1;
  }
  s.slot[static_cast<size_t>(fd)] = std::move(f);
  (void)hold.release();  // the slot owns the stream now
  return fd;
}

int UPA_raw_open(const char *filename) KAV_NOEXCEPT {
  return kav::guarded("UPA_raw_open", -1, [&] { return upa_raw_open_body(filename); });
}

const char *UPA_raw_info(int fd) KAV_NOEXCEPT {
  RawFile *f = raw_slot(fd);
  return f != nullptr ? f->info.c_str() : "";
}

const char *UPA_raw_label(int fd) KAV_NOEXCEPT {
  RawFile *f = raw_slot(fd);
  return f != nullptr ? f->label.c_str() : "";
}

int UPA_raw_num_fields(int fd) KAV_NOEXCEPT { return raw_slot(fd) != nullptr ? UPA_RAW_FIELDS : 0; }

const char *UPA_raw_field_name(int fd, int field) KAV_NOEXCEPT {
  if (raw_slot(fd) == nullptr || field < 0 || field >= UPA_RAW_FIELDS) return "";
  return kFieldNames[field];
}

static int upa_raw_read_body(int fd, char *station, float *pres, int *field, float *value) {
  RawFile *f = raw_slot(fd);
  if (f == nullptr) return -1;
  if (std::ferror(f->fp)) return -2;  // reported when it failed
  std::string line;
  while (f->next > 6) {
    if (!read_line(f->fp, line)) {
      if (!std::ferror(f->fp)) return -1;
      MESS_print(M_WARN, "UPA_raw_read: Unable to read sounding file: %s\n", f->name.c_str());
      return -2;
    }
    ++f->line_no;
    if (string_is_blank(line.c_str()) || line.compare(0, 4, " Lev") == 0) continue;
    if (!parse_level_line(line, *f)) {
      MESS_print(M_WARN, "UPA_raw_read: Unreadable line %d of %s\n", f->line_no, f->name.c_str());
      continue;
    }
    f->next = 2;
  }
  if (station != nullptr) std::memcpy(station, f->station, sizeof f->station);
  if (pres != nullptr) *pres = f->v[1];
  if (field != nullptr) *field = f->next;
  if (value != nullptr) *value = f->v[static_cast<size_t>(f->next)];
  ++f->next;
  return 0;
}

int UPA_raw_read(int fd, char *station, float *pres, int *field, float *value) KAV_NOEXCEPT {
  return kav::guarded("UPA_raw_read", -1,
                      [&] { return upa_raw_read_body(fd, station, pres, field, value); });
}

int UPA_raw_close(int fd) KAV_NOEXCEPT {
  RawFile *f = raw_slot(fd);
  if (f == nullptr) return -1;
  FILE_close(f->fp);
  *f = RawFile{};
  return 0;
}

static int upa_read_text_body(const char *filename, UPA_level *levels, int max, char *id,
                              int id_len, Date *date) {
  if (id != nullptr && id_len > 0) id[0] = '\0';
  if (date != nullptr) DATE_init(date);
  if (filename == nullptr) return -1;
  // Closed however the reading ends, memory running out included.
  StreamPtr hold(FILE_open(filename, "r"), &FILE_close);
  FILE *fp = hold.get();
  if (fp == nullptr) {
    MESS_print(M_ERROR, "UPA_read_text: Unable to open sounding file: %s\n", filename);
    return -1;
  }
  std::string line;
  int line_no = 0, count = 0;
  bool in_raw = false, seen_raw = false, title_next = false, warned_full = false;
  while (read_line(fp, line)) {
    ++line_no;
    if (title_next && !string_is_blank(line.c_str())) {
      title_next = false;
      char word[32] = "", when[32] = "";
      if (std::sscanf(line.c_str(), "%31s %31s", word, when) >= 1 && id != nullptr && id_len > 0)
        std::snprintf(id, static_cast<size_t>(id_len), "%s", word);
      int yy, mo, dd, hh, mi;
      if (date != nullptr && std::sscanf(when, "%2d%2d%2d/%2d%2d", &yy, &mo, &dd, &hh, &mi) == 5 &&
          mo >= 1 && mo <= 12 && dd >= 1 && dd <= 31 && hh >= 0 && hh <= 23 && mi >= 0 &&
          mi <= 59) {
        date->year = yy < 70 ? 2000 + yy : 1900 + yy;
        date->month = mo;
        date->day = dd;
        date->hour = hh;
        date->min = mi;
        date->sec = 0;
        date->jday = DATE_date_days(date->year, mo, dd) - DATE_date_days(date->year, 1, 1) + 1;
      }
      continue;
    }
    if (line.compare(0, 7, "%TITLE%") == 0) {
      title_next = true;
      continue;
    }
    if (line.compare(0, 5, "%RAW%") == 0) {
      in_raw = seen_raw = true;
      continue;
    }
    if (line.compare(0, 5, "%END%") == 0) {
      in_raw = false;
      continue;
    }
    if (!in_raw || string_is_blank(line.c_str())) continue;
    float v[6];
    int n = 0;
    const char *s = line.c_str();
    char tok[64];
    bool ok = true;
    // Six comma-separated numbers.
    while (ok) {
      const char *comma = std::strchr(s, ',');
      size_t len = comma != nullptr ? static_cast<size_t>(comma - s) : std::strlen(s);
      if (n >= 6 || len >= sizeof tok) {
        ok = false;
        break;
      }
      std::memcpy(tok, s, len);
      tok[len] = '\0';
      trim_string(tok);
      ok = parse_number(tok, &v[n]);
      if (ok && v[n] <= -9998.5f) v[n] = kMissing;
      ++n;
      if (comma == nullptr) break;
      s = comma + 1;
    }
    if (!ok || n != 6) {
      MESS_print(M_WARN, "UPA_read_text: Unreadable line %d of %s\n", line_no, filename);
      continue;
    }
    if (is_missing(v[0]) || !(v[0] > 0) || v[0] > 2000 ||
        (count > 0 && !(v[0] < levels[count - 1].p))) {
      MESS_print(M_WARN, "UPA_read_text: Line %d of %s: pressure %g not above the level below\n",
                 line_no, filename, static_cast<double>(v[0]));
      continue;
    }
    if (levels == nullptr || count >= max) {
      if (!warned_full)
        MESS_print(M_WARN, "UPA_read_text: More than %d levels in %s; the rest is ignored\n", max,
                   filename);
      warned_full = true;
      break;
    }
    levels[count++] = UPA_level{v[0], v[1], v[2], v[3], v[4], v[5]};
  }
  const bool failed = !warned_full && std::ferror(fp);
  hold.reset();
  if (failed) {
    // The levels past the failure are unknown: a sounding cut short is none.
    MESS_print(M_ERROR, "UPA_read_text: Unable to read sounding file: %s\n", filename);
    return -1;
  }
  if (!seen_raw) {
    MESS_print(M_ERROR, "UPA_read_text: No %%RAW%% section in sounding file: %s\n", filename);
    return -1;
  }
  return count;
}

int UPA_read_text(const char *filename, UPA_level *levels, int max, char *id, int id_len,
                  Date *date) KAV_NOEXCEPT {
  const int n = kav::guarded("UPA_read_text", -1, [&] {
    return upa_read_text_body(filename, levels, max, id, id_len, date);
  });
  if (n < 0) {
    // A failure part-way leaves no station or time read before it.
    if (id != nullptr && id_len > 0) id[0] = '\0';
    if (date != nullptr) DATE_init(date);
  }
  return n;
}

}  // extern "C"

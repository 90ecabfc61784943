// Choosing files from what the user types: a name completed with the active
// template, the date it stands for, the listing of the files a template can
// name, the file prompt, and stepping through a series of files by time or
// through a list of names.
#include <glob.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/system.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "console/files_int.hpp"
#include "console/guard.hpp"

using namespace kav_files;

namespace {

constexpr int MISS = KAV_IMISSING;
constexpr M_type kTrace = M_DEBUG & M_SUB_D;  // the merge of a name with its template
constexpr M_type kStep = M_DEBUG & M_SUB_C;   // stepping
// Room for a typed file name.
constexpr int kAnswerLength = 80;

// The directory escapes and their path resources.
struct DirEscape {
  char letter;
  const char *resource;
};
constexpr DirEscape kDirEscapes[] = {
    {'C', "con_path"},   {'D', "data_path"},  {'F', "file_path"},  {'R', "raw_path"},
    {'G', "grid_path"},  {'W', "watch_path"}, {'I', "image_path"}, {'T', "text_path"},
    {'M', "model_path"}, {'S', "sat_path"},
};

const char *dir_resource(char letter) {
  for (const DirEscape &d : kDirEscapes)
    if (d.letter == letter) return d.resource;
  return nullptr;
}

// Width of a date escape's field in a name; 0 for other letters.
int date_width(char letter) {
  switch (letter) {
    case 'Y':
      return 4;
    case 'j':
    case 'b':
      return 3;
    case 'y':
    case 'm':
    case 'd':
    case 'h':
    case 'n':
      return 2;
    default:
      return 0;
  }
}

bool is_key_letter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) && date_width(c) == 0 && c != 'e' &&
         !dir_resource(c);
}

std::string path_value(const char *resource) {
  const char *v = RES_get(resource);
  return v && *v ? v : ".";
}

// One escape of a template: '%', an optional step, a letter (or "{name}").
struct Esc {
  int step = 1;           // the step written, at least 1
  bool has_step = false;  // digits were written
  char letter = '\0';     // '\0' when the template ended inside the escape
  std::string resource;   // the resource of a directory escape or %{name}
  size_t next = 0;        // position after the escape
};

// Reads the escape whose '%' is at i.
Esc read_escape(const std::string &t, size_t i) {
  Esc e;
  size_t j = i + 1;
  int step = 0;
  while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) {
    if (step < 100000) step = step * 10 + (t[j] - '0');
    e.has_step = true;
    ++j;
  }
  e.step = step < 1 ? 1 : step;
  if (j >= t.size()) {
    e.next = t.size();
    return e;
  }
  e.letter = t[j];
  e.next = j + 1;
  if (e.letter == '{') {
    const size_t close = t.find('}', j + 1);
    e.resource = t.substr(j + 1, close == std::string::npos ? std::string::npos : close - j - 1);
    e.next = close == std::string::npos ? t.size() : close + 1;
  } else if (const char *r = dir_resource(e.letter)) {
    e.resource = r;
  }
  return e;
}

// The shortest period of a template's date escapes, with the user's fixed
// date fields: what a name made from the template is spaced by.
int template_period(const std::string &t, const Date &fix) {
  long late = MISS;
  auto period = [&](long secs) {
    if (secs > 0 && (late == MISS || secs < late)) late = secs;
  };
  auto fixed_step = [](int fixed) {
    const int code = fixed < -9999999 ? 9999999 : -fixed;
    return code % 100 > 0 ? code % 100 : 1;
  };
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] != '%') continue;
    const Esc e = read_escape(t, i);
    switch (e.letter) {
      case 'd':
      case 'j':
        period(fix.day < 0 && fix.day != MISS ? -static_cast<long>(fix.day) * 86400
                                              : static_cast<long>(e.step) * 86400);
        break;
      case 'h':
        period(static_cast<long>(fix.hour < 0 && fix.hour != MISS ? fixed_step(fix.hour) : e.step) *
               3600);
        break;
      case 'n':
        period(static_cast<long>(fix.min < 0 && fix.min != MISS ? fixed_step(fix.min) : e.step) *
               60);
        break;
      default:
        break;
    }
    i = e.next - 1;
  }
  return late > 2147483647L ? 2147483647 : static_cast<int>(late);
}

// ---- Merging a user's name with the template ----

struct Merge {
  FileState &s;
  const std::string &t;   // the template
  const std::string &in;  // the user's name
  std::string out;
  size_t u = 0;  // position in the user's name
  int w = 0;     // 0 at the start, 1 after a directory part, 2 after a date, 3 used up
  Date &fd;      // the date the name stands for

  bool used_up() const { return u >= in.size(); }
  // The rest of the user's name ends the walk.
  void rest() {
    out += in.substr(std::min(u, in.size()));
    u = in.size();
  }
  void trace(size_t i) const {
    MESS_print(kTrace, "FILES:%s:%s:%s:%s:%s:%d\n", t.c_str() + i,
               in.c_str() + std::min(u, in.size()), out.c_str(), s.ext.c_str(), s.conv.c_str(), w);
  }
};

// A date escape: its field read from the user's name. False when the walk
// ends.
bool merge_date(Merge &m, const Esc &e) {
  const int width = date_width(e.letter);
  if (m.in.size() - std::min(m.u, m.in.size()) < static_cast<size_t>(width)) {
    m.rest();
    return false;
  }
  const std::string field = m.in.substr(m.u, static_cast<size_t>(width));
  int v = 0;
  if (e.letter == 'b') {
    v = DATE_decode_month(field.c_str());
    if (v < 1 || v > 12) {
      m.rest();
      return false;
    }
  } else {
    for (char c : field) {
      if (!std::isdigit(static_cast<unsigned char>(c))) {
        m.rest();
        return false;
      }
      v = v * 10 + (c - '0');
    }
  }
  m.out += field;
  m.u += static_cast<size_t>(width);
  switch (e.letter) {
    case 'Y':
      m.fd.year = v;
      break;
    case 'y':
      m.fd.year = v > 49 ? 1900 + v : 2000 + v;
      break;
    case 'm':
    case 'b':
      m.fd.month = v;
      break;
    case 'd':
      m.fd.day = v;
      break;
    case 'j':
      m.fd.jday = v;
      break;
    case 'h':
      m.fd.hour = v;
      break;
    default:
      m.fd.min = v;
      break;
  }
  m.w = 2;
  return true;
}

// The literal template text from pos up to the next escape, brace or '*'.
std::string literal_after(const std::string &t, size_t pos) {
  const size_t end = t.find_first_of("%{*", pos);
  return t.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

// %e: the extension, known or taken from the user's name. False when the
// walk ends.
bool merge_extension(Merge &m, const Esc &e) {
  const std::string lit = literal_after(m.t, e.next);
  const size_t at = lit.empty() ? m.in.size() : m.in.find(lit, std::min(m.u, m.in.size()));
  if (at == std::string::npos) {
    m.rest();
    return false;
  }
  if (m.s.ext.empty()) m.s.ext = cut(m.in.substr(m.u, at - m.u), FILE_EXT_LEN);
  m.out += m.s.ext;
  m.u = at;
  return true;
}

// A directory escape: the user's own directory when the name is a full
// path, else the resource's value (and the '/' after the escape).
size_t merge_directory(Merge &m, const Esc &e) {
  size_t next = e.next;
  if (FILE_fullpath(m.in.c_str())) {
    size_t keep = 0;
    for (size_t i = e.next; i < m.t.size(); ++i)
      if (m.t[i] == '/' || m.t[i] == '\\' || m.t[i] == ':') ++keep;
    size_t p = m.in.size();
    for (size_t k = 0; k < keep && p > m.u; ++k) {
      const size_t sep = m.in.find_last_of("/\\:", p - 1);
      if (sep == std::string::npos || sep < m.u) {
        p = m.u;
        break;
      }
      p = sep;
    }
    m.out += m.in.substr(m.u, p - m.u);
    m.u = p;
  } else {
    if (e.letter == '{') {
      const char *v = RES_get(e.resource.c_str());
      m.out += v ? v : "";
    } else {
      m.out += path_value(e.resource.c_str());
    }
    if (next < m.t.size() && m.t[next] == '/') {
      m.out += '/';
      ++next;
    }
  }
  m.w = 1;
  return next;
}

// A "{...}" part: copied with its escapes expanded, the user's name left
// alone. The end of the template closes an unclosed brace.
size_t merge_brace(Merge &m, size_t i) {
  const size_t close = m.t.find('}', i + 1);
  const size_t end = close == std::string::npos ? m.t.size() : close;
  for (size_t j = i + 1; j < end; ++j) {
    if (m.t[j] != '%') {
      m.out += m.t[j];
      continue;
    }
    const Esc e = read_escape(m.t, j);
    if (e.letter == '%') {
      m.out += '%';
    } else if (!e.resource.empty()) {
      const char *v = RES_get(e.resource.c_str());
      m.out += e.letter == '{' ? (v ? v : "") : path_value(e.resource.c_str());
    } else if (is_key_letter(e.letter)) {
      const std::string &key = m.s.keys[static_cast<unsigned char>(e.letter)];
      m.out += key.empty() ? "0" : (e.has_step ? key.substr(0, static_cast<size_t>(e.step)) : key);
    } else if (e.letter == 'e') {
      m.out += m.s.ext;
    }
    j = std::min(e.next, end) - 1;
  }
  m.w = 1;
  return close == std::string::npos ? m.t.size() : close + 1;
}

// Walks the template along the user's name. The result is cut to a file
// name's room.
std::string merge_name(FileState &s, const std::string &t, const std::string &in) {
  Merge m{s, t, in, {}, 0, 0, s.file_date};
  const bool has_slash = in.find('/') != std::string::npos;
  size_t i = 0;
  bool ended = false;
  while (i < t.size() && !ended) {
    m.trace(i);
    const char c = t[i];
    if (c == '*') {
      m.rest();
      ended = true;
    } else if (c == '%') {
      const Esc e = read_escape(t, i);
      if (e.letter == '\0') break;
      i = e.next;
      if (e.letter == '%') {
        m.out += '%';
        if (!m.used_up() && in[m.u] == '%') ++m.u;
      } else if (date_width(e.letter)) {
        ended = !merge_date(m, e);
      } else if (e.letter == 'e') {
        ended = !merge_extension(m, e);
      } else if (!e.resource.empty() || e.letter == '{') {
        i = merge_directory(m, e);
      } else {
        const std::string &key = s.keys[static_cast<unsigned char>(e.letter)];
        if (key.empty()) {
          m.rest();
          ended = true;
        } else {
          const std::string v = e.has_step ? key.substr(0, static_cast<size_t>(e.step)) : key;
          m.out += v;
          m.u = std::min(in.size(), m.u + v.size());
        }
      }
      continue;
    } else if (c == '{') {
      i = merge_brace(m, i);
      continue;
    } else if (c == '}') {
      // A closing brace without its opening one is dropped.
    } else if (m.w > 0 && !m.used_up() && in[m.u] == c) {
      m.out += c;
      if (++m.u == in.size()) m.w = 3;
    } else if (m.w > 1 && !m.used_up()) {
      m.rest();
      ended = true;
    } else if (m.w > 0 || (!m.used_up() && in[m.u] == c)) {
      m.out += c;
      if ((m.w > 1 || !has_slash) && !m.used_up()) ++m.u;
    } else {
      m.rest();
      ended = true;
    }
    ++i;
  }
  // What the template did not take of the user's name is kept.
  if (!ended && !m.used_up()) m.rest();
  Date &fd = s.file_date;
  if (fd.jday != MISS && fd.year != MISS && fd.day == MISS)
    DATE_julian_monday(fd.year, fd.jday, &fd.month, &fd.day);
  MESS_print(kTrace, "FILES:%s:%s:%d\n", m.out.c_str(), in.c_str(), fd.year);
  DATE_print(kTrace, &fd);
  return cut(m.out, FILE_NAME_LEN);
}

// A '#' date after the first character of the name: cut off and fixed.
void take_fixed_date(std::string &name, FileState &s) {
  const size_t hash = name.size() > 1 ? name.find('#', 1) : std::string::npos;
  if (hash == std::string::npos) return;
  const std::string digits = name.substr(hash + 1);
  name.resize(hash);
  int *fields[] = {&s.set.year, &s.set.month, &s.set.day, &s.set.hour, &s.set.min};
  const size_t width[] = {4, 2, 2, 2, 2};
  size_t p = 0;
  for (int f = 0; f < 5; ++f) {
    if (p + width[f] > digits.size()) break;
    int v = 0;
    size_t k = 0;
    for (; k < width[f] && std::isdigit(static_cast<unsigned char>(digits[p + k])); ++k)
      v = v * 10 + (digits[p + k] - '0');
    if (k < width[f]) break;
    *fields[f] = v;
    p += width[f];
  }
}

bool starts_blind(const char *s, const char *head) {
  return strnicmp(s, head, static_cast<int>(std::strlen(head))) == 0;
}

void set_current(const char *spec, std::string &name) {
  char buf[FILE_NAME_LEN] = "";
  FILE_set_current(spec, buf);
  name = buf;
  MESS_print(M_MESS, "Current filename: %s\n", buf);
}

std::string set_file(const char *file) {
  FileState &s = state();
  s.file_date = kNoDate;
  std::string name = cut(file ? file : "", FILE_NAME_LEN);
  if (s.file_type == 0) {
    take_fixed_date(name, s);
  } else if (s.file_type == 1) {
    char buf[FILE_NAME_LEN];
    copy_out(buf, name, sizeof buf);
    FILE_extract_extra_info(buf);
    name = buf;
  }
  Date &fd = s.file_date;
  if (s.set.year >= 0) fd.year = s.set.year;
  if (s.set.month >= 0) fd.month = s.set.month;
  if (s.set.day >= 0) fd.day = s.set.day;
  if (s.set.hour >= 0) fd.hour = s.set.hour;
  if (s.set.min >= 0) fd.min = s.set.min;

  if (stricmp(name.c_str(), "exit") == 0) KAV_exit(0);
  const std::string t = s.header ? s.hconv : s.conv;
  if (!name.empty() && name[0] == '@') {
    s.filename = name.substr(1);
    s.filename_type = 1;
    return s.filename;
  }
  if (is_stdio(name.c_str()) || (!t.empty() && is_stdio(t.c_str()))) return "-";
  if (t.empty()) {
    s.filename = name;
    s.filename_type = 1;
    return name;
  }
  std::string out;
  if (name[0] == '#' || starts_blind(name.c_str(), "la")) {
    set_current(name.c_str(), out);
  } else if (starts_blind(name.c_str(), "cu")) {
    set_current(name.c_str() + 2, out);
  } else if (stricmp(name.c_str(), "none") == 0 ||
             (FILE_fullpath(name.c_str()) && FILE_fullpath(t.c_str()))) {
    out = name;
    s.filename = name;
  } else {
    s.late_off = template_period(t, s.set);
    out = merge_name(s, t, name);
    s.filename = out;
  }
  return out;
}

// ---- Listing ----

// text with the characters glob reads as a pattern escaped.
std::string glob_literal(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The pattern of the names a template can make.
std::string list_pattern(const FileState &s, const std::string &t) {
  std::string p;
  for (size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (c == '{' || c == '}') continue;
    if (c != '%') {
      p += c;
      continue;
    }
    const Esc e = read_escape(t, i);
    i = e.next - 1;
    switch (e.letter) {
      case '\0':
        break;
      case '%':
        p += '%';
        break;
      case 'Y':
        p += "?[0-9]??";
        break;
      case 'y':
      case 'm':
      case 'd':
      case 'h':
      case 'n':
        p += "[0-9]?";
        break;
      case 'j':
        p += "?[0-9]?";
        break;
      case 'b':
        p += "?[a-z]?";
        break;
      case 'e':
        p += s.ext.empty() ? "*" : glob_literal(s.ext);
        break;
      default:
        if (e.letter == '{') {
          const char *v = RES_get(e.resource.c_str());
          p += glob_literal(v ? v : "");
        } else if (!e.resource.empty()) {
          p += glob_literal(path_value(e.resource.c_str()));
        } else {
          const std::string &key = s.keys[static_cast<unsigned char>(e.letter)];
          if (!key.empty())
            p += glob_literal(key);
          else
            p += e.has_step ? std::string(static_cast<size_t>(e.step), '?') : "*";
        }
        break;
    }
  }
  return p;
}

// A name as it may be shown on a terminal: control characters as '?'.
std::string printable(const char *name) {
  std::string out(name);
  for (char &c : out)
    if (std::iscntrl(static_cast<unsigned char>(c))) c = '?';
  return out;
}

// Prints the names across in columns, as wide as the longest name and two
// blanks, to fit the terminal's width (COLUMNS, else 80).
void print_columns(const std::vector<std::string> &names) {
  if (names.empty()) return;
  size_t width = 0;
  for (const std::string &n : names) width = std::max(width, n.size());
  width += 2;
  long cols = 80;
  if (const char *c = std::getenv("COLUMNS")) {
    const long v = std::strtol(c, nullptr, 10);
    if (v > 0 && v < 10000) cols = v;
  }
  size_t per_line = static_cast<size_t>(cols) / width;
  if (per_line < 1) per_line = 1;
  std::string line;
  for (size_t i = 0; i < names.size(); ++i) {
    const bool last = (i + 1) % per_line == 0 || i + 1 == names.size();
    line += names[i];
    if (!last) line += std::string(width - names[i].size(), ' ');
    if (last) {
      MESS_print(M_PRINT, "%s\n", line.c_str());
      line.clear();
    }
  }
}

// ---- Choosing ----

bool exists(const std::string &name) { return FILE_exist(name.c_str()) == 1; }

std::string first_filename_value(bool &given) {
  int n = 0;
  char **list = nullptr;
  const char *value = RES_get("filename");
  given = value && RES_getvals("filename", &n, &list) > 0;
  // Only memory keeps a text from being split: the name is not missing.
  if (!given && value && *value) throw std::bad_alloc();
  struct Release {
    int n;
    char **list;
    ~Release() { free_parsed_array(n, list); }
  } release{n, list};
  return given ? list[0] : "";
}

// Asks for a name up to tries times. 1 for an existing file; 0 when the
// tries ran out.
int ask(const char *prompt, int tries, bool warn, std::string &name) {
  for (int i = 0; i < tries; ++i) {
    char answer[kAnswerLength + 1] = "";
    KAV_prompts(prompt, answer, kAnswerLength);
    // The end of the input is no answer (an empty line is: the standard
    // streams), and nothing more can be asked.
    if (!answer[0] && std::feof(stdin)) break;
    if (stricmp(answer, "exit") == 0) KAV_exit(0);
    if (stricmp(answer, "list") == 0) {
      // A listing is no answer: the question is asked again.
      FILE_list_file();
      continue;
    }
    if (answer[0] == '#' || starts_blind(answer, "la")) {
      set_current(answer, name);
    } else if (starts_blind(answer, "cu")) {
      set_current(answer + 2, name);
    } else {
      name = set_file(answer);
    }
    if (exists(name)) return 1;
    if (warn) MESS_print(M_WARN, "File not found: %s\n", name.c_str());
  }
  return 0;
}

int get_file(const char *prompt, char *outfile, bool only) {
  FileState &s = state();
  bool given = false;
  const std::string first = first_filename_value(given);
  std::string name;
  if (given) {
    if (stricmp(first.c_str(), "list") == 0) {
      FILE_list_file();
      KAV_exit(0);
    }
    if (!only) s.filename_type = 1;
    name = set_file(first.c_str());
    copy_out(outfile, name, FILE_NAME_LEN);
    return exists(name) ? 1 : 0;
  }
  const char *current = RES_get("current");
  if (current && *current) {
    char buf[FILE_NAME_LEN] = "";
    FILE_set_current(current, buf);
    name = buf;
  } else if (!FLAG_batch()) {
    MESS_print(M_PRINT, "List of available files:\n");
    FILE_list_file();
    MESS_print(M_PRINT, "\n");
    const int found = ask(prompt, only ? 1 : s.retry, !only, name);
    copy_out(outfile, name, FILE_NAME_LEN);
    if (found) return 1;
    if (only) return 0;
    KAV_exit(10);
  } else {
    char buf[FILE_NAME_LEN] = "";
    FILE_set_current("la", buf);
    name = buf;
  }
  copy_out(outfile, name, FILE_NAME_LEN);
  if (exists(name)) {
    MESS_print(M_MESS, "Current filename: %s\n", name.c_str());
    return 1;
  }
  if (only) return 0;
  MESS_print(M_WARN, "File not found: %s\n", name.c_str());
  KAV_exit(10);
}

// ---- Stepping ----

// Reads "[-]h[:m]" or ":m" at p into seconds; false when nothing fits.
bool read_span(const char *&p, long &secs) {
  const bool neg = *p == '-';
  const char *q = neg ? p + 1 : p;
  long h = 0, mi = 0;
  bool any = false;
  auto number = [&](long &v) {
    int n = 0;
    v = 0;
    while (std::isdigit(static_cast<unsigned char>(q[n])) && n < 7) v = v * 10 + (q[n++] - '0');
    if (std::isdigit(static_cast<unsigned char>(q[n]))) return false;
    q += n;
    return n > 0;
  };
  if (std::isdigit(static_cast<unsigned char>(*q))) {
    if (!number(h)) return false;
    any = true;
  }
  if (*q == ':') {
    ++q;
    if (!number(mi)) return false;
    any = true;
  }
  if (!any) return false;
  secs = (neg ? -1 : 1) * (h * 3600 + mi * 60);
  p = q;
  return true;
}

// The span and step of the num_hour resource; false when it is not set or
// does not read (with a warning).
bool num_hour_value(long &span, long &step, bool &has_step) {
  const char *v = RES_get("num_hour");
  has_step = false;
  if (!v || !*v) return false;
  const char *p = v;
  bool ok = read_span(p, span);
  if (ok && *p == ',') {
    ++p;
    ok = read_span(p, step);
    has_step = ok;
  }
  if (!ok || *p) {
    MESS_print(M_WARN, "FILE_num_hour: Not a span of hours in num_hour: %s\n", v);
    has_step = false;
    return false;
  }
  return true;
}

int clamp_int(long v) {
  return v > 2147483647L ? 2147483647 : (v < -2147483647L ? -2147483647 : static_cast<int>(v));
}

bool stepping_list(const FileState &s) {
  return s.numfile > 1 || (s.numfile == 1 && s.num_hour == 0);
}

}  // namespace

extern "C" {

int FILE_set_file(const char *file, char *out_file) KAV_NOEXCEPT {
  return kav::guarded("FILE_set_file", 0, [&] {
    copy_out(out_file, set_file(file), FILE_NAME_LEN);
    return 0;
  });
}

int FILE_list_file(void) KAV_NOEXCEPT {
  return kav::guarded("FILE_list_file", 0, [&] {
    const FileState &s = state();
    const std::string pattern = list_pattern(s, s.conv.empty() ? "*" : s.conv);
    MESS_print(M_DEBUG & M_SUB_A, "SEARCH: %s\n", pattern.c_str());
    glob_t g{};
    const int r = ::glob(pattern.c_str(), GLOB_TILDE, nullptr, &g);
    std::vector<std::string> names;
    if (r == 0)
      for (size_t i = 0; i < g.gl_pathc; ++i) names.push_back(printable(g.gl_pathv[i]));
    ::globfree(&g);
    if (names.empty()) MESS_print(M_MESS, "FILE_list_file: No files match %s\n", pattern.c_str());
    print_columns(names);
    return 0;
  });
}

int FILE_get_file(const char *prompt, char *outfile) KAV_NOEXCEPT {
  return kav::guarded("FILE_get_file", 0, [&] { return get_file(prompt, outfile, false); });
}

int FILE_get_file_only(const char *prompt, char *outfile) KAV_NOEXCEPT {
  return kav::guarded("FILE_get_file_only", 0, [&] { return get_file(prompt, outfile, true); });
}

int FILE_hdr_set_date(const Date *datim, char *out_file) KAV_NOEXCEPT {
  FileState &s = state();
  const Date d = datim ? *datim : s.file_date;
  if (d.year == MISS) return 0;
  const int header = s.header;
  s.header = 1;
  FILE_set_date(&d, out_file);
  s.header = header;
  return 1;
}

int FILE_get_offset(void) KAV_NOEXCEPT {
  const int late = state().late_off;
  return late > 0 ? late : 100000;
}

int FILE_num_hour(void) KAV_NOEXCEPT {
  return kav::guarded("FILE_num_hour", 0, [&] {
    long span = 0, step = 0;
    bool has_step = false;
    return num_hour_value(span, step, has_step) ? clamp_int(span) : state().def_hours;
  });
}

int FILE_get_skip(void) KAV_NOEXCEPT {
  return kav::guarded("FILE_get_skip", 0, [&] {
    long span = 0, step = 0;
    bool has_step = false;
    if (num_hour_value(span, step, has_step) && has_step) return clamp_int(step < 0 ? -step : step);
    return state().late_off;
  });
}

int FILE_set_def_hours(int hour) KAV_NOEXCEPT {
  state().def_hours = clamp_int(static_cast<long>(hour) * 3600);
  return 0;
}

int FILE_first(const Date *datim) KAV_NOEXCEPT {
  return kav::guarded("FILE_first", 0, [&] {
    FileState &s = state();
    // The names are gathered aside and taken whole: memory that runs out
    // part-way leaves no list cut short and nothing allocated behind.
    std::vector<std::string> files;
    const char *given = RES_get("filename");
    if (given && *given) {
      int n = 0;
      char **list = nullptr;
      if (RES_getvals("filename", &n, &list) == 0) throw std::bad_alloc();
      struct Release {
        int n;
        char **list;
        ~Release() { free_parsed_array(n, list); }
      } release{n, list};
      files.assign(list, list + n);
    }
    s.files.swap(files);
    s.numfile = static_cast<int>(s.files.size());
    if (s.numfile > 0 &&
        (starts_blind(s.files[0].c_str(), "la") || starts_blind(s.files[0].c_str(), "cu")))
      s.numfile = 0;
    s.file_ind = 0;
    s.first_date = datim ? *datim : s.file_date;
    s.num_hour = FILE_num_hour();
    s.skip = FILE_get_skip();
    s.offset = FILE_get_offset();
    if (s.skip >= s.offset) s.offset *= s.skip / s.offset;
    s.secs = s.num_hour < 0 ? ((s.num_hour - s.offset + 1) / s.offset) * s.offset : 0;
    s.nsecs = s.secs;
    FILE_print_first_date("FIRST: %d %d %d %d ", s.num_hour, s.skip, s.offset, s.secs);
    return 0;
  });
}

int FILE_get_next(char *file) KAV_NOEXCEPT {
  return kav::guarded("FILE_get_next", 0, [&] {
    FileState &s = state();
    if (stepping_list(s)) {
      if (s.file_ind >= s.numfile) return 0;
      FILE_set_file(s.files[static_cast<size_t>(s.file_ind++)].c_str(), file);
      return 1;
    }
    if (s.num_hour >= 0 ? s.nsecs > s.num_hour : s.nsecs > 0) return 0;
    char name[FILE_NAME_LEN] = "";
    if (s.num_hour != 0) {
      DATE_print(kStep, &s.first_date);
      FILE_set_date_off(&s.first_date, s.nsecs, name);
    } else {
      copy_out(name, s.filename, sizeof name);
    }
    MESS_print(kStep, "NEXT: %d %d %d %d %d %s\n", s.num_hour, s.secs, s.nsecs, s.offset, s.skip,
               name);
    copy_out(file, name, FILE_NAME_LEN);
    s.nsecs = clamp_int(static_cast<long>(s.nsecs) + s.offset);
    return 1;
  });
}

int FILE_set_date_off(const Date *datim, int date_offset, char *out_file) KAV_NOEXCEPT {
  Date d = datim ? *datim : state().file_date;
  if (d.year != MISS) {
    int64_t t = DATE_num_sec(&d) + date_offset;
    MESS_print(kStep, " in: ");
    DATE_print(kStep, &d);
    DATE_get_gmdate(&t, &d);
    MESS_print(kStep, "out: ");
    DATE_print(kStep, &d);
  }
  FILE_set_date(&d, out_file);
  return date_offset / FILE_get_offset();
}

int FILE_next_file(char *file) KAV_NOEXCEPT {
  const FileState &s = state();
  FILE_set_date_off(&s.first_date, clamp_int(static_cast<long>(s.secs) + s.offset), file);
  return 0;
}

int FILE_prev_file(char *file) KAV_NOEXCEPT {
  const FileState &s = state();
  FILE_set_date_off(&s.first_date, clamp_int(static_cast<long>(s.secs) - s.offset), file);
  return 0;
}

int FILE_get_num_file(void) KAV_NOEXCEPT {
  const FileState &s = state();
  return stepping_list(s) ? s.numfile - 1 : s.num_hour;
}

int FILE_get_nsecs(void) KAV_NOEXCEPT { return state().nsecs; }

int FILE_set_nsecs(int val) KAV_NOEXCEPT {
  state().nsecs = val;
  return 0;
}

int FILE_get_num_hour(void) KAV_NOEXCEPT { return state().num_hour; }

int FILE_print_first_date(const char *str, ...) KAV_NOEXCEPT {
  if (!str) return 0;
  char buf[256];
  va_list ap;
  va_start(ap, str);
  std::vsnprintf(buf, sizeof buf, str, ap);
  va_end(ap);
  MESS_print(kStep, "%s", buf);
  DATE_print(kStep, &state().first_date);
  return 0;
}

}  // extern "C"

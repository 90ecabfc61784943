#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/unittool.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/tools_int.hpp"
#include "console/guard.hpp"

namespace {

constexpr M_type kTrace = M_DEBUG & M_SUB_C;  // debug lines of the conversions
constexpr const char *kTableName = "units.lup";
constexpr size_t kQuoteLen = 60;  // longest piece of a bad record quoted in a warning

// A unit text split into its prefix value and its base unit.
struct Unit {
  double value = 1.0;     // prefix value
  double factor = 1.0;    // factor of a "f^e" prefix
  double exponent = 1.0;  // exponent of a "f^e" prefix
  char form = ' ';        // '^', 'n' (plain number), '-' or ' ' (none)
  std::string base;       // what follows the prefix
};

// One conversion: out = in * scale + offset, with the prefixes of the pair.
struct Conversion {
  double iscale = 1.0;  // prefix value of the input unit
  double oscale = 1.0;  // prefix value of the output unit
  double scale = 1.0;   // table scale
  double offset = 0.0;  // table offset
};

struct UnitState {
  std::string cache_iunit;   // input unit of the last table conversion
  std::string cache_ounit;   // output unit of the last table conversion
  Conversion cache;          // its prefix values, scale and offset
  std::string missing_file;  // table name last warned about as missing
};

UnitState &state() {
  static UnitState s;
  return s;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_space(char c) { return is_blank(c) || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The length of a decimal number at p ([+-]digits[.digits][e[+-]digits]),
// or 0 when none starts there. Hexadecimal, "inf" and "nan" are not numbers.
size_t scan_decimal(const char *p) {
  size_t i = 0;
  if (p[i] == '+' || p[i] == '-') ++i;
  size_t digits = 0;
  while (is_digit(p[i])) ++i, ++digits;
  if (p[i] == '.') {
    ++i;
    while (is_digit(p[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (p[i] == 'e' || p[i] == 'E') {
    size_t j = i + 1;
    if (p[j] == '+' || p[j] == '-') ++j;
    if (is_digit(p[j])) {
      while (is_digit(p[j])) ++j;
      i = j;
    }
  }
  return i;
}

// Reads the number at p into *out and advances p; false when none is there
// or it does not fit a double.
bool read_decimal(const char *&p, double *out) {
  const size_t len = scan_decimal(p);
  if (!len) return false;
  const std::string text(p, len);
  const double v = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(v)) return false;
  *out = v;
  p += len;
  return true;
}

std::string trim_blanks(const std::string &s) {
  size_t b = 0, e = s.size();
  while (b < e && is_blank(s[b])) ++b;
  while (e > b && is_blank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// A copy of a caller's unit text with '_' turned into blanks; false when it
// is longer than the limit.
bool copy_unit(const char *func, const char *text, std::string *out) {
  const char *t = text ? text : "";
  const size_t len = std::strlen(t);
  if (len > UNIT_LEN) {
    MESS_print(M_WARN, "%s: Unit text longer than %d characters: %.*s...\n", func, UNIT_LEN,
               UNIT_LEN, t);
    return false;
  }
  out->assign(t, len);
  for (char &c : *out)
    if (c == '_') c = ' ';
  return true;
}

// Splits a unit text (already with blanks for '_') into prefix and base.
Unit split_unit(const std::string &text) {
  Unit u;
  const std::string t = trim_blanks(text);
  const char *s = t.c_str();
  const char *p = s;
  double f = 0.0, e = 0.0;
  if (read_decimal(p, &f)) {
    if (*p == '^') {
      const char *q = p + 1;
      if (read_decimal(q, &e) && is_blank(*q)) {
        const std::string base = trim_blanks(q);
        if (!base.empty()) {
          u.form = '^';
          u.factor = f;
          u.exponent = e;
          u.value = std::pow(f, e);
          u.base = base;
          return u;
        }
      }
    } else if (is_blank(*p)) {
      const std::string base = trim_blanks(p);
      if (!base.empty()) {
        u.form = 'n';
        u.value = f;
        u.base = base;
        return u;
      }
    }
  }
  if (s[0] == '-') {
    u.form = '-';
    u.value = -1.0;
    u.base = trim_blanks(s + 1);
    return u;
  }
  u.base = t;
  return u;
}

void blanks_to_underscores(std::string &s) {
  for (char &c : s)
    if (c == ' ') c = '_';
}

// Reads a conversion field "*scale", "+offset", "-offset" or "*scale+offset";
// false when it is anything else.
bool parse_conversion(const std::string &field, double *scale, double *offset) {
  const char *p = field.c_str();
  *scale = 1.0;
  *offset = 0.0;
  bool any = false;
  if (*p == '*') {
    ++p;
    if (!read_decimal(p, scale)) return false;
    MESS_print(kTrace, "SC: %f %s\n", *scale, field.c_str());
    any = true;
  }
  if (*p == '+' || *p == '-') {
    const char sign = *p++;
    if (!is_digit(*p) && *p != '.') return false;
    double v = 0.0;
    if (!read_decimal(p, &v)) return false;
    *offset = (sign == '-') ? -v : v;
    MESS_print(kTrace, sign == '-' ? "OF-: %f %s\n" : "OF: %f %s\n", v, field.c_str());
    any = true;
  }
  return any && *p == '\0';
}

std::string table_file_name() {
  const char *path = RES_get("file_path");
  std::string name = path ? path : "";
  if (!name.empty() && name.back() != '/') name += '/';
  return name + kTableName;
}

// Opens a data file for reading through the file-name layer.
std::unique_ptr<FILE, int (*)(FILE *)> open_table(const std::string &name) {
  return {FILE_open(name.c_str(), "r"), &FILE_close};
}

std::vector<std::string> split_words(const std::string &line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_space(line[i])) ++i;
    size_t b = i;
    while (i < line.size() && !is_space(line[i])) ++i;
    if (i > b) words.emplace_back(line, b, i - b);
  }
  return words;
}

void warn_record(const std::string &file, int lineno, const char *why, const std::string &line) {
  MESS_print(M_WARN, "UNIT_cvt: Skipping record on line %d of %s (%s): %.*s\n", lineno,
             file.c_str(), why, static_cast<int>(kQuoteLen), line.c_str());
}

// Looks the base pair up in the table: false (with a warning) when the table
// cannot be opened or read; a pair not in the table keeps scale 1 and offset 0.
bool table_lookup(const std::string &ibase, const std::string &obase, double *scale,
                  double *offset) {
  UnitState &st = state();
  const std::string file = table_file_name();
  auto fp = open_table(file);
  if (!fp) {
    if (st.missing_file != file)
      MESS_print(M_WARN, "UNIT_cvt: Unable to open units file: %s\n", file.c_str());
    st.missing_file = file;
    return false;
  }
  st.missing_file.clear();

  *scale = 1.0;
  *offset = 0.0;
  bool found = false;
  std::string line;
  int lineno = 0;
  // A record is two units and a conversion; only a comment can make its line
  // long, and what is cut from a line that long must be inside the comment.
  constexpr size_t kLineMax = 2 * UNIT_LEN + UNIT_CVT_LEN + 512;
  bool longer = false;
  while (kav::text::read_line(fp.get(), line, kLineMax, kav::text::CarriageReturn::Keep, &longer)) {
    ++lineno;
    const auto words = split_words(line);
    if (words.empty() || words[0][0] == '#') continue;
    if (longer && !(words.size() > 3 && words[3][0] == '#')) {
      warn_record(file, lineno, "line too long", line);
      continue;
    }
    if (words.size() < 3 || (words.size() > 3 && words[3][0] != '#')) {
      warn_record(file, lineno, "not three words", line);
      continue;
    }
    if (words[0].size() > UNIT_LEN || words[1].size() > UNIT_LEN) {
      warn_record(file, lineno, "unit too long", line);
      continue;
    }
    if (words[2].size() > UNIT_CVT_LEN) {
      warn_record(file, lineno, "conversion too long", line);
      continue;
    }
    double sc = 1.0, of = 0.0;
    if (!parse_conversion(words[2], &sc, &of)) {
      warn_record(file, lineno, "bad conversion", line);
      continue;
    }
    if (!found && stricmp(words[0].c_str(), ibase.c_str()) == 0 &&
        stricmp(words[1].c_str(), obase.c_str()) == 0) {
      *scale = sc;
      *offset = of;
      found = true;
      MESS_print(kTrace, "%s %s %s %f %f\n", words[0].c_str(), words[1].c_str(), words[2].c_str(),
                 sc, of);
    }
  }
  if (std::ferror(fp.get())) {
    // The pair may be further on, or the record found followed by a better
    // one: nothing read from a table cut short is used.
    MESS_print(M_WARN, "UNIT_cvt: Unable to read units file: %s\n", file.c_str());
    return false;
  }
  // The pair still converts by the prefixes alone, as callers expect, but a
  // value carried across unrelated units must not pass unremarked.
  if (!found)
    MESS_print(M_WARN, "UNIT_cvt: No conversion from %s to %s in %s; value not converted\n",
               ibase.c_str(), obase.c_str(), file.c_str());
  return true;
}

void trace_input(const Unit &u) {
  if (u.form == '^')
    MESS_print(kTrace, "ISC^: %f^%f %f %s\n", u.factor, u.exponent, u.value, u.base.c_str());
  else if (u.form == 'n')
    MESS_print(kTrace, "ISC: %f %s\n", u.value, u.base.c_str());
  else if (u.form == '-')
    MESS_print(kTrace, "ISC-: %f %s\n", u.value, u.base.c_str());
}

void trace_output(const Unit &u, const std::string &text) {
  if (u.form == '^')
    MESS_print(kTrace, "OSC^: %f^%f %f %s %d %d %s\n", u.factor, u.exponent, u.value,
               u.base.c_str(), static_cast<int>(u.base.size()), static_cast<int>(text.size()),
               text.c_str());
  else if (u.form == 'n')
    MESS_print(kTrace, "OSC: %f %s\n", u.value, u.base.c_str());
  else if (u.form == '-')
    MESS_print(kTrace, "OSC-: %f %s\n", u.value, u.base.c_str());
}

// The converted value; -9999 (with a warning) when it is not a finite float,
// for a non-finite input or a result beyond the float range.
float apply(float value, const Conversion &c) {
  const double out = (c.iscale * value * c.scale + c.offset) / c.oscale;
  if (!std::isfinite(out) || std::fabs(out) > FLT_MAX) {
    MESS_print(M_WARN, "UNIT_cvt: Value %g cannot be converted: result out of range\n",
               static_cast<double>(value));
    return KAV_MISSING;
  }
  return static_cast<float>(out);
}

// Copies at most UNIT_LABEL_LEN characters of [b, e) into out.
void copy_part(const char *b, const char *e, char *out) {
  size_t len = static_cast<size_t>(e - b);
  if (len > UNIT_LABEL_LEN) len = UNIT_LABEL_LEN;
  std::memcpy(out, b, len);
  out[len] = '\0';
}

}  // namespace

extern "C" {

float UNIT_cvt(float value, const char *iunit, const char *ounit) KAV_NOEXCEPT try {
  if (value == KAV_MISSING) return KAV_MISSING;

  std::string in, out;
  if (!copy_unit("UNIT_cvt", iunit, &in) || !copy_unit("UNIT_cvt", ounit, &out)) return KAV_MISSING;
  if (stricmp(in.c_str(), out.c_str()) == 0 || (!in.empty() && out.empty())) return value;

  UnitState &st = state();
  if (stricmp(in.c_str(), st.cache_iunit.c_str()) == 0 &&
      stricmp(out.c_str(), st.cache_ounit.c_str()) == 0)
    return apply(value, st.cache);

  Unit iu = split_unit(in);
  trace_input(iu);
  Unit ou = split_unit(out);
  trace_output(ou, out);
  if (!std::isfinite(iu.value) || !std::isfinite(ou.value) || ou.value == 0.0) {
    MESS_print(M_WARN, "UNIT_cvt: Unusable unit prefix: %s to %s\n", in.c_str(), out.c_str());
    return KAV_MISSING;
  }

  blanks_to_underscores(iu.base);
  blanks_to_underscores(ou.base);
  Conversion c;
  c.iscale = iu.value;
  c.oscale = ou.value;
  if (stricmp(iu.base.c_str(), ou.base.c_str()) == 0) return apply(value, c);

  if (!table_lookup(iu.base, ou.base, &c.scale, &c.offset)) return KAV_MISSING;
  st.cache_iunit = in;
  st.cache_ounit = out;
  st.cache = c;
  return apply(value, c);
} catch (...) {
  kav::out_of_memory("UNIT_cvt");
  return KAV_MISSING;
}

int UNIT_scale(const char *in, float scale, const char *mstr, char *out) KAV_NOEXCEPT try {
  if (!out) return -1;
  out[0] = '\0';
  std::string text;
  if (!in || !copy_unit("UNIT_scale", in, &text)) return -1;
  const Unit u = split_unit(text);
  if (u.form == '^')
    MESS_print(kTrace, "SC-ISC^: %e^%f %f %s\n", u.factor, u.exponent, u.value, u.base.c_str());
  else if (u.form == 'n')
    MESS_print(kTrace, "SC-ISC: %e %s\n", u.value, u.base.c_str());
  else if (u.form == '-')
    MESS_print(kTrace, "SC-ISC-: %e %s\n", u.value, u.base.c_str());
  const double total = u.value * scale;
  if (!std::isfinite(total)) {
    MESS_print(M_WARN, "UNIT_scale: Unusable unit prefix: %s\n", text.c_str());
    return -1;
  }
  std::snprintf(out, UNIT_LABEL_LEN + 1, "%.0e %s%s", total, u.base.c_str(), mstr ? mstr : "");
  MESS_print(kTrace, "SC: %s %e = %e = %s %s = %s\n", in, static_cast<double>(scale), total,
             u.base.c_str(), mstr ? mstr : "", out);
  return 0;
} catch (...) {
  kav::out_of_memory("UNIT_scale");
  return -1;
}

int UNIT_parse(const char *str, char *var, char *units) KAV_NOEXCEPT {
  if (var) var[0] = '\0';
  if (units) units[0] = '\0';
  if (!str) return 0;
  const char *open = std::strchr(str, '(');
  const char *name_end = open ? open : str + std::strlen(str);
  while (name_end > str && is_blank(name_end[-1])) --name_end;
  if (var) copy_part(str, name_end, var);
  if (open && units) {
    const char *b = open + 1;
    const char *close = std::strchr(b, ')');
    copy_part(b, close ? close : b + std::strlen(b), units);
  }
  return 0;
}

int UNIT_change(char *str, const char *units) KAV_NOEXCEPT {
  if (!str) return 0;
  char name[UNIT_LABEL_LEN + 1];
  char old[UNIT_LABEL_LEN + 1];
  UNIT_parse(str, name, old);
  // units may point into str: copy it before str is rewritten.
  char unit_text[UNIT_LABEL_LEN + 1];
  const char *src = units ? units : "";
  copy_part(src, src + strnlen(src, UNIT_LABEL_LEN), unit_text);
  std::snprintf(str, 2 * UNIT_LABEL_LEN + 4, "%s (%s)", name, unit_text);
  return 0;
}

}  // extern "C"

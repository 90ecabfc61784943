#include <kav/files.h>
#include <kav/mess.h>
#include <kav/plot_label.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/var_tool.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/string_int.hpp"
#include "base/tools_int.hpp"
#include "console/guard.hpp"

namespace {

constexpr const char *kTableName = "variable.lup";
constexpr M_type kOpenWarning = 64;     // missing table
constexpr M_type kLtypeWarning = 192;   // level type outside the table
constexpr M_type kTrace = 0x40000000u;  // lookups that found nothing
constexpr size_t kMaxLine = 250;        // longest table line kept
constexpr size_t kMaxUnits = 63;        // longest units text appended
constexpr int kMaxCodes = 5;

struct VarState {
  std::vector<VAR_desc> entries;  // the table in file order
  bool loaded = false;            // a load succeeded once
  std::string warned;             // table name last warned about as missing
};

VarState &state() {
  static VarState s;
  return s;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Copies src into dst, a buffer of room bytes, cut to fit.
void copy_cut(char *dst, size_t room, const std::string &src) {
  const size_t n = src.size() < room - 1 ? src.size() : room - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

// Copies text into a caller buffer of VAR_LABEL_LEN bytes, cut to fit.
char *put(char *dst, const std::string &text) {
  copy_cut(dst, VAR_LABEL_LEN, text);
  return dst;
}

// Parses up to five comma-separated integers; codes not given stay -9999.
void parse_codes(const std::string &field, int *ind) {
  for (int i = 0; i < kMaxCodes; ++i) ind[i] = KAV_IMISSING;
  const char *p = field.c_str();
  for (int i = 0; i < kMaxCodes; ++i) {
    if (!kav::text::next_int(p, &ind[i]) || *p != ',') return;
    ++p;
  }
}

// Splits one table line into an entry; false when it holds fewer than two
// fields or is a comment.
bool parse_entry(const std::string &line, VAR_desc &entry) {
  size_t i = 0;
  const size_t n = line.size();
  while (i < n && is_blank(line[i])) ++i;
  if (i == n || line[i] == '#') return false;
  size_t b = i;
  while (i < n && !is_blank(line[i])) ++i;
  const std::string codes = line.substr(b, i - b);
  while (i < n && is_blank(line[i])) ++i;
  if (i == n) return false;
  b = i;
  while (i < n && !is_blank(line[i])) ++i;
  const std::string abbr = line.substr(b, i - b);
  while (i < n && is_blank(line[i])) ++i;
  std::string name = line.substr(i);
  for (size_t k = 0; k < name.size(); ++k)  // " #" starts a comment
    if (name[k] == '#' && (k == 0 || is_blank(name[k - 1]))) {
      name.resize(k);
      break;
    }
  while (!name.empty() && is_blank(name.back())) name.pop_back();
  parse_codes(codes, entry.ind);
  copy_cut(entry.abbr, sizeof entry.abbr, abbr);
  copy_cut(entry.name, sizeof entry.name, name);
  return true;
}

void ensure_loaded() {
  if (!state().loaded) VAR_read_varfile();
}

const VAR_desc *find(int variable) {
  ensure_loaded();
  for (const VAR_desc &e : state().entries)
    if (e.ind[0] == variable) return &e;
  return nullptr;
}

std::string time_text(int time) {
  if (time < 0) return {};
  const int r = time / 1000000;
  if (r <= 1) return {};
  const int t1 = (time / 1000) % 1000;
  const int t2 = time % 1000;
  const int num = r > 9 ? t2 : (t2 > t1 ? t2 - t1 : t1 - t2);
  std::string s;
  if (t2 < 800)
    s = kav::text::format("%d hour ", num);
  else if (t2 < 900)
    s = kav::text::format("%d day ", num);
  else
    s = kav::text::format("%d month ", num);
  switch (r) {
    case 2:
      return s + "rng ";
    case 3:
      return s + "avg ";
    case 4:
      return s + "acc ";
    case 5:
      return s + "dif ";
    case 6:
      return s + "max ";
    case 7:
      return s + "min ";
    case 13:
      return s + "iavg ";
    case 18:
      return s + "var ";
    case 23:
      return s + "uavg ";
    default:
      return s;
  }
}

// Labels of the level types that carry no number.
const char *fixed_level(int ltype) {
  switch (ltype) {
    case 2:
      return "Cloud base";
    case 3:
      return "Cloud top";
    case 4:
      return "Frz level";
    case 5:
      return "LCL";
    case 6:
      return "Max wind";
    case 7:
      return "Tropopause";
    case 8:
      return "Top";
    case 102:
      return "Sea level";
    case 200:
      return "Whole atms";
    case 204:
      return "Top frz level";
    case 206:
      return "Grid cld bot lvl";
    case 207:
      return "Grid cld top lvl";
    case 209:
      return "Bound lyr cld bot";
    case 210:
      return "Bound lyr cld top";
    case 211:
      return "Bound lyr cld lyr";
    case 212:
      return "Low cld bot lvl";
    case 213:
      return "Low cld top lvl";
    case 214:
      return "Low cld lyr";
    case 215:
      return "Cld ceiling";
    case 222:
      return "Mid cld bot lvl";
    case 223:
      return "Mid cld top lvl";
    case 224:
      return "Mid cld lyr";
    case 232:
      return "High cld bot lvl";
    case 233:
      return "High cld top lvl";
    case 234:
      return "High cld lyr";
    case 242:
      return "Conv cld bot lvl";
    case 243:
      return "Conv cld top lvl";
    case 244:
      return "Conv cld lyr";
    case 245:
      return "Wet bulb zero lvl";
    case 246:
      return "Max eq pot temp lvl";
    case 247:
      return "Equilibrium lvl";
    case 248:
      return "Shal Conv cld bot lvl";
    case 249:
      return "Shal Conv cld top lvl";
    case 251:
      return "Deep Conv cld bot lvl";
    case 252:
      return "Deep Conv cld top lvl";
    case 253:
      return "Supercool liq wat bot";
    case 254:
      return "Supercool liq wat top";
    default:
      return nullptr;
  }
}

std::string level_text(int ltype, int level) {
  // A layer packs its two values: the low three digits and the rest.
  const int a = level % 1000;
  const int b = level / 1000;
  const double level_d = level;
  switch (ltype) {
    case 0:
    case 9:
    case 10:
      return {};
    case 1:
      if (level > 2000) return kav::text::format("Surface[%d]", level - 2000);
      if (level >= 1) return kav::text::format("Surface[%d]", level);
      return "Surface";
    case 100:
      return kav::text::format("%d mb", level);
    case 101:
      if (level > 1000) {
        const long long aa = a * 10LL, bb = b * 10LL;
        if (aa == 1900 || aa == 2000) return kav::text::format("sfc-%lld mb", bb);
        if (aa == 1950) return kav::text::format("trop-%lld mb", bb);
        if (a < 200) return kav::text::format("%lld-%lld mb", aa, bb);
        return kav::text::format("sfc[%lld]-%lld mb", aa - 2000, bb);
      }
      if (level == 510) return "1000-500 mb";
      if (level == 508) return "850-500 mb";
      if (level == 599) return "SFC-500 mb";
      return {};
    case 103:
      return kav::text::format("%d m", level);
    case 104:
      if (a == 995) return kav::text::format("trop+%lld m", b * 100LL);
      return kav::text::format("%lld-%lld m", a * 100LL, b * 100LL);
    case 105:
      return kav::text::format("%d m AG", level);
    case 106:
      return kav::text::format("%lld-%lld m AG", a * 100LL, b * 100LL);
    case 107:
      return kav::text::format("%3.2f sigma", level_d / 10000.0);
    case 108:
      return kav::text::format("%3.2f-%3.2f sigma", a / 100.0, b / 100.0);
    case 109:
      return kav::text::format("%d lev", level);
    case 111:
      return kav::text::format("%d cm BG", level);
    case 112:
      return kav::text::format("%d-%d cm BG", a, b);
    case 113:
      return kav::text::format("%d K", level);
    case 114:
      return kav::text::format("%3.0f-%3.0f K", static_cast<double>(a), static_cast<double>(b));
    case 115:
      return kav::text::format("%d mb AG", level);
    case 116:
      return kav::text::format("%d-%d mb AG", a, b);
    case 117:
      return kav::text::format("%d*10^-6 Km2/kgs", level);
    case 119:
      return kav::text::format("%3.2f Eta", level_d / 10000.0);
    case 120:
      return kav::text::format("%3.2f-%3.2f Eta", a / 100.0, b / 100.0);
    default:
      break;
  }
  if (const char *t = fixed_level(ltype)) return t;
  if (ltype > 0) MESS_print(kLtypeWarning, "VAR_make_datatype: no ltype: %d\n", ltype);
  return {};
}

}  // namespace

extern "C" {

static int var_read_varfile_body(void) {
  char name[FILE_NAME_LEN];
  const char *path = RES_get("file_path");
#ifdef KAV_DATA_DIR
  if (!path || !path[0]) path = KAV_DATA_DIR;  // the package's own data
#endif
  if (!FILE_add_path(path, kTableName, name)) throw std::bad_alloc();
  FILE *fp = FILE_open(name, "r");
  if (!fp) {
    if (state().warned != name)
      MESS_print(kOpenWarning, "VAR_read_varfile: Unable to open file: %s\n", name);
    state().warned = name;
    return 0;
  }
  state().warned.clear();
  std::vector<VAR_desc> entries;
  int result = 1;
  try {
    std::string line;
    while (entries.size() < VAR_MAX_ENTRIES &&
           kav::text::read_line(fp, line, kMaxLine, kav::text::CarriageReturn::Keep)) {
      VAR_desc e{};
      if (parse_entry(line, e)) entries.push_back(e);
    }
  } catch (const std::bad_alloc &) {
    kav::out_of_memory("VAR_read_varfile");
    result = -1;
  }
  if (result == 1 && std::ferror(fp)) {
    // The table loaded before (if any) stays: half a table is not taken.
    MESS_print(kOpenWarning, "VAR_read_varfile: Unable to read file: %s\n", name);
    result = 0;
  }
  FILE_close(fp);
  if (result == 1) {
    state().entries.swap(entries);
    state().loaded = true;
  }
  return result;
}

int VAR_read_varfile(void) KAV_NOEXCEPT {
  return kav::guarded("VAR_read_varfile", -1, [&] { return var_read_varfile_body(); });
}

static char *var_str_body(char *str, int variable, const char *units) {
  if (!str) return nullptr;
  const int v = variable % 1000;
  std::string s;
  if (const VAR_desc *e = find(v)) {
    s = PLT_get_label_type() < 0 ? e->abbr : e->name;
  } else {
    s = kav::text::format("v%d", v);
    MESS_print(kTrace, "VAR_str: no var: %d\n", v);
  }
  if (units && units[0]) {
    std::string u(units, strnlen(units, kMaxUnits));
    s += " (" + u + ")";
  }
  return put(str, s);
}

char *VAR_str(char *str, int variable, const char *units) KAV_NOEXCEPT {
  return kav::fault::guard(
      static_cast<char *>(nullptr), [&] { return var_str_body(str, variable, units); },
      [&] {
        kav::out_of_memory("VAR_str");
        if (str) str[0] = '\0';
      });
}

char *VAR_abbr(char *str, int variable) KAV_NOEXCEPT {
  if (!str) return nullptr;
  if (const VAR_desc *e = find(variable)) return put(str, e->abbr);
  MESS_print(kTrace, "VAR_abbr: no var: %d\n", variable);
  str[0] = '\0';
  return str;
}

int VAR_search_var_num(const char *name) KAV_NOEXCEPT {
  if (!name || !name[0]) return -1;
  ensure_loaded();
  for (const VAR_desc &e : state().entries)
    if (stricmp(e.name, name) == 0 || stricmp(e.abbr, name) == 0) return e.ind[0];
  return -1;
}

static int var_make_datalevel_body(int time, int ltype, int level, char *str) {
  if (!str) return -1;
  put(str, time_text(time) + level_text(ltype, level));
  return 0;
}

int VAR_make_datalevel(int time, int ltype, int level, char *str) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return var_make_datalevel_body(time, ltype, level, str); },
      [&] {
        kav::out_of_memory("VAR_make_datalevel");
        if (str) str[0] = '\0';
      });
}

static int var_make_datatype_body(int time, int ltype, int level, int variable, const char *units,
                                  char *str) {
  if (!str) return -1;
  std::string s;
  const int label_type = PLT_get_label_type();
  if (label_type >= -1 && label_type <= 1) {
    s = time_text(time) + level_text(ltype, level);
    if (!s.empty()) s += ' ';
  }
  char name[VAR_LABEL_LEN];
  VAR_str(name, variable, units);
  put(str, s + name);
  return 0;
}

int VAR_make_datatype(int time, int ltype, int level, int variable, const char *units,
                      char *str) KAV_NOEXCEPT {
  return kav::fault::guard(
      -1, [&] { return var_make_datatype_body(time, ltype, level, variable, units, str); },
      [&] {
        kav::out_of_memory("VAR_make_datatype");
        if (str) str[0] = '\0';
      });
}

}  // extern "C"

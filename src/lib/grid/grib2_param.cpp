// GRIB edition-2 parameter lookup: grib2_var.lup read once per process
// (again when the data directory changes) into a table searched by
// discipline, category and number.
#include <kav/files.h>
#include <kav/grib2.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/var_tool.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "console/guard.hpp"
#include "grid/grib2_tmpl.hpp"

namespace kav::grib2 {
namespace {

constexpr size_t kMaxLine = 200;

struct Row {
  int src, disc, cat, param;
  std::string name, units, lname;
  int ind = -2;  // variable number of the name; -2 not yet looked up
};

// The lookup table of the process.
struct Table {
  std::string dir;                                       // directory it was read from
  bool loaded = false;                                   // a read was tried for dir
  bool found = false;                                    // the file could be opened
  std::vector<Row> rows;                                 // in file order
  std::unordered_map<long, std::vector<size_t>> by_key;  // (disc, cat, param) -> rows
};

Table &table() {
  static Table t;
  return t;
}

long key_of(int disc, int cat, int param) {
  return (static_cast<long>(disc) << 16) | (static_cast<long>(cat) << 8) | param;
}

// The next blank-separated word of line from pos, or false.
bool word(const std::string &line, size_t &pos, std::string &out) {
  while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
  if (pos >= line.size()) return false;
  const size_t b = pos;
  while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
  out.assign(line, b, pos - b);
  return true;
}

bool number(const std::string &w, int &v) {
  if (w.empty() || w.size() > 6) return false;
  v = 0;
  for (char c : w) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  return true;
}

// Loads the table of dir into out. The table is built aside and moved in
// whole: memory that runs out part-way (std::bad_alloc) leaves out as it
// was and the file closed, so the next look-up loads it again.
void load(Table &out, const std::string &dir) {
  Table t;
  t.dir = dir;
  t.loaded = true;
  char name[FILE_NAME_LEN];
  if (!FILE_add_path(dir.c_str(), "grib2_var.lup", name)) throw std::bad_alloc();
  const std::unique_ptr<FILE, int (*)(FILE *)> hold(FILE_open(name, "r"), &FILE_close);
  FILE *const fp = hold.get();
  if (!fp) {
    MESS_print(M_WARN, "GRIB_get_ver2_param: Unable to open file: %s\n", name);
    out = std::move(t);
    return;
  }
  t.found = true;
  std::string line;
  bool too_long = false;
  long lineno = 0;
  for (;;) {
    line.clear();
    int c;
    bool over = false;
    while ((c = std::getc(fp)) != EOF && c != '\n') {
      if (line.size() < kMaxLine)
        line.push_back(static_cast<char>(c));
      else
        over = true;
    }
    if (c == EOF && line.empty()) break;
    ++lineno;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (over) {
      if (!too_long)
        MESS_print(M_WARN, "GRIB_get_ver2_param: Line %ld of %s is longer than %lu characters\n",
                   lineno, name, static_cast<unsigned long>(kMaxLine));
      too_long = true;
      continue;
    }
    if (line.empty() || line[0] == '#') continue;
    size_t pos = 0;
    std::string w[6];
    int v[4];
    bool ok = true;
    for (int i = 0; i < 6 && ok; ++i) ok = word(line, pos, w[i]);
    for (int i = 0; i < 4 && ok; ++i) ok = number(w[i], v[i]);
    if (!ok || v[1] > 255 || v[2] > 255 || v[3] > 255) continue;
    Row r{v[0], v[1], v[2], v[3], w[4].substr(0, 19), w[5].substr(0, 29), {}, -2};
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    r.lname = line.substr(pos, 79);
    t.by_key[key_of(r.disc, r.cat, r.param)].push_back(t.rows.size());
    t.rows.push_back(std::move(r));
  }
  if (std::ferror(fp)) {
    // No half table: the lookups find no table, and the next one reads again.
    MESS_print(M_WARN, "GRIB_get_ver2_param: Unable to read file: %s\n", name);
    t = Table{};
  }
  out = std::move(t);
}

Table &current() {
  const char *path = RES_get("file_path");
#ifdef KAV_DATA_DIR
  if (!path || !path[0]) path = KAV_DATA_DIR;
#endif
  const std::string dir = path ? path : "";
  Table &t = table();
  if (!t.loaded || t.dir != dir) load(t, dir);
  return t;
}

}  // namespace

bool param_lookup(int centre, int disc, int cat, int num, Param &out) {
  Table &t = current();
  out = Param{};
  if (!t.found) return false;
  out.ind = disc * 1000000 + cat * 1000 + num;
  const auto it = t.by_key.find(key_of(disc, cat, num));
  if (it == t.by_key.end()) return false;
  for (size_t i : it->second) {
    Row &r = t.rows[i];
    if (r.src != 0 && r.src != centre) continue;
    if (r.ind == -2) r.ind = VAR_search_var_num(r.name.c_str());
    if (r.ind != -1) out.ind = r.ind;
    put(out.name, sizeof out.name, r.name);
    put(out.units, sizeof out.units, r.units);
    put(out.lname, sizeof out.lname, r.lname);
    return true;
  }
  return false;
}

int param_var(int centre, int disc, int cat, int num, char *units, size_t room) {
  Param p;
  param_lookup(centre, disc, cat, num, p);
  put(units, room, p.units);
  MESS_print(0x40000000u, "GPARAM: %s %s %d\n", p.name, p.units, p.ind);
  return p.ind == KAV_IMISSING ? disc * 1000000 + cat * 1000 + num : p.ind;
}

}  // namespace kav::grib2

using namespace kav::grib2;

extern "C" {

int GribParam_init(GribParam *p) KAV_NOEXCEPT {
  if (!p) return -1;
  p->ind = p->ver = p->src = p->disc = p->cat = p->param = KAV_IMISSING;
  p->name[0] = p->units[0] = p->lname[0] = '\0';
  return 0;
}

static int grib_get_ver2_param_body(GribParam *result, int src, int disc, int cat, int param) {
  if (!result) return -1;
  GribParam_init(result);
  Param p;
  const bool hit = param_lookup(src, disc, cat, param, p);
  if (!table().found) return 0;
  result->ind = p.ind;
  result->ver = 2;
  result->src = src;
  result->disc = disc;
  result->cat = cat;
  result->param = param;
  put(result->name, sizeof result->name, p.name);
  put(result->units, sizeof result->units, p.units);
  put(result->lname, sizeof result->lname, p.lname);
  MESS_print(0x40000000u, "VER2: %d %d %d %d\n", src, disc, cat, param);
  return hit ? 1 : 0;
}

int GRIB_get_ver2_param(GribParam *result, int src, int disc, int cat, int param) KAV_NOEXCEPT {
  return kav::guarded("GRIB_get_ver2_param", -1,
                      [&] { return grib_get_ver2_param_body(result, src, disc, cat, param); });
}

float GRIB_ieee_float_conv(const unsigned char *pc) KAV_NOEXCEPT {
  if (!pc || pc[0] == 0) return 0.0f;
  Sect s{pc, 4};
  return s.ieee(1);
}

}  // extern "C"

// Domains and regions: decoding and printing domain texts, comparing
// domains, the region table with its menu and region files, the region
// prompt and the station plotting priority.
#include <kav/cty_read.h>
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/maptran.h>
#include <kav/menu.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/system.h>

#include <array>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/string_int.hpp"
#include "base/tools_int.hpp"
#include "console/guard.hpp"
#include "geo/maptran_int.hpp"

namespace {

constexpr float kMiss = -9999.0f;
constexpr M_type kTrace = 0x40000000u;
constexpr M_type kFileTrace = 0x80000000u;

// The region table: entry 0 (return), up to 19 regions, the end marker.
constexpr int kMenuSize = 23;
constexpr int kMaxRegions = 19;
// Field limits of a region file line.
constexpr size_t kAbbrLen = 5;
constexpr size_t kDescLen = 20;
constexpr size_t kDomainLen = DOM_TEXT_LEN - 1;
// Region file lines longer than this are not region lines.
constexpr size_t kLineLen = 500;
// Region references nest at most this deep; deeper means a loop.
constexpr int kMaxDepth = 8;
// Answers typed at the region prompt.
constexpr size_t kAnswerLen = 1000;
constexpr int kTries = 5;

struct Builtin {
  const char *abbr;
  const char *name;
  float clat, clon, dx;
};

const Builtin kBuiltins[] = {
    {"us", "Contiguous US", 39, -97, 2.3f},  {"ne", "New England", 42, -76, 0.9f},
    {"at", "Atlantic", 37, -82, 0.9f},       {"se", "Southeastern", 31, -88, 1.1f},
    {"mw", "Midwestern", 43, -93, 1.1f},     {"sp", "Southern Plains", 32.5f, -100, 1.2f},
    {"nw", "Northwestern", 44, -112, 1.0f},  {"sw", "Southwestern", 37, -112, 1.0f},
    {"var", "Variable", kMiss, kMiss, 1.2f},
};

// The module state.
struct State {
  std::array<std::string, kMenuSize> names;  // texts the menu points into
  std::array<std::string, kMenuSize> abbrs;
  std::array<MENU_item, kMenuSize> menu{};  // the region table, ended by a null name
  int num_regs = 0;                         // entries + 1 once a region file was loaded; 0 before
  int reg_menu_type = 0;                    // the disp column that shows an entry
  int priority = 3;                         // station plotting priority
  int loc_prior = 4;                        // location priority
  int prompt_region = 1;                    // 0: the region prompt is off
  int depth = 0;                            // region references being decoded, nested
  std::string menu_file;                    // the region file the menu came from; empty: built in
};

// Points the menu's texts at the stored strings; count regions after entry 0.
void link_menu(State &s, int count) {
  for (int i = 0; i < kMenuSize; ++i) {
    MENU_item &m = s.menu[static_cast<size_t>(i)];
    m = MENU_item{};
    if (i <= count) {
      m.name = s.names[static_cast<size_t>(i)].data();
      m.abbr = s.abbrs[static_cast<size_t>(i)].data();
      m.index = i;
      m.disp[0] = 1;
    }
  }
}

State &st() {
  static State s = [] {
    State n;
    n.names[0] = "Return to previous menu";
    n.abbrs[0] = "back";
    int i = 1;
    for (const Builtin &b : kBuiltins) {
      n.names[static_cast<size_t>(i)] = b.name;
      n.abbrs[static_cast<size_t>(i)] = b.abbr;
      ++i;
    }
    link_menu(n, i - 1);
    return n;
  }();
  return s;
}

// The domain text of menu entry i: its abbreviation, looked up in the file
// the menu came from.
std::string choice_text(const State &s, int i) {
  const char *abbr = s.menu[static_cast<size_t>(i)].abbr;
  if (!abbr) return "";
  if (s.menu_file.empty()) return abbr;
  return s.menu_file + ":" + abbr;
}

bool is_set(const char *s) { return s && *s; }

// "%f": the text begins with a number (the rest is ignored); infinities and
// NaN are no numbers.
bool to_float(const char *s, float *out) {
  if (!s || !*s) return false;
  char *end;
  errno = 0;
  const float v = std::strtof(s, &end);
  if (end == s || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

std::vector<std::string> split_keep(const std::string &s, char delim) {
  std::vector<std::string> parts;
  size_t b = 0;
  for (;;) {
    const size_t e = s.find(delim, b);
    parts.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) break;
    b = e + 1;
  }
  return parts;
}

// The code of a name that is a printed or accepted name as a whole, or -1.
int exact_proj_name(const char *name) {
  std::size_t n;
  const kav::proj::Family *const *t = kav::proj::rows(&n);
  for (std::size_t i = 0; i < n; ++i) {
    if (stricmp(name, t[i]->name) == 0) return t[i]->code;
    for (const kav::proj::Accepted *a = t[i]->accepted; a->text; ++a)
      if (stricmp(name, a->text) == 0) return t[i]->code;
  }
  return -1;
}

const char *printed_name(int code) {
  if (code == -9999) return "miss";
  const kav::proj::Family *f = kav::proj::find(code);
  return f ? f->name : "";
}

bool geographic(int code) { return code >= 1 && code <= 9; }

// ---- Region files ----

// Reads one line (its end and a carriage return before it dropped), at most
// kLineLen characters; a longer line is read to its end and flagged.
bool read_line(FILE *fp, std::string &line, bool *too_long) {
  return kav::text::read_line(fp, line, kLineLen, kav::text::CarriageReturn::Drop, too_long);
}

std::vector<std::string> words_of(const std::string &line) {
  std::vector<std::string> w;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    const size_t b = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i > b) w.emplace_back(line, b, i - b);
  }
  return w;
}

enum class LineKind { Skip, Bare, Entry, Bad };

struct RegionLine {
  std::string abbr, desc, domain;
  int flag = 0;
};

// One line of a region file: a comment or blank line, a bare domain text,
// or abbreviation, description, display flag and domain text.
LineKind parse_line(const std::string &line, bool too_long, RegionLine *out, const char **why) {
  if (too_long) {
    *why = "line too long";
    return LineKind::Bad;
  }
  const std::vector<std::string> w = words_of(line);
  if (w.empty() || w[0][0] == '#') return LineKind::Skip;
  if (w.size() == 1) {
    out->domain = w[0];
  } else if (w.size() == 4 && kav::text::whole_int(w[2].c_str(), &out->flag)) {
    out->abbr = w[0];
    out->desc = w[1];
    out->domain = w[3];
  } else {
    *why = "not abbreviation, description, flag and domain";
    return LineKind::Bad;
  }
  if (out->domain.size() > kDomainLen) {
    *why = "domain text longer than 79 characters";
    return LineKind::Bad;
  }
  return w.size() == 1 ? LineKind::Bare : LineKind::Entry;
}

using FilePtr = std::unique_ptr<FILE, int (*)(FILE *)>;

// Opens a region file along the file_path resource. Standard streams and
// command pipes are never region files.
FilePtr open_region_file(const char *file, std::string *full) {
  if (!file) file = "kav.reg";
  char name[FILE_NAME_LEN];
  if (!FILE_add_path(RES_get("file_path"), file, name)) throw std::bad_alloc();
  *full = name;
  if (FILE_is_stdio(file) || file[0] == '|') {
    MESS_print(M_WARN, "DOM_read: Not a region file: %s\n", file);
    return {nullptr, &FILE_close};
  }
  FilePtr fp(FILE_open(name, "r"), &FILE_close);
  if (!fp) MESS_print(kFileTrace, "Unable to open region file: %s\n", name);
  return fp;
}

// ---- Decoding ----

// Decodes a region's domain text inside a region reference: 0 when it gives
// a domain, else the reg kind.
int decode_nested(const char *text, Domain *domain) {
  const int r = DOM_decode(text, domain);
  if (r == -1 || r == -9999) return DOM_K_REG;
  return 0;
}

// A region reference: "fi:FILE" (the file's first domain), "FILE:KEY",
// "FILE:" (loads the menu from FILE) or a name (kav.reg, the built-in
// regions, or a projection name as a whole).
int set_region(const char *field, Domain *domain) {
  if (std::strncmp(field, "id:", 3) == 0) return DOM_K_REG;
  char buf[DOM_TEXT_LEN];
  if (std::strncmp(field, "fi:", 3) == 0) {
    if (!DOM_search_file(field + 3, nullptr, buf)) {
      MESS_print(M_WARN, "DOM_decode: No domain in region file %s\n", field + 3);
      return DOM_K_REG;
    }
    return decode_nested(buf, domain);
  }
  if (const char *colon = std::strchr(field, ':')) {
    const std::string file(field, static_cast<size_t>(colon - field));
    const char *key = colon + 1;
    if (!*key) {
      if (DOM_read_menu(file.c_str())) return 0;
      MESS_print(M_WARN, "DOM_decode: No region menu in %s\n", file.c_str());
      return DOM_K_REG;
    }
    if (!DOM_search_file(file.c_str(), key, buf)) {
      MESS_print(M_WARN, "DOM_decode: Region %s not found in %s\n", key, file.c_str());
      return DOM_K_REG;
    }
    return decode_nested(buf, domain);
  }
  // A region whose domain text is its own name is the built-in one ("var").
  if (DOM_search_file("kav.reg", field, buf) && stricmp(buf, field) != 0)
    return decode_nested(buf, domain);
  if (DOM_get_def_region(field, domain)) return 0;
  const int code = exact_proj_name(field);
  if (code != -1) {
    DOM_init(domain);
    domain->proj = code;
    return 0;
  }
  MESS_print(M_WARN, "DOM_decode: Region not found: %s\n", field);
  return DOM_K_REG;
}

// The projection field: a name and optional ':' sub-fields. 0, or the proj
// kind when the name is unknown or a sub-field is no number.
int set_proj(const char *field, Domain *domain) {
  const std::vector<std::string> parts = split_keep(field, ':');
  const int code = DOM_proj_str(parts[0].c_str());
  if (code == -1) {
    domain->proj = 1;
    return DOM_K_PROJ;
  }
  domain->proj = code;
  if (parts.size() == 1) return 0;
  size_t i = 1;
  if (parts[1] == "e") {
    domain->ellipse = 1;
    ++i;
  } else if (parts.size() == 2) {
    if (!parts[1].empty() && !to_float(parts[1].c_str(), &domain->plon)) return DOM_K_PROJ;
    return 0;
  }
  float *targets[] = {&domain->plat,     &domain->plon,     &domain->param[0],
                      &domain->param[1], &domain->param[2], &domain->param[3]};
  if (parts.size() - i > 6) return DOM_K_PROJ;
  for (size_t k = 0; i < parts.size(); ++i, ++k) {
    if (parts[i].empty()) continue;
    if (!to_float(parts[i].c_str(), targets[k])) return DOM_K_PROJ;
  }
  return 0;
}

int set_id(const char *field, Domain *domain) {
  if (strnicmp(field, "id:", 3) != 0) return DOM_K_ID;
  const std::string rest(field + 3);
  std::string file = "sao.cty", id = rest;
  const size_t colon = rest.find(':');
  if (colon != std::string::npos) {
    file = rest.substr(0, colon);
    id = rest.substr(colon + 1);
  }
  float lat, lon;
  if (id.empty() || !CTY_get_loc(file.c_str(), id.c_str(), &lat, &lon)) return DOM_K_ID;
  domain->clat = lat;
  domain->clon = lon;
  return 0;
}

// One form of the decoding order.
struct Form {
  int kinds[9];
  const char *text;
};

const Form kForms[] = {
    {{DOM_K_PROJ, DOM_K_NX, DOM_K_NY}, "proj,nx,ny"},
    {{DOM_K_PROJ, DOM_K_PLON, DOM_K_CLAT, DOM_K_CLON, DOM_K_NX, DOM_K_NY, DOM_K_DX, DOM_K_DY},
     "proj,plon,clat,clon,nx,ny,dx,dy"},
    {{DOM_K_PROJ, DOM_K_CLAT, DOM_K_CLON, DOM_K_NX, DOM_K_NY, DOM_K_DX, DOM_K_DY},
     "proj,clat,clon,nx,ny,dx,dy"},
    {{DOM_K_PROJ, DOM_K_CLAT, DOM_K_CLON, DOM_K_NX, DOM_K_NY, DOM_K_DX}, "proj,clat,clon,nx,ny,dx"},
    {{DOM_K_PROJ, DOM_K_PLON, DOM_K_CLAT, DOM_K_CLON, DOM_K_DX, DOM_K_DY},
     "proj,plon,clat,clon,dx,dy"},
    {{DOM_K_CLAT, DOM_K_CLON, DOM_K_NX, DOM_K_NY, DOM_K_DX, DOM_K_DY}, "clat,clon,nx,ny,dx,dy"},
    {{DOM_K_PROJ, DOM_K_CLAT, DOM_K_CLON, DOM_K_DX, DOM_K_DY}, "proj,clat,clon,dx,dy"},
    {{DOM_K_CLAT, DOM_K_CLON, DOM_K_NX, DOM_K_NY, DOM_K_DX}, "clat,clon,nx,ny,dx"},
    {{DOM_K_PROJ, DOM_K_CLAT, DOM_K_CLON, DOM_K_DX}, "proj,clat,clon,dx"},
    {{DOM_K_CLAT, DOM_K_CLON, DOM_K_NX, DOM_K_NY}, "clat,clon,nx,ny"},
    {{DOM_K_CLAT, DOM_K_CLON, DOM_K_DX}, "clat,clon,dx"},
    {{DOM_K_PROJ, DOM_K_CLAT, DOM_K_CLON}, "proj,clat,clon"},
    {{DOM_K_CLAT, DOM_K_CLON}, "clat,clon"},
    {{DOM_K_ID}, "id:###"},
    {{DOM_K_REG}, "reg:REG"},
};

// The defaults a fitting form leaves to fill in.
void fill_defaults(const Form &f, Domain *d) {
  const int *k = f.kinds;
  if (k[0] != DOM_K_PROJ && k[0] != DOM_K_REG) d->proj = 1;
  bool has_nx = false, has_dx = false, has_dy = false;
  for (int i = 0; k[i]; ++i) {
    has_nx |= k[i] == DOM_K_NX;
    has_dx |= k[i] == DOM_K_DX;
    has_dy |= k[i] == DOM_K_DY;
  }
  if (k[0] == DOM_K_REG) return;
  if (f.text == kForms[0].text) return;
  if (f.text == kForms[11].text) {
    if (d->proj == 51) {
      d->nx = static_cast<int>(d->clat);
      d->ny = static_cast<int>(d->clon);
      d->clat = d->clon = kMiss;
      return;
    }
    d->dx = d->dy = d->proj == 50 ? 1.0f : 1.2f;
  }
  if (!has_nx) {
    d->nx = 25;
    d->ny = 17;
  }
  if (!has_dx && !has_dy && f.text != kForms[11].text) {
    d->dx = d->dy = 1.2f;
  } else if (has_dx && !has_dy) {
    d->dy = d->dx;
  }
}

}  // namespace

extern "C" {

int DOM_init(Domain *domain) KAV_NOEXCEPT {
  if (!domain) return -1;
  domain->proj = -9999;
  domain->plat = domain->plon = kMiss;
  for (float &p : domain->param) p = kMiss;
  domain->clat = domain->clon = domain->dx = domain->dy = kMiss;
  domain->nx = domain->ny = -9999;
  domain->ellipse = 0;
  return 0;
}

static int dom_set_params_body(int paramc, char **paramv, Domain *domain, int i1, int i2, int i3,
                               int i4, int i5, int i6, int i7, int i8) {
  if (!domain || paramc < 0 || (paramc > 0 && !paramv)) return -1;
  const int given[] = {i1, i2, i3, i4, i5, i6, i7, i8};
  std::vector<int> kinds;
  for (int k : given) {
    if (!k) break;
    kinds.push_back(k);
  }
  // An "id:" field in the place of clat stands for clat and clon.
  for (size_t i = 0; i < kinds.size(); ++i) {
    if (kinds[i] == DOM_K_CLAT && i < static_cast<size_t>(paramc) && paramv[i] &&
        strnicmp(paramv[i], "id:", 3) == 0) {
      kinds[i] = DOM_K_ID;
      if (i + 1 < kinds.size() && kinds[i + 1] == DOM_K_CLON)
        kinds.erase(kinds.begin() + static_cast<long>(i) + 1);
    }
  }
  if (kinds.size() != static_cast<size_t>(paramc)) return -1;
  DOM_init(domain);
  if (paramc > 0 && paramv[0] &&
      (stricmp(paramv[0], "miss") == 0 || stricmp(paramv[0], "none") == 0))
    return 0;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const char *f = paramv[i] ? paramv[i] : "";
    // Geographic domains (and forms without a projection, polar
    // stereographic) need a latitude and whole, positive grid counts.
    const bool geo = domain->proj == -9999 || geographic(domain->proj);
    int r = 0;
    switch (kinds[i]) {
      case DOM_K_PROJ:
        r = set_proj(f, domain);
        break;
      case DOM_K_PLAT:
        if (!to_float(f, &domain->plat)) r = DOM_K_PLAT;
        break;
      case DOM_K_PLON:
        if (!to_float(f, &domain->plon)) r = DOM_K_PLON;
        break;
      case DOM_K_CLAT:
        if (!to_float(f, &domain->clat) ||
            (geo && domain->clat != kMiss && std::fabs(domain->clat) > 90))
          r = DOM_K_CLAT;
        break;
      case DOM_K_CLON:
        if (!to_float(f, &domain->clon)) r = DOM_K_CLON;
        break;
      case DOM_K_DX:
        if (!to_float(f, &domain->dx)) r = DOM_K_DX;
        break;
      case DOM_K_DY:
        if (!to_float(f, &domain->dy)) r = DOM_K_DY;
        break;
      case DOM_K_NX:
        if (!kav::text::whole_int(f, &domain->nx) || (geo && domain->nx != -9999 && domain->nx < 1))
          r = DOM_K_NX;
        break;
      case DOM_K_NY:
        if (!kav::text::whole_int(f, &domain->ny) || (geo && domain->ny != -9999 && domain->ny < 1))
          r = DOM_K_NY;
        break;
      case DOM_K_ID:
        r = set_id(f, domain);
        break;
      case DOM_K_REG:
        r = set_region(f, domain);
        break;
      default:
        r = kinds[i];
    }
    if (r) return r;
  }
  return 0;
}

int DOM_set_params(int paramc, char **paramv, Domain *domain, int i1, int i2, int i3, int i4,
                   int i5, int i6, int i7, int i8) KAV_NOEXCEPT {
  return kav::guarded("DOM_set_params", -1, [&] {
    return dom_set_params_body(paramc, paramv, domain, i1, i2, i3, i4, i5, i6, i7, i8);
  });
}

static int dom_decode_body(const char *str, Domain *domain) {
  if (!domain) return -1;
  DOM_init(domain);
  if (!str || !*str || stricmp(str, "miss") == 0) return -9999;
  State &s = st();
  if (s.depth >= kMaxDepth) {
    MESS_print(M_WARN, "DOM_decode: Regions refer to each other deeper than %d: %s\n", kMaxDepth,
               str);
    return -1;
  }
  int argc = 0;
  char **argv = nullptr;
  if (parse_string(str, ',', &argc, &argv) != 0) {
    kav::out_of_memory("DOM_decode");  // the text is not empty: only memory fails it
    return -1;
  }
  MESS_print(kTrace, "******** PARSING DOMAIN: %d %s\n", argc, str);
  ++s.depth;
  int result = -1;
  int n = 0;
  for (const Form &f : kForms) {
    const int index = n++;
    if (index == 0 && stricmp(argv[0], "size") != 0) continue;
    const int *k = f.kinds;
    if (DOM_set_params(argc, argv, domain, k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7]) != 0)
      continue;
    fill_defaults(f, domain);
    MESS_print(kTrace, "%2d %s\n", 0, f.text);
    result = k[0] == DOM_K_REG ? 2 : 1;
    break;
  }
  --s.depth;
  free_parsed_array(argc, argv);
  if (result == -1) MESS_print(M_WARN, "DOM_decode: Invalid plot domain\n");
  FLAG_set(FLAG_REGION, result);
  FILE_set_key('r', str);
  if (domain->dy != kMiss && domain->ny != -9999)
    DOM_set_base_prior(domain->dy * static_cast<float>(domain->ny - 1));
  return result;
}

int DOM_decode(const char *str, Domain *domain) KAV_NOEXCEPT {
  return kav::guarded("DOM_decode", -1, [&] { return dom_decode_body(str, domain); });
}

int DOM_proj_str(const char *proj) KAV_NOEXCEPT {
  if (!proj) return -1;
  std::size_t n;
  const kav::proj::Family *const *t = kav::proj::rows(&n);
  for (std::size_t i = 0; i < n; ++i)
    if (stricmp(proj, t[i]->name) == 0) return t[i]->code;
  for (std::size_t i = 0; i < n; ++i) {
    for (const kav::proj::Accepted *a = t[i]->accepted; a->text; ++a) {
      const bool match = a->whole
                             ? stricmp(proj, a->text) == 0
                             : strnicmp(proj, a->text, static_cast<int>(std::strlen(a->text))) == 0;
      if (match) return t[i]->code;
    }
  }
  if (stricmp(proj, "miss") == 0) return -9999;
  return -1;
}

}  // extern "C"

namespace {

// A float in the fixed form with prec decimals when that reads back as the
// same float, else with the digits a float needs.
std::string num(float v, int prec) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", prec, static_cast<double>(v));
  if (std::strtof(buf, nullptr) == v) return buf;
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
  return buf;
}

std::string sub(float v) {
  std::string t(1, ':');
  if (v != kMiss) t.append(num(v, 3));
  return t;
}

}  // namespace

extern "C" {

static int dom_print_body(M_type mess, const Domain *domain) {
  if (!domain || !MESS_check(mess)) return 0;
  std::string t = printed_name(domain->proj);
  if (domain->ellipse) t += ":e";
  t += sub(domain->plat) + sub(domain->plon) + sub(domain->param[0]) + sub(domain->param[1]) +
       sub(domain->param[2]);
  if (domain->param[3] != kMiss) t += sub(domain->param[3]);
  for (const std::string &field :
       {num(domain->clat, 3), num(domain->clon, 3), std::to_string(domain->nx),
        std::to_string(domain->ny), num(domain->dx, 4), num(domain->dy, 4)}) {
    t.push_back(',');
    t.append(field);
  }
  t.push_back('\n');
  MESS_print(mess, "%s", t.c_str());
  return 0;
}

int DOM_print(M_type mess, const Domain *domain) KAV_NOEXCEPT {
  return kav::guarded("DOM_print", 0, [&] { return dom_print_body(mess, domain); });
}

}  // extern "C"

namespace {

// A missing pole stands for the centre.
bool pole_agrees(float p1, float c1, float p2, float c2) {
  if (p1 == kMiss && p2 == c1) return true;
  if (p2 == kMiss && p1 == c2) return true;
  return p1 == p2;
}

}  // namespace

extern "C" {

int DOM_comp_proj(const Domain *d1, const Domain *d2) KAV_NOEXCEPT {
  if (!d1 || !d2) return 0;
  if (d1->proj != d2->proj || d1->ellipse != d2->ellipse) return 0;
  if (!pole_agrees(d1->plat, d1->clat, d2->plat, d2->clat)) return 0;
  if (!pole_agrees(d1->plon, d1->clon, d2->plon, d2->clon)) return 0;
  for (int i = 0; i < 5; ++i)
    if (d1->param[i] != d2->param[i]) return 0;
  return 1;
}

int DOM_comp(const Domain *d1, const Domain *d2) KAV_NOEXCEPT {
  if (!DOM_comp_proj(d1, d2)) return 0;
  return d1->clat == d2->clat && d1->clon == d2->clon && d1->dx == d2->dx && d1->dy == d2->dy &&
                 d1->nx == d2->nx && d1->ny == d2->ny
             ? 1
             : 0;
}

float DOM_aspect(const Domain *domain) KAV_NOEXCEPT {
  if (!domain || domain->nx < 2 || domain->ny < 2) return 1.0f;
  return static_cast<float>(domain->nx - 1) / static_cast<float>(domain->ny - 1);
}

int DOM_get_def_region(const char *region, Domain *domain) KAV_NOEXCEPT {
  if (!domain) return 0;
  DOM_init(domain);
  domain->proj = 1;
  domain->nx = 25;
  domain->ny = 17;
  domain->dx = domain->dy = 1.2f;
  if (!region) return 0;
  for (const Builtin &b : kBuiltins) {
    if (stricmp(region, b.abbr) != 0) continue;
    if (std::strcmp(b.abbr, "var") == 0) {
      domain->clat = KAV_promptf("Enter the central latitude: ");
      domain->clon = KAV_promptf("Enter the central longitude: ");
    } else {
      domain->clat = b.clat;
      domain->clon = b.clon;
    }
    domain->dx = domain->dy = b.dx;
    domain->plon = domain->clon;
    DOM_set_base_prior(domain->dy * static_cast<float>(domain->ny - 1));
    FLAG_set(FLAG_REGION, 1);
    return 1;
  }
  return 0;
}

static int dom_search_file_body(const char *file, const char *str, char *domstr) {
  std::string full;
  FilePtr fp = open_region_file(file, &full);
  if (!fp) return 0;
  std::string line;
  bool too_long;
  int number = 0;
  while (read_line(fp.get(), line, &too_long)) {
    ++number;
    RegionLine r;
    const char *why = "";
    const LineKind k = parse_line(line, too_long, &r, &why);
    if (k == LineKind::Skip) continue;
    if (k == LineKind::Bad) {
      MESS_print(M_WARN, "DOM_search_file: %s line %d: %s\n", full.c_str(), number, why);
      continue;
    }
    if (k == LineKind::Entry && str && stricmp(r.abbr.c_str(), str) != 0) continue;
    if (domstr) std::memcpy(domstr, r.domain.c_str(), r.domain.size() + 1);
    return 1;
  }
  if (std::ferror(fp.get()))
    MESS_print(M_WARN, "DOM_search_file: Unable to read region file: %s\n", full.c_str());
  return 0;
}

int DOM_search_file(const char *file, const char *str, char *domstr) KAV_NOEXCEPT {
  return kav::guarded("DOM_search_file", 0,
                      [&] { return dom_search_file_body(file, str, domstr); });
}

static int dom_read_menu_body(const char *file) {
  std::string full;
  FilePtr fp = open_region_file(file, &full);
  if (!fp) return 0;
  std::vector<RegionLine> regions;
  std::string line;
  bool too_long;
  int number = 0;
  while (read_line(fp.get(), line, &too_long)) {
    ++number;
    RegionLine r;
    const char *why = "";
    LineKind k = parse_line(line, too_long, &r, &why);
    if (k == LineKind::Entry && r.abbr.size() > kAbbrLen) {
      why = "abbreviation longer than 5 characters";
      k = LineKind::Bad;
    }
    if (k == LineKind::Bad) {
      MESS_print(M_WARN, "DOM_read_menu: %s line %d: %s\n", full.c_str(), number, why);
      continue;
    }
    if (k != LineKind::Entry || r.flag == 0) continue;
    if (regions.size() == static_cast<size_t>(kMaxRegions)) {
      MESS_print(M_WARN, "DOM_read_menu: %s: only the first %d regions are shown\n", full.c_str(),
                 kMaxRegions);
      break;
    }
    if (r.desc.size() > kDescLen) r.desc.resize(kDescLen);
    fill_string(r.desc.data(), '_', ' ');
    regions.push_back(r);
  }
  if (std::ferror(fp.get())) {
    // The menu loaded before stays: a menu of part of the file is not shown.
    MESS_print(M_WARN, "DOM_read_menu: Unable to read region file: %s\n", full.c_str());
    return 0;
  }
  if (regions.empty()) {
    MESS_print(M_WARN, "DOM_read_menu: No regions in %s\n", full.c_str());
    return 0;
  }
  // The new menu is built aside and swapped in whole, so that memory running
  // out part-way leaves the menu as it was (its texts untouched, as the
  // menu points into them).
  State &s = st();
  std::array<std::string, kMenuSize> names = s.names, abbrs = s.abbrs;
  std::string menu_file = file ? file : "kav.reg";
  int i = 1;
  for (const RegionLine &r : regions) {
    names[static_cast<size_t>(i)] = r.desc;
    abbrs[static_cast<size_t>(i)] = r.abbr;
    ++i;
  }
  s.names.swap(names);
  s.abbrs.swap(abbrs);
  s.menu_file.swap(menu_file);
  link_menu(s, i - 1);
  s.num_regs = i;
  return 1;
}

int DOM_read_menu(const char *file) KAV_NOEXCEPT {
  return kav::guarded("DOM_read_menu", 0, [&] { return dom_read_menu_body(file); });
}

static int dom_print_file_body(const char *file) {
  std::string full;
  FilePtr fp = open_region_file(file, &full);
  if (!fp) return 0;
  MESS_print(M_PRINT, " Abbr    Description\n");
  std::string line;
  bool too_long;
  while (read_line(fp.get(), line, &too_long)) {
    RegionLine r;
    const char *why = "";
    if (parse_line(line, too_long, &r, &why) != LineKind::Entry) continue;
    MESS_print(M_PRINT, "%-8s %-50s\n", r.abbr.c_str(), r.desc.c_str());
  }
  if (std::ferror(fp.get())) {
    MESS_print(M_WARN, "DOM_print_file: Unable to read region file: %s\n", full.c_str());
    return -1;
  }
  return 0;
}

int DOM_print_file(const char *file) KAV_NOEXCEPT {
  return kav::guarded("DOM_print_file", 0, [&] { return dom_print_file_body(file); });
}

static int dom_get_region_body(Domain *domain, int flag) {
  if (!domain) return 0;
  DOM_init(domain);
  const char *pd = RES_get("plot_domain");
  if ((flag == 1 || flag == 3 || flag == 4) && is_set(pd)) return DOM_decode(pd, domain);
  const char *re = RES_get("region");
  if (is_set(re)) return DOM_decode(re, domain);
  if (flag == 4) {
    State &s = st();
    if (s.num_regs == 0) DOM_read_menu("kav.reg");
    return DOM_decode(choice_text(s, 1).c_str(), domain);
  }
  return 0;
}

int DOM_get_region(Domain *domain, int flag) KAV_NOEXCEPT {
  return kav::guarded("DOM_get_region", -1, [&] { return dom_get_region_body(domain, flag); });
}

int DOM_get_grid_domain(Domain *domain) KAV_NOEXCEPT {
  if (!domain) return 0;
  DOM_init(domain);
  for (const char *name : {"grid_domain", "region", "plot_domain"}) {
    const char *v = RES_get(name);
    if (is_set(v)) return DOM_decode(v, domain);
  }
  return 0;
}

}  // extern "C"

namespace {

// A domain that must decode: an invalid one ends the program with 43.
int decode_or_exit(const char *text, Domain *domain) {
  const int r = DOM_decode(text, domain);
  if (r == -1) {
    MESS_print(M_ERROR, "Invalid domain\n");
    KAV_exit(43);
  }
  return r;
}

// Prints the prompt and reads the whole answer line, blanks trimmed at both
// ends. False at the end of input; too_long when the line was longer than
// kAnswerLen characters (the rest is read and dropped).
bool read_answer(const char *prompt, std::string *answer, bool *too_long) {
  MESS_print(M_PRINT, "%s", prompt);
  std::fflush(stdout);
  answer->clear();
  *too_long = false;
  int c;
  bool any = false;
  while ((c = std::getchar()) != EOF) {
    any = true;
    if (c == '\n') break;
    if (answer->size() < kAnswerLen)
      answer->push_back(static_cast<char>(c));
    else
      *too_long = true;
  }
  const size_t b = answer->find_first_not_of(" \t\r");
  const size_t e = answer->find_last_not_of(" \t\r");
  *answer = b == std::string::npos ? std::string() : answer->substr(b, e - b + 1);
  return any;
}

// The visible regions of the menu, in order.
std::vector<const MENU_item *> visible(const State &s) {
  std::vector<const MENU_item *> v;
  for (int i = 1; i < kMenuSize && s.menu[static_cast<size_t>(i)].name; ++i) {
    const MENU_item &m = s.menu[static_cast<size_t>(i)];
    if (m.disp[s.reg_menu_type] == 1) v.push_back(&m);
  }
  return v;
}

}  // namespace

extern "C" {

static int dom_prompt_region_body(Domain *domain, int flag) {
  if (!domain) return -1;
  State &s = st();
  if (s.prompt_region == 0) return 0;
  const char *pd = RES_get("plot_domain");
  if (flag == 1 && is_set(pd)) {
    DOM_init(domain);
    const int r = decode_or_exit(pd, domain);
    if (r > 0) return r;
  }
  const char *re = RES_get("region");
  if (is_set(re)) {
    DOM_init(domain);
    const int r = decode_or_exit(re, domain);
    if (r > 0) return r;
  }
  if (s.num_regs == 0) DOM_read_menu("kav.reg");
  if (FLAG_batch()) return decode_or_exit(choice_text(s, 1).c_str(), domain);
  for (int attempt = 0; attempt < kTries; ++attempt) {
    MENU_print("\n        Region Menu\n", s.menu.data(), s.reg_menu_type, MENU_EXIT | MENU_RETURN);
    std::string answer;
    bool too_long;
    const bool got = read_answer("Enter the region: ", &answer, &too_long);
    if (too_long) {
      MESS_print(M_WARN, "DOM_prompt_region: Answer longer than %zu characters\n", kAnswerLen);
      continue;
    }
    if (!got && answer.empty()) return DOM_decode("", domain);
    if (KAV_set_command(answer.c_str())) continue;
    if (answer == "?") {
      std::string abbrs = s.menu[0].abbr;
      for (const MENU_item *m : visible(s)) abbrs.append(",").append(m->abbr);
      MESS_print(M_PRINT, "%s\n\n", abbrs.c_str());
      continue;
    }
    if (stricmp(answer.c_str(), "list") == 0) {
      DOM_print_file("kav.reg");
      continue;
    }
    if (answer == "Exit program" || stricmp(answer.c_str(), "exit") == 0) KAV_exit(0);
    if (answer == "Return to main menu" || stricmp(answer.c_str(), "main") == 0) return 0;
    std::string text = answer;
    const std::vector<const MENU_item *> items = visible(s);
    int number;
    if (kav::text::whole_int(answer.c_str(), &number)) {
      if (number == -1) KAV_exit(0);
      if (number == 0) return 0;
      if (number < 0 || number > static_cast<int>(items.size())) {
        MESS_print(M_WARN, "DOM_prompt_region: No region %d in the menu\n", number);
        continue;
      }
      text = choice_text(s, items[static_cast<size_t>(number - 1)]->index);
    } else if (!answer.empty()) {
      const int index = MENU_search(answer.c_str(), s.menu.data());
      if (index == 0) return 0;
      if (index > 0 && index < kMenuSize) text = choice_text(s, index);
    }
    DOM_init(domain);
    const int r = DOM_decode(text.c_str(), domain);
    if (r == -1) {
      MESS_print(M_WARN, "Invalid domain\n");
      continue;
    }
    if (r == -9999 || r > 0) return r;
  }
  return -1;
}

int DOM_prompt_region(Domain *domain, int flag) KAV_NOEXCEPT {
  return kav::guarded("DOM_prompt_region", -1,
                      [&] { return dom_prompt_region_body(domain, flag); });
}

int DOM_set_prompt_region(int val) KAV_NOEXCEPT {
  st().prompt_region = val;
  return 0;
}

const char *DOM_get_region_name(int region) KAV_NOEXCEPT {
  const State &s = st();
  if (region < 0 || region >= kMenuSize) return nullptr;
  return s.menu[static_cast<size_t>(region)].name;
}

const char *DOM_get_region_abbr(int region) KAV_NOEXCEPT {
  const State &s = st();
  if (region < 0 || region >= kMenuSize || !s.menu[static_cast<size_t>(region)].name)
    return nullptr;
  return s.menu[static_cast<size_t>(region)].abbr;
}

int DOM_set_base_prior(float size) KAV_NOEXCEPT {
  State &s = st();
  if (size > 50)
    s.priority = 1;
  else if (size > 25)
    s.priority = 2;
  else if (size > 12.5f)
    s.priority = 3;
  else if (size > 6.25f)
    s.priority = 4;
  else if (size > 3)
    s.priority = 5;
  else
    s.priority = 6;
  const char *adj = RES_get("stat_prior");
  if (is_set(adj)) {
    if ((adj[0] == '+' || adj[0] == '-') && std::isdigit(static_cast<unsigned char>(adj[1])))
      s.priority += (adj[0] == '+' ? 1 : -1) * (adj[1] - '0');
    else if (std::isdigit(static_cast<unsigned char>(adj[0])))
      s.priority = adj[0] - '0';
  }
  return 0;
}

int DOM_set_prior(int prior) KAV_NOEXCEPT {
  st().priority = prior;
  return 0;
}
int DOM_get_prior(void) KAV_NOEXCEPT { return st().priority; }
int DOM_set_loc_prior(int prior) KAV_NOEXCEPT {
  st().loc_prior = prior;
  return 0;
}
int DOM_get_loc_prior(void) KAV_NOEXCEPT { return st().loc_prior; }

}  // extern "C"

// Character grid files (format 22): products of five-figure groups, each
// opening with "GRID", an identification, packing groups and 15 rows of 19
// values on a 5-degree latitude/longitude area. docs/grid-format-22.md gives
// the layout.
#include <kav/date.h>
#include <kav/grd_read.h>
#include <kav/mess.h>
#include <kav/var_tool.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/tools_int.hpp"
#include "grid/grd_read_int.hpp"

namespace kav::grd {

namespace {

constexpr size_t kTokenLimit = 64;
constexpr int kNx = 19;
constexpr int kNy = 15;
constexpr float kSpacing = 5.0f;
constexpr int kWindVar = 22;  // wind as direction and speed in one value
constexpr int kUVar = 23;     // eastward component
constexpr int kVVar = 24;     // northward component
constexpr double kDegToRad = 0.017453292519943295;

// Centres (latitude, longitude) of the areas 1-12.
constexpr float kCentres[12][2] = {{55, -45},  {55, -135},  {55, 135},  {55, 45},
                                   {0, -45},   {0, -135},   {0, 135},   {0, 45},
                                   {-55, -45}, {-55, -135}, {-55, 135}, {-55, 45}};

const char *shown(const Slot &s) { return s.name.empty() ? "-" : s.name.c_str(); }

bool read_token(FILE *fp, std::string &tok) { return text::read_token(fp, tok, kTokenLimit); }

// The number in characters [from, from + len) of tok (1-based from), or -1
// when they are missing or not all digits.
int digits(const std::string &tok, size_t from, size_t len) {
  if (tok.size() < from - 1 + len) return -1;
  int v = 0;
  for (size_t i = from - 1; i < from - 1 + len; ++i) {
    if (tok[i] < '0' || tok[i] > '9') return -1;
    v = v * 10 + (tok[i] - '0');
  }
  return v;
}

// What a product's groups say, before its rows.
struct Product {
  int source = 0;
  int area = 0;
  int var = 0;
  int ltype = 0;
  int level = 0;
  int time = 0;
  Date date{KAV_IMISSING, KAV_IMISSING, KAV_IMISSING, KAV_IMISSING,
            KAV_IMISSING, KAV_IMISSING, KAV_IMISSING, KAV_IMISSING};
  int sign_mode = 0;
  int ndigits = 0;
  double scale = 1.0;
  double offset = 0.0;
  std::string code;  // the group read last: the first row's code group
};

struct Parser {
  Slot &slot;
  FILE *fp;
  int grid_no;

  bool bad(const char *what) {
    MESS_print(M_WARN, "GRD_read: %s in grid %d of %s\n", what, grid_no, shown(slot));
    return false;
  }
  bool next(std::string &tok, const char *where) {
    if (read_token(fp, tok)) return true;
    return bad(where);
  }
};

// Reads the groups of a product up to its first row. kEnd when the stream
// holds no further product.
enum Result { kRead, kEnd, kBad };

Result read_identification(Parser &p, Product &pr) {
  std::string t;
  if (!read_token(p.fp, t)) return kEnd;
  if (t == "GRID" && !read_token(p.fp, t)) return kEnd;
  const int source = digits(t, 1, 2), area = digits(t, 3, 3);
  if (source < 0 || area < 0) return p.bad("Bad identification group"), kBad;
  pr.source = source;
  pr.area = area;
  if (!p.next(t, "Product cut short") || !p.next(t, "Product cut short") ||
      !p.next(t, "Product cut short"))
    return kBad;
  if (t[0] == '1') {
    if ((pr.var = digits(t, 2, 2)) < 0) return p.bad("Bad variable group"), kBad;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (t[0] == '2') {
    const int l = digits(t, 2, 2);
    if (l < 0) return p.bad("Bad level group"), kBad;
    pr.ltype = 10;
    pr.level = l * 10;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (t[0] == '3') {
    const int l = digits(t, 2, 2);
    if (l < 0) return p.bad("Bad level group"), kBad;
    pr.ltype = l == 0 ? 12 : 13;
    pr.level = l * 10;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (t[0] == '6') {
    pr.date.year = digits(t, 2, 2);
    pr.date.month = digits(t, 4, 2);
    if (pr.date.year < 0 || pr.date.month < 1 || pr.date.month > 12)
      return p.bad("Bad year and month group"), kBad;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (t[0] == '7') {
    pr.date.day = digits(t, 2, 2);
    pr.date.hour = digits(t, 4, 2);
    if (pr.date.day < 1 || pr.date.day > 31 || pr.date.hour < 0 || pr.date.hour > 23)
      return p.bad("Bad day and hour group"), kBad;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (t[0] == '8') {
    if ((pr.time = digits(t, 3, 3)) < 0) return p.bad("Bad forecast time group"), kBad;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (t[0] == '0' && !p.next(t, "Product cut short")) return kBad;
  // The group that closes the identification is passed over.
  if (!p.next(t, "Product cut short")) return kBad;
  if (t[0] == '1') {
    if (t.size() < 5 || t[4] < '0' || t[4] > '9') return p.bad("Bad sign group"), kBad;
    pr.sign_mode = t[4] - '0';
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (t[0] == '2') {
    const int d = digits(t, 2, 1);
    pr.ndigits = pr.sign_mode == 1 ? d - 1 : d;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  if (pr.ndigits < 3 || pr.ndigits > 5) return p.bad("Digits per value not 3, 4 or 5"), kBad;
  if (t[0] == '3') {
    static constexpr double kScales[10] = {1,  0.1, 0.01, 0.001, 0.0001,
                                           10, 100, 1000, 10000, 100000};
    const int c = digits(t, 2, 1);
    if (c < 0) return p.bad("Bad scale group"), kBad;
    pr.scale = kScales[c];
    long b = 0;
    if (t.size() > 2) {
      char *end = nullptr;
      b = std::strtol(t.c_str() + 2, &end, 10);
      if (*end != '\0' || b < -99999999 || b > 99999999) return p.bad("Bad scale group"), kBad;
    }
    if (pr.var == 4) b = -b;
    pr.offset = static_cast<double>(b) * pr.scale;
    if (!p.next(t, "Product cut short")) return kBad;
  }
  pr.code = t;
  return kRead;
}

// Reads the 15 rows into values (file order), as signed integers; missing
// values ("/" groups) are flagged in miss.
bool read_rows(Parser &p, Product &pr, std::vector<long> &ints, std::vector<char> &miss) {
  ints.assign(kNx * kNy, 0);
  miss.assign(kNx * kNy, 0);
  const size_t width = static_cast<size_t>(pr.ndigits + (pr.sign_mode == 1 ? 1 : 0));
  std::string t;
  for (int row = 0; row < kNy; ++row) {
    if (row > 0 && !p.next(pr.code, "Rows cut short")) return false;
    if (!p.next(t, "Rows cut short")) return false;  // the group after the code
    const bool constant = pr.code[0] == '9';
    const int count = constant ? 1 : kNx;
    long value = 0;
    bool is_missing = false;
    for (int k = 0; k < count; ++k) {
      if (!p.next(t, "Rows cut short")) return false;
      is_missing = t.find_first_not_of('/') == std::string::npos;
      if (!is_missing) {
        if (t.size() != width || t.find_first_not_of("0123456789") != std::string::npos)
          return p.bad("Bad value group");
        size_t at = 0;
        bool negative = pr.sign_mode == 3;
        if (pr.sign_mode == 1) {
          negative = t[0] == '1';
          at = 1;
        }
        value = std::strtol(t.c_str() + at, nullptr, 10);
        if (negative) value = -value;
      }
      const int first = constant ? 0 : k, last = constant ? kNx - 1 : k;
      for (int i = first; i <= last; ++i) {
        ints[static_cast<size_t>(row * kNx + i)] = value;
        miss[static_cast<size_t>(row * kNx + i)] = is_missing ? 1 : 0;
      }
    }
  }
  return true;
}

// Reads one product; part 1 of a wind product gives the northward component.
// wind is set when the product is a wind product.
Result read_product(Slot &s, int grid_no, GRD_report *grd, bool header_only, int part, bool *wind) {
  Parser p{s, s.rec.file, grid_no};
  Product pr;
  const Result r = read_identification(p, pr);
  if (r != kRead) return r;
  if (pr.area < 1 || pr.area > 12) return p.bad("Unknown area"), kBad;
  std::vector<long> ints;
  std::vector<char> miss;
  try {
    if (!read_rows(p, pr, ints, miss)) return kBad;
  } catch (const std::bad_alloc &) {
    return p.bad("Out of memory"), kBad;
  }
  *wind = pr.var == kWindVar;
  grd->source = grd->model = pr.source;
  grd->type = pr.area + 70;
  grd->version = 1;
  grd->var = *wind ? (part == 0 ? kUVar : kVVar) : pr.var;
  grd->ltype = pr.ltype;
  grd->level = pr.level;
  grd->time = pr.time;
  grd->units[0] = '\0';
  Date date = pr.date;
  int64_t seconds = 0;
  if (date.year != KAV_IMISSING && date.day != KAV_IMISSING) {
    date.min = date.sec = 0;
    seconds = DATE_num_sec(&date);
    DATE_get_gmdate(&seconds, &date);
  } else {
    DATE_init(&date);
  }
  grd->date = date;
  char text[VAR_LABEL_LEN];
  VAR_make_datatype(grd->time, grd->ltype, grd->level, grd->var, "", text);
  copy_text(grd->info, sizeof grd->info, text);
  char label[DATE_LABEL_LEN];
  DATE_make_label_for(grd->time, grd->model, seconds, label);
  copy_text(grd->datim, sizeof grd->datim, label);
  Domain &d = grd->domain;
  d.proj = 2;
  d.plat = KAV_MISSING;
  for (float &x : d.param) x = KAV_MISSING;
  d.ellipse = 0;
  d.clat = kCentres[pr.area - 1][0];
  d.clon = d.plon = kCentres[pr.area - 1][1];
  d.dx = d.dy = kSpacing;
  d.nx = kNx;
  d.ny = kNy;
  if (header_only) return kRead;
  std::vector<float> values(kNx * kNy, KAV_MISSING);
  const bool south_first = pr.area <= 4;
  for (int row = 0; row < kNy; ++row) {
    const int j = south_first ? kNy - 1 - row : row;
    for (int i = 0; i < kNx; ++i) {
      const size_t from = static_cast<size_t>(row * kNx + i);
      if (miss[from]) continue;
      const long n = ints[from];
      double v;
      if (*wind) {
        const double dir = static_cast<double>(n / 100) * kDegToRad;
        const double spd = static_cast<double>(n % 100);
        v = part == 0 ? -spd * std::sin(dir) : -spd * std::cos(dir);
      } else {
        v = pr.offset + static_cast<double>(n) * pr.scale;
      }
      values[static_cast<size_t>(i + kNx * j)] = static_cast<float>(v);
    }
  }
  if (!store_values(grd, values.data(), values.size())) return p.bad("Out of memory"), kBad;
  return kRead;
}

}  // namespace

int char_detect(const unsigned char *head, size_t len) {
  return len >= 4 && std::memcmp(head, "GRID", 4) == 0 ? 1 : 0;
}

int char_getinfo(Slot &s, GRD_info *info) {
  if (!s.rec.file || !seek(s.rec.file, 0)) return -1;
  GRD_report first;
  GRD_init(&first);
  bool wind = false;
  if (read_product(s, 0, &first, true, 0, &wind) == kRead && first.date.year != KAV_IMISSING) {
    char label[DATE_LABEL_LEN];
    DATE_make_label(&first.date, label);
    copy_text(info->datim, sizeof info->datim, label);
    copy_text(s.rec.datim, sizeof s.rec.datim, label);
    info->date = s.rec.date = first.date;
  }
  info->max_x = kNx;
  info->max_y = kNy;
  info->grid_type = 0;
  s.data_start = 0;
  return char_rewind(s);
}

int char_rewind(Slot &s) {
  if (!s.rec.file || !seek(s.rec.file, 0)) return -1;
  s.pos = Position{};
  s.rec.num = 0;
  shared().new_pos = -1;
  return 0;
}

int char_read(Slot &s, GRD_report *grd, int rep_type, int *grdnum) {
  FILE *fp = s.rec.file;
  if (!fp) return -1;
  Position &p = s.pos;
  const int want = *grdnum < 0 ? p.next_index : *grdnum;
  int index, part;
  long at;
  if (want == p.last_index) {
    index = want, part = p.last_part, at = p.last_offset;
  } else if (want >= p.next_index) {
    index = p.next_index, part = p.next_part, at = p.next_offset;
  } else {
    index = 0, part = 0, at = 0;
  }
  if (!seek(fp, at)) return -1;
  GRD_report skip;
  GRD_init(&skip);
  bool wind = false;
  while (index < want) {  // pass over the grids before the one asked for
    const Result skipped = read_product(s, index, &skip, true, part, &wind);
    if (skipped != kRead) {
      s.failed = skipped == kBad;
      return -1;
    }
    if (wind && part == 0) {
      part = 1;
      if (!seek(fp, at)) return -1;
    } else {
      part = 0;
      at = tell(fp);
    }
    ++index;
  }
  const bool header_only = rep_type == 1 || rep_type == 2;
  const Result got = read_product(s, want, grd, header_only, part, &wind);
  if (got != kRead) {
    s.failed = got == kBad;
    if (!header_only) {
      std::free(grd->grid);
      grd->grid = nullptr;
    }
    return -1;
  }
  p.last_index = want;
  p.last_offset = at;
  p.last_part = part;
  p.next_index = want + 1;
  if (wind && part == 0) {
    p.next_offset = at;  // the two components of a wind share the product
    p.next_part = 1;
  } else {
    p.next_offset = tell(fp);
    p.next_part = 0;
  }
  shared().cur_pos = at;
  shared().new_pos = p.next_offset;
  s.rec.num = want;
  *grdnum = want;
  return 0;
}

}  // namespace kav::grd

// The package's own grid files: plain text (format 1), text with a "KAVGRID"
// line (2), its binary-valued form (3) and the header files of format 4.
#include <kav/date.h>
#include <kav/files.h>
#include <kav/grd_read.h>
#include <kav/mess.h>
#include <kav/string.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/fault.hpp"
#include "base/string_int.hpp"
#include "base/tools_int.hpp"
#include "grid/grd_read_int.hpp"

namespace kav::grd {

namespace {

constexpr size_t kLineLimit = 160;   // longest line kept; the rest is dropped
constexpr size_t kTokenLimit = 200;  // longest token
constexpr size_t kChunk = 65536;     // values read per step

const char *shown(const Slot &s) { return s.name.empty() ? "-" : s.name.c_str(); }

bool begins(const std::string &s, const char *head) {
  return s.compare(0, std::strlen(head), head) == 0;
}

// Reads a line (without its line end and a carriage return before it),
// keeping at most kLineLimit characters. False at the end of the stream.
bool read_line(FILE *fp, std::string &line) { return text::read_line(fp, line, kLineLimit); }

// Passes over the rest of the line and its line end.
void skip_line(FILE *fp) {
  int c;
  while ((c = std::getc(fp)) != EOF && c != '\n') {
  }
}

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads the next white-space separated token of at most kTokenLimit
// characters (see text::read_token).
bool read_token(FILE *fp, std::string &tok, bool *ended = nullptr) {
  return text::read_token(fp, tok, kTokenLimit, ended);
}

bool to_float(const std::string &s, float *out) {
  if (s.empty()) return false;
  char *end = nullptr;
  const float v = std::strtof(s.c_str(), &end);
  if (*end != '\0' || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

void clear_domain(Domain &d) {
  d.proj = d.nx = d.ny = KAV_IMISSING;
  d.plat = d.plon = d.clat = d.clon = d.dx = d.dy = KAV_MISSING;
  for (float &p : d.param) p = KAV_MISSING;
  d.ellipse = 0;
}

// ---- Domain texts of format 4 ("proj:sub,clat,clon,nx,ny,dx,dy" and the
// shorter forms), decoded straight into the Domain fields.

// Map projection codes by name prefix, tried in this order.
struct ProjName {
  const char *prefix;
  int code;
};
constexpr ProjName kProjNames[] = {{"ll", 2},  {"lat", 2},  {"polar", 1}, {"ps", 1},
                                   {"sat", 9}, {"lamb", 4}, {"lc", 4},    {"la", 8},
                                   {"gn", 6},  {"or", 5},   {"mo", 7},    {"me", 3}};

int proj_code(const std::string &name) {
  for (const ProjName &p : kProjNames)
    if (strnicmp(name.c_str(), p.prefix, static_cast<int>(std::strlen(p.prefix))) == 0 &&
        name.size() >= std::strlen(p.prefix))
      return p.code;
  return -1;
}

std::vector<std::string> split(const std::string &s, char delim) {
  std::vector<std::string> out;
  size_t b = 0;
  for (;;) {
    const size_t e = s.find(delim, b);
    out.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) break;
    b = e + 1;
  }
  while (out.size() > 1 && out.back().empty()) out.pop_back();
  return out;
}

bool prefix_float(const std::string &s, float *out) {
  char *end = nullptr;
  const float v = std::strtof(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

// The integer that s begins with.
bool prefix_int(const std::string &s, int *out) {
  const char *p = s.c_str();
  return text::next_int(p, out);
}

bool decode_proj(const std::string &field, Domain &d) {
  const std::vector<std::string> parts = split(field, ':');
  const int code = proj_code(parts[0]);
  if (code < 0) return false;
  d.proj = code;
  if (parts.size() == 2) {
    d.plon = static_cast<float>(std::atof(parts[1].c_str()));
    return true;
  }
  size_t i = 1;
  if (i < parts.size() && parts[i] == "e") {
    d.ellipse = 1;
    ++i;
  }
  float *targets[] = {&d.plat, &d.plon, &d.param[0], &d.param[1], &d.param[2], &d.param[3]};
  for (float *t : targets) {
    if (i >= parts.size()) break;
    if (!parts[i].empty()) *t = static_cast<float>(std::atof(parts[i].c_str()));
    ++i;
  }
  return true;
}

// Tries one form: kinds P proj, L plon, A clat, O clon, X nx, Y ny, D dx, E dy.
bool fit_form(const std::vector<std::string> &f, const char *kinds, Domain &d) {
  if (f.size() != std::strlen(kinds)) return false;
  clear_domain(d);
  for (size_t k = 0; k < f.size(); ++k) {
    bool ok = true;
    switch (kinds[k]) {
      case 'P':
        ok = decode_proj(f[k], d);
        break;
      case 'L':
        ok = prefix_float(f[k], &d.plon);
        break;
      case 'A':
        ok = prefix_float(f[k], &d.clat);
        break;
      case 'O':
        ok = prefix_float(f[k], &d.clon);
        break;
      case 'X':
        ok = prefix_int(f[k], &d.nx);
        break;
      case 'Y':
        ok = prefix_int(f[k], &d.ny);
        break;
      case 'D':
        ok = prefix_float(f[k], &d.dx);
        break;
      case 'E':
        ok = prefix_float(f[k], &d.dy);
        break;
      default:
        ok = false;
    }
    if (!ok) return false;
  }
  return true;
}

bool decode_domain_text(const std::string &text, Domain &d) {
  const std::vector<std::string> f = split(text, ',');
  struct Form {
    const char *kinds;
    int proj;   // projection filled in, 0 none
    bool size;  // nx 25, ny 17
    bool dy_from_dx;
    float spacing;  // dx = dy, 0 none
  };
  static constexpr Form kForms[] = {
      {"PLAOXYDE", 0, false, false, 0}, {"PAOXYDE", 0, false, false, 0},
      {"PLAODE", 0, true, false, 0},    {"PAOXYD", 0, false, true, 0},
      {"AOXYDE", 1, false, false, 0},   {"PAODE", 0, true, false, 0},
      {"AOXYD", 1, false, true, 0},     {"PAOD", 0, true, true, 0},
      {"AOXY", 1, false, false, 1.2f},  {"AOD", 1, true, true, 0},
      {"PAO", 0, true, false, 1.2f},    {"AO", 1, true, false, 1.2f}};
  for (const Form &form : kForms) {
    if (!fit_form(f, form.kinds, d)) continue;
    if (form.proj) d.proj = form.proj;
    if (form.size) d.nx = 25, d.ny = 17;
    if (form.dy_from_dx) d.dy = d.dx;
    if (form.spacing > 0) d.dx = d.dy = form.spacing;
    return true;
  }
  clear_domain(d);
  return false;
}

// ---- One grid of formats 1-4.

enum Status { kOk = 0, kEnd = -1, kBad = -2 };

struct Reader {
  Slot &slot;
  FILE *fp;
  int grid_no;  // number of the grid being read, for messages

  Status bad(const char *what) {
    MESS_print(M_WARN, "GRD_read: %s in grid %d of %s\n", what, grid_no, shown(slot));
    return kBad;
  }
};

bool parse_keys(const std::string &line, GRD_report *grd) {
  int v[8];
  const char *p = line.c_str();
  for (int &x : v)
    if (!text::next_int(p, &x)) return false;
  grd->source = v[0];
  grd->version = v[1];
  grd->model = v[2];
  grd->type = v[3];
  grd->ltype = v[4];
  grd->level = v[5];
  grd->time = v[6];
  grd->var = v[7];
  if (*p == ':')
    copy_text(grd->units, sizeof grd->units, p + 1);
  else {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p) return false;
  }
  return true;
}

// The projection token of formats 1-3 and the numbers after it.
Status parse_domain(Reader &r, GRD_report *grd, std::string tok) {
  Domain &d = grd->domain;
  const std::vector<std::string> parts = split(tok, ':');
  const std::string &head = parts[0];
  std::vector<float> sub;
  for (size_t i = 1; i < parts.size(); ++i) {
    float x;
    if (!to_float(parts[i], &x)) return r.bad("Bad projection token");
    sub.push_back(x);
  }
  bool plon_given = false;
  std::vector<std::string> nums;
  if (head == "LL" || head == "PS" || head == "ME" || head == "LC") {
    d.proj = head == "LL" ? 2 : head == "PS" ? 1 : head == "ME" ? 3 : 4;
    if (head == "ME" && !sub.empty()) return r.bad("Bad projection token");
    if (head == "LC") {
      if (sub.size() == 1) {
        d.plon = sub[0];
        plon_given = true;
      } else if (sub.size() == 5) {
        d.plat = sub[0];
        d.plon = sub[1];
        d.param[0] = sub[2];
        d.param[1] = sub[3];
        d.param[2] = sub[4];
        plon_given = true;
      } else if (!sub.empty()) {
        return r.bad("Bad projection token");
      }
    } else if (sub.size() == 1) {
      d.plon = sub[0];
      plon_given = true;
    } else if (sub.size() > 1) {
      return r.bad("Bad projection token");
    }
    for (int i = 0; i < 6; ++i) {
      std::string t;
      if (!read_token(r.fp, t)) return r.bad("Domain cut short");
      nums.push_back(t);
    }
    if (!to_float(nums[0], &d.clat) || !to_float(nums[1], &d.clon) || !to_float(nums[2], &d.dx) ||
        !to_float(nums[3], &d.dy) || !text::whole_int(nums[4].c_str(), &d.nx) ||
        !text::whole_int(nums[5].c_str(), &d.ny))
      return r.bad("Bad domain numbers");
  } else {
    // The older polar stereographic form: clat clon dx nx ny.
    d.proj = 1;
    nums.push_back(tok);
    for (int i = 0; i < 4; ++i) {
      std::string t;
      if (!read_token(r.fp, t)) return r.bad("Domain cut short");
      nums.push_back(t);
    }
    if (!to_float(nums[0], &d.clat) || !to_float(nums[1], &d.clon) || !to_float(nums[2], &d.dx) ||
        !text::whole_int(nums[3].c_str(), &d.nx) || !text::whole_int(nums[4].c_str(), &d.ny))
      return r.bad("Bad domain numbers");
    d.dy = d.dx;
  }
  if (grd->version == 1) d.clon = -d.clon;
  if (!plon_given && (d.proj == 1 || d.proj == 2)) d.plon = d.clon;
  skip_line(r.fp);
  return kOk;
}

Status check_size(Reader &r, const Domain &d, long long *count) {
  if (d.nx < 1 || d.ny < 1 ||
      static_cast<long long>(d.nx) * static_cast<long long>(d.ny) > GRD_MAX_POINTS) {
    MESS_print(M_WARN,
               "GRD_read: Grid size %d x %d out of range (1 to %ld points) in grid %d of %s\n",
               d.nx, d.ny, GRD_MAX_POINTS, r.grid_no, shown(r.slot));
    return kBad;
  }
  *count = static_cast<long long>(d.nx) * d.ny;
  return kOk;
}

Status too_short(Reader &r, long long count) {
  MESS_print(M_WARN, "GRD_read: Grid %d of %s is larger (%lld values) than its file holds\n",
             r.grid_no, shown(r.slot), count);
  return kBad;
}

// Reads count text numbers (or passes over them when values is null). In a
// grid file the last value must be followed by its line end: a number cut by
// the end of the file cannot be told from a whole one.
Status read_text_values(Reader &r, FILE *fp, long long count, std::vector<float> *values,
                        bool need_end = true) {
  const long left = remaining_bytes(fp);
  if (left >= 0 && 2 * count - 1 > left) return too_short(r, count);
  if (values)
    values->reserve(count < static_cast<long long>(kChunk) ? static_cast<size_t>(count) : kChunk);
  std::string tok;
  bool ended = false;
  for (long long k = 0; k < count; ++k) {
    if (!read_token(fp, tok, &ended) || (ended && need_end)) {
      MESS_print(M_WARN, "GRD_read: Grid %d of %s ends after %lld of its %lld values\n", r.grid_no,
                 shown(r.slot), k, count);
      return kBad;
    }
    float v;
    if (!to_float(tok, &v)) {
      MESS_print(M_WARN, "GRD_read: Value %lld of grid %d of %s is not a number: %.20s\n", k,
                 r.grid_no, shown(r.slot), tok.c_str());
      return kBad;
    }
    if (values) values->push_back(v);
  }
  return kOk;
}

float from_big_endian(const unsigned char *b) {
  const uint32_t u = (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
                     (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

// Reads count 4-byte floats (big-endian, or the host's order).
Status read_binary_values(Reader &r, FILE *fp, long long count, bool big_endian,
                          std::vector<float> *values) {
  const long left = remaining_bytes(fp);
  if (left >= 0 && 4 * count > left) return too_short(r, count);
  if (!values && left >= 0) {
    if (std::fseek(fp, static_cast<long>(4 * count), SEEK_CUR) != 0) return too_short(r, count);
    return kOk;
  }
  std::vector<unsigned char> buf;
  long long done = 0;
  while (done < count) {
    const size_t step =
        count - done < static_cast<long long>(kChunk) ? static_cast<size_t>(count - done) : kChunk;
    buf.resize(step * 4);
    if (std::fread(buf.data(), 4, step, fp) != step) {
      MESS_print(M_WARN, "GRD_read: Grid %d of %s ends within its %lld binary values\n", r.grid_no,
                 shown(r.slot), count);
      return kBad;
    }
    if (values) {
      for (size_t k = 0; k < step; ++k) {
        float v;
        if (big_endian)
          v = from_big_endian(&buf[4 * k]);
        else
          std::memcpy(&v, &buf[4 * k], sizeof v);
        if (!std::isfinite(v)) return r.bad("A binary value is not a finite number");
        values->push_back(v);
      }
    }
    done += static_cast<long long>(step);
  }
  return kOk;
}

// Version 4: the values lie in another file named on a reference line.
Status read_reference(Reader &r, const std::string &line, const Domain &d, long long count,
                      std::vector<float> *values) {
  char kind[64], file[161];
  long offset = 0;
  int coldir = 0, rowdir = 0;
  if (std::sscanf(line.c_str(), "%63s %160s %ld %d %d", kind, file, &offset, &coldir, &rowdir) !=
          5 ||
      offset < 0)
    return r.bad("Bad value file reference");
  if (!values) return kOk;
  // A referenced name never runs a command nor means a standard stream.
  if (file[0] == '|' || FILE_is_stdio(file)) return r.bad("Value file reference not a file");
  std::string path = file;
  if (path[0] != '/' && !r.slot.dir.empty()) path = r.slot.dir + "/" + path;
  // Closed however the reading ends, memory running out included.
  std::unique_ptr<FILE, int (*)(FILE *)> hold(kav::fault::open(path.c_str(), "rb"), &std::fclose);
  FILE *const vf = hold.get();
  if (!vf) {
    MESS_print(M_WARN, "GRD_read: Unable to open grid file: %s\n", path.c_str());
    return kBad;
  }
  std::vector<float> raw;
  Status st = kOk;
  if (std::fseek(vf, offset, SEEK_SET) != 0 || remaining_bytes(vf) < 0)
    st = too_short(r, count);
  else if (kind[0] == 'A')
    st = read_text_values(r, vf, count, &raw, false);
  else
    st = read_binary_values(r, vf, count, false, &raw);
  const bool failed = std::ferror(vf) != 0;
  hold.reset();
  if (failed) {
    MESS_print(M_WARN, "GRD_read: Unable to read grid file: %s\n", path.c_str());
    return kBad;
  }
  if (st != kOk) return st;
  values->assign(static_cast<size_t>(count), KAV_MISSING);
  const size_t nx = static_cast<size_t>(d.nx), ny = static_cast<size_t>(d.ny);
  for (size_t k = 0; k < raw.size(); ++k) {
    const size_t row = k / nx, col = k % nx;
    const size_t j = rowdir == 1 ? row : ny - 1 - row;
    const size_t i = coldir == 1 ? col : nx - 1 - col;
    (*values)[i + nx * j] = raw[k];
  }
  return kOk;
}

// Reads the grid that begins at the stream position.
Status read_grid(Reader &r, GRD_report *grd, bool header_only) {
  Slot &s = r.slot;
  FILE *fp = r.fp;
  std::string label, line;
  if (s.pending) {
    label = s.pending_label;
    s.pending = false;
  } else {
    if (!read_line(fp, label)) return kEnd;
    while (begins(label, "KAVGRID")) {
      if (begins(label, "KAVGRID4")) s.rec.itype = label.size() > 8 && label[8] == 'B' ? 3 : 0;
      if (!read_line(fp, label)) return kEnd;
    }
  }
  if (!read_line(fp, line)) return r.bad("No info line after the label");
  int version = 0;
  std::string info = line;
  size_t k = 0;
  while (k < line.size() && k < 9 && line[k] >= '0' && line[k] <= '9') ++k;
  if (k > 0 && k < line.size() && line[k] == '-') {
    version = std::atoi(line.substr(0, k).c_str());
    info = line.substr(k + 1);
  }
  if (s.rec.type == GRD_HEADER) version = s.rec.itype;

  grd->source = 1;
  grd->version = version;
  grd->model = 1;
  grd->type = grd->ltype = grd->level = grd->time = grd->var = 0;
  grd->units[0] = '\0';
  copy_text(grd->datim, sizeof grd->datim, label);
  copy_text(grd->info, sizeof grd->info, info);
  if (DATE_decode_label(grd->datim, &grd->date) != 0) DATE_init(&grd->date);
  clear_domain(grd->domain);

  if (version >= 2 && version <= 4) {
    if (!read_line(fp, line)) return r.bad("Keys line missing");
    if (!parse_keys(line, grd)) return r.bad("Bad keys line");
    grd->version = version;
  }
  std::string tok;
  if (!read_token(fp, tok)) return r.bad("Domain missing");
  if (s.rec.type == GRD_HEADER) {
    if (!decode_domain_text(tok, grd->domain)) return r.bad("Bad domain text");
    skip_line(fp);
  } else {
    if (tok[0] == ':') {
      copy_text(grd->units, sizeof grd->units, tok.substr(1));
      if (!read_token(fp, tok)) return r.bad("Domain missing");
    }
    const Status st = parse_domain(r, grd, tok);
    if (st != kOk) return st;
  }
  long long count = 0;
  if (check_size(r, grd->domain, &count) != kOk) return kBad;

  std::vector<float> values;
  std::vector<float> *out = header_only ? nullptr : &values;
  Status st;
  try {
    if (version == 3) {
      st = read_binary_values(r, fp, count, true, out);
      if (st == kOk) {
        const int c = std::getc(fp);  // the line end after the values
        if (c != '\n' && c != EOF) std::ungetc(c, fp);
      }
    } else if (version == 4) {
      if (!read_line(fp, line)) return r.bad("Value file reference missing");
      st = read_reference(r, line, grd->domain, count, out);
    } else {
      st = read_text_values(r, fp, count, out);
      if (st == kOk) skip_line(fp);
    }
  } catch (const std::bad_alloc &) {
    return r.bad("Out of memory for the values");
  }
  if (st != kOk) return st;
  if (!header_only && !store_values(grd, values.data(), values.size()))
    return r.bad("Out of memory for the values");
  return kOk;
}

}  // namespace

int text_detect_plain(const unsigned char *head, size_t len) {
  return len >= 1 && (head[0] == ' ' || (head[0] >= '0' && head[0] <= '9')) ? 1 : 0;
}

int text_detect_header(const unsigned char *head, size_t len) {
  return len >= 8 && std::memcmp(head, "KAVGRID4", 8) == 0 ? 1 : 0;
}

int text_detect_text(const unsigned char *head, size_t len) {
  return len >= 7 && std::memcmp(head, "KAVGRID", 7) == 0 ? 1 : 0;
}

int text_getinfo(Slot &s, GRD_info *info) {
  FILE *fp = s.rec.file;
  if (!fp) return -1;
  if (!s.stdio && !seek(fp, 0)) return -1;
  std::string line;
  if (s.rec.type == GRD_TEXT || s.rec.type == GRD_BINARY) {
    read_line(fp, line);
  } else if (s.rec.type == GRD_HEADER) {
    read_line(fp, line);
    s.rec.itype = line.size() > 8 && line[8] == 'B' ? 3 : 0;
  }
  s.data_start = s.stdio ? 0 : tell(fp);
  std::string label;
  const bool any = read_line(fp, label);
  copy_text(info->datim, sizeof info->datim, label);
  copy_text(s.rec.datim, sizeof s.rec.datim, label);
  if (DATE_decode_label(s.rec.datim, &info->date) != 0) DATE_init(&info->date);
  s.rec.date = info->date;
  info->grid_type = 0;
  if (s.stdio) {
    s.pending = any;
    s.pending_label = label;
  } else if (!seek(fp, s.data_start)) {
    return -1;
  }
  shared().cur_pos = 0;
  shared().new_pos = -1;
  s.rec.num = 0;
  s.pos = Position{};
  s.pos.next_offset = s.data_start;
  return 0;
}

int text_read(Slot &s, GRD_report *grd, int rep_type, int *grdnum) {
  FILE *fp = s.rec.file;
  if (!fp) return -1;
  Position &p = s.pos;
  int want = *grdnum < 0 ? p.next_index : *grdnum;
  int index;
  if (s.stdio) {
    if (want < p.next_index) {
      MESS_print(M_WARN, "GRD_read: Standard input cannot go back to grid %d\n", want);
      s.failed = true;
      return -1;
    }
    index = p.next_index;
  } else if (want == p.last_index) {
    index = want;
    if (!seek(fp, p.last_offset)) return -1;
  } else if (want >= p.next_index) {
    index = p.next_index;
    if (!seek(fp, p.next_offset)) return -1;
  } else {
    index = 0;
    if (!seek(fp, s.data_start)) return -1;
  }
  GRD_report skip;
  GRD_init(&skip);
  while (index < want) {  // pass over the grids before the one asked for
    Reader r{s, fp, index};
    const Status skipped = read_grid(r, &skip, true);
    if (skipped != kOk) {
      s.failed = skipped == kBad;
      return -1;
    }
    ++index;
    p.next_index = index;
    p.next_offset = s.stdio ? 0 : tell(fp);
  }
  const long start = s.stdio ? 0 : tell(fp);
  Reader r{s, fp, want};
  const bool header_only = rep_type == 1 || rep_type == 2;
  const Status st = read_grid(r, grd, header_only);
  if (st != kOk) {
    s.failed = st == kBad;
    if (!header_only) {
      std::free(grd->grid);
      grd->grid = nullptr;
    }
    return -1;
  }
  p.last_index = want;
  p.last_offset = start;
  p.next_index = want + 1;
  p.next_offset = s.stdio ? 0 : tell(fp);
  shared().cur_pos = start;
  if (!s.stdio) shared().new_pos = p.next_offset;
  s.rec.num = want;
  *grdnum = want;
  return 0;
}

int text_rewind(Slot &s) {
  if (s.stdio || !s.rec.file) return 0;
  if (s.access == 0 && !seek(s.rec.file, s.data_start)) return -1;
  s.pos = Position{};
  s.pos.next_offset = s.data_start;
  s.pending = false;
  s.rec.num = 0;
  shared().new_pos = -1;
  return 0;
}

int text_putinfo(Slot &s, const GRD_info *info) {
  (void)info;
  if (s.rec.type == GRD_PLAIN || s.access == 2) return 0;
  std::fputs("KAVGRID\n", s.rec.file);
  return s.out.check("GRD_putinfo") ? 0 : -1;
}

namespace {

// A text field written on one line: cut at a line end.
std::string one_line(const char *text, size_t room) {
  std::string s(text, strnlen(text, room - 1));
  const size_t e = s.find_first_of("\r\n");
  if (e != std::string::npos) s.resize(e);
  return s;
}

void put_big_endian(float v, unsigned char *b) {
  uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  b[0] = static_cast<unsigned char>(u >> 24);
  b[1] = static_cast<unsigned char>(u >> 16);
  b[2] = static_cast<unsigned char>(u >> 8);
  b[3] = static_cast<unsigned char>(u);
}

bool missing(float v) { return v == KAV_MISSING; }

}  // namespace

int text_write(Slot &s, GRD_report *grd, int rep_type, int *grd_num) {
  (void)rep_type;
  (void)grd_num;
  FILE *fp = s.rec.file;
  const Domain &d = grd->domain;
  if (d.nx < 1 || d.ny < 1 ||
      static_cast<long long>(d.nx) * static_cast<long long>(d.ny) > GRD_MAX_POINTS) {
    MESS_print(M_WARN, "GRD_write: Grid size %d x %d out of range: %s\n", d.nx, d.ny, shown(s));
    return -1;
  }
  if (d.proj < 1 || d.proj > 4) {
    MESS_print(M_WARN, "GRD_write: Projection %d has no form in grid files of format %d: %s\n",
               d.proj, s.rec.type, shown(s));
    return -1;
  }
  for (size_t i = 0; i < sizeof grd->units && grd->units[i]; ++i)
    if (is_space(static_cast<unsigned char>(grd->units[i]))) grd->units[i] = '_';
  grd->units[sizeof grd->units - 1] = '\0';
  const bool binary = s.rec.type == GRD_BINARY;
  std::fprintf(fp, "%s\n", one_line(grd->datim, sizeof grd->datim).c_str());
  std::fprintf(fp, "%d-%s\n", binary ? 3 : 2, one_line(grd->info, sizeof grd->info).c_str());
  std::fprintf(fp, "%d %d %d %d %d %d %d %d", grd->source, grd->version, grd->model, grd->type,
               grd->ltype, grd->level, grd->time, grd->var);
  if (grd->units[0]) std::fprintf(fp, ":%s", grd->units);
  std::fputc('\n', fp);
  const double plat = d.plat, plon = d.plon;
  switch (d.proj) {
    case 2:
      std::fputs("LL ", fp);
      break;
    case 3:
      std::fputs("ME ", fp);
      break;
    case 1:
      if (!missing(d.plon) && d.plon != d.clon)
        std::fprintf(fp, "PS:%f ", plon);
      else
        std::fputs("PS ", fp);
      break;
    default:
      if (!missing(d.param[0]))
        std::fprintf(fp, "LC:%f:%f:%f:%f:%f ", plat, plon, static_cast<double>(d.param[0]),
                     static_cast<double>(d.param[1]), static_cast<double>(d.param[2]));
      else if (!missing(d.plon))
        std::fprintf(fp, "LC:%f ", plon);
      else
        std::fputs("LC ", fp);
  }
  std::fprintf(fp, "%f %f %f %f %d %d\n", static_cast<double>(d.clat), static_cast<double>(d.clon),
               static_cast<double>(d.dx), static_cast<double>(d.dy), d.nx, d.ny);
  const size_t count = static_cast<size_t>(d.nx) * static_cast<size_t>(d.ny);
  const size_t nx = static_cast<size_t>(d.nx);
  if (binary) {
    unsigned char b[4];
    for (size_t k = 0; k < count; ++k) {
      const float v = std::isfinite(grd->grid[k]) ? grd->grid[k] : KAV_MISSING;
      put_big_endian(v, b);
      std::fwrite(b, 1, 4, fp);
    }
    std::fputc('\n', fp);
  } else {
    const std::string &user = shared().format;
    const char *format = user.empty() ? "%14.8e" : user.c_str();
    for (size_t k = 0; k < count; ++k) {
      const float v = std::isfinite(grd->grid[k]) ? grd->grid[k] : KAV_MISSING;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      std::fprintf(fp, format, static_cast<double>(v));
#pragma GCC diagnostic pop
      std::fputc(k % nx == nx - 1 ? '\n' : ' ', fp);
    }
  }
  if (!s.out.check("GRD_write")) return -1;
  ++s.rec.num;
  return 0;
}

}  // namespace kav::grd

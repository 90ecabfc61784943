// The station file and its reader: one open file per process, read line by
// line with bounds; lines that are not stations are skipped and counted.
#include <kav/cty_read.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "base/fault.hpp"
#include "base/tools_int.hpp"
#include "console/files_out.hpp"
#include "console/guard.hpp"
#include "geo/cty_int.hpp"

namespace {

constexpr size_t kMaxLine = 255;      // longest line read as a station
constexpr long kLineBytes = 59;       // nominal bytes a line, for the station estimate
constexpr int kMaxEstimate = 4000;    // most stations estimated
constexpr float kHighestElev = 9000;  // above: the elevation is missing
constexpr M_type kSearchInfo = 0xF00;

// The open station file of the process.
struct CityFile {
  FILE *city_file = nullptr;          // the open stream, null when none
  std::unique_ptr<kav::OutFile> out;  // writing: replaces the file whole at the close
  int file_type = 0;                  // the type given at open
  int cty_fd = -1;                    // its descriptor
  bool writing = false;               // opened for writing
  std::string name;                   // its name, for messages
  long line_no = 0;                   // lines read since the open or the last rewind
  int bad_lines = 0;                  // lines skipped as not stations since the open
  bool counted = false;               // the count of skipped lines was reported
  bool read_failed = false;           // a read failed since the open or the last rewind
};

CityFile &state() {
  static CityFile s;
  return s;
}

bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string> split_fields(const std::string &line) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && is_blank(static_cast<unsigned char>(line[i]))) ++i;
    const size_t start = i;
    while (i < line.size() && !is_blank(static_cast<unsigned char>(line[i]))) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

bool to_float(const std::string &s, float lo, float hi, float *out) {
  const char *p = s.c_str();
  char *end = nullptr;
  errno = 0;
  const double v = std::strtod(p, &end);
  if (end == p || *end || errno == ERANGE || !std::isfinite(v) || v < lo || v > hi) return false;
  *out = static_cast<float>(v);
  return true;
}

bool to_int(const std::string &s, long lo, long hi, int *out) {
  const char *p = s.c_str();
  char *end = nullptr;
  errno = 0;
  const long v = std::strtol(p, &end, 10);
  if (end == p || *end || errno == ERANGE || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

// Fills *city from the fields of one line; the number of fields, or 0 with
// why set when the line is not a station.
int parse_station(const std::vector<std::string> &f, CTY_data *city, const char **why) {
  if (f.size() < 9 || f.size() > 10) {
    *why = f.size() < 9 ? "too few fields" : "too many fields";
    return 0;
  }
  if (f[0].size() > 20 || f[1].size() > 2 || f[2].size() > 2 || f[3].size() > 9) {
    *why = "a name, state, country or identifier too long";
    return 0;
  }
  const std::string &p = f[4];
  size_t at = 0;
  const bool mos = !p.empty() && p[0] == '*';
  if (mos) ++at;
  if (at >= p.size() || p[at] < '0' || p[at] > '9') {
    *why = "a priority that is not a digit";
    return 0;
  }
  const int prior = p[at] - '0';
  ++at;
  const bool ua = at < p.size() && p[at] == '*';
  if (ua) ++at;
  if (at != p.size()) {
    *why = "a priority that is not a digit";
    return 0;
  }
  float lat, lon, el;
  int wmo, num = 0;
  if (!to_float(f[5], -90, 90, &lat) || !to_float(f[6], -360, 360, &lon)) {
    *why = "a latitude or longitude that is not a location";
    return 0;
  }
  if (!to_float(f[7], -1e6f, 1e6f, &el)) {
    *why = "an elevation that is not a number";
    return 0;
  }
  if (!to_int(f[8], -99999, 999999, &wmo) ||
      (f.size() == 10 && !to_int(f[9], -2147483647L, 2147483647L, &num))) {
    *why = "a WMO or auxiliary number that is not a whole number";
    return 0;
  }
  std::memcpy(city->name, f[0].c_str(), f[0].size() + 1);
  std::memcpy(city->state, f[1].c_str(), f[1].size() + 1);
  std::memcpy(city->region, f[2].c_str(), f[2].size() + 1);
  std::memcpy(city->id, f[3].c_str(), f[3].size() + 1);
  city->prior = prior;
  city->mos = mos ? '*' : ' ';
  city->ua = ua ? '*' : ' ';
  city->lat = lat;
  city->lon = lon;
  city->el = el > kHighestElev ? KAV_MISSING : el;
  city->wmo = wmo;
  city->num = num;
  return static_cast<int>(f.size());
}

bool is_open(int city_fd) {
  const CityFile &s = state();
  return s.city_file && city_fd == s.cty_fd;
}

// Closes the open file; false when a file written could not be put in place.
bool close_open() {
  CityFile &s = state();
  bool ok = true;
  if (s.out)
    ok = s.out->close("CTY_close");
  else if (s.city_file)
    FILE_close(s.city_file);
  s = CityFile{};
  return ok;
}

// The full name of a database: file_path (the package's data directory when
// unset) joined to the name.
std::string database_name(const char *file) {
  const char *path = RES_get("file_path");
#ifdef KAV_DATA_DIR
  if (!path || !path[0]) path = KAV_DATA_DIR;
#endif
  char name[FILE_NAME_LEN];
  if (!FILE_add_path(path, file, name)) throw std::bad_alloc();
  return name;
}

// A text that is not a station identifier ('-' second) matches none.
bool has_id(const char *id) { return id[0] && id[1] != '-'; }

}  // namespace

namespace kav_cty {

float no_negative_zero(float v, float half_unit) { return std::fabs(v) < half_unit ? 0.0f : v; }

std::string format_line(const CTY_data &c) {
  auto text = [](const char *s, const char *none) {
    std::string t = s && *s ? s : none;
    for (char &ch : t)
      if (is_blank(static_cast<unsigned char>(ch)) || ch == '\n') ch = '_';
    return t;
  };
  std::string prior;
  if (c.mos == '*') prior += '*';
  prior += static_cast<char>('0' + (c.prior < 0 ? 0 : c.prior > 9 ? 9 : c.prior));
  if (c.ua == '*') prior += '*';
  const bool el_missing = c.el == KAV_MISSING || !std::isfinite(c.el);
  char buf[160];
  std::snprintf(buf, sizeof buf, "%-20.20s %-2.2s %-2.2s %-9.9s %-3s %8.3f %9.3f %5.0f %5d %d\n",
                text(c.name, "-").c_str(), text(c.state, "--").c_str(),
                text(c.region, "--").c_str(), text(c.id, "--").c_str(), prior.c_str(),
                static_cast<double>(no_negative_zero(c.lat, 0.0005f)),
                static_cast<double>(no_negative_zero(c.lon, 0.0005f)),
                el_missing ? -9999.0 : static_cast<double>(no_negative_zero(c.el, 0.5f)), c.wmo,
                c.num);
  return buf;
}

bool read_failed() { return state().read_failed; }

}  // namespace kav_cty

extern "C" {

int CTY_data_init(CTY_data *data) KAV_NOEXCEPT {
  if (!data) return -1;
  std::memset(data, 0, sizeof *data);
  data->mos = ' ';
  data->ua = ' ';
  data->lat = data->lon = data->el = KAV_MISSING;
  data->wmo = KAV_IMISSING;
  return 0;
}

static int cty_open_body(const char *filename, int f_access, int f_type) {
  if (!filename || (f_access != 0 && f_access != 1)) return -1;
  if (filename[0] == '|') {
    MESS_print(M_WARN, "CTY_open: Not a station file: %s\n", filename);
    return -1;
  }
  close_open();
  // The name is copied before the file is opened: nothing after the open
  // can run out of memory and leave the file open behind a failure.
  std::string name = filename;
  std::unique_ptr<kav::OutFile> out;
  FILE *fp = nullptr;
  if (f_access == 0) {
    fp = FILE_open(filename, "r");
    if (!fp) {
      MESS_print(M_WARN, "CTY_open: Unable to open station file: %s\n", filename);
      return -1;
    }
  } else {
    // Written to a temporary that replaces the old file at the close.
    out = std::make_unique<kav::OutFile>();
    if (!out->open("CTY_open", "station file", filename, false)) return -1;
    fp = out->stream();
  }
  CityFile &s = state();
  s.out = std::move(out);
  s.city_file = fp;
  s.file_type = f_type;
  s.cty_fd = kav::fault::descriptor(fp);
  s.writing = f_access == 1;
  s.name = std::move(name);
  return s.cty_fd;
}

int CTY_open(const char *filename, int f_access, int f_type) KAV_NOEXCEPT {
  return kav::guarded("CTY_open", -1, [&] { return cty_open_body(filename, f_access, f_type); });
}

static int cty_read_body(int city_fd, CTY_data *city) {
  if (!is_open(city_fd) || !city) return -1;
  CityFile &s = state();
  if (s.writing) return -1;
  CTY_data_init(city);
  city->wmo = KAV_IMISSING;
  std::string line;
  bool longer;
  while (
      kav::text::read_line(s.city_file, line, kMaxLine, kav::text::CarriageReturn::Keep, &longer)) {
    ++s.line_no;
    const std::vector<std::string> fields = split_fields(line);
    if (fields.empty() && !longer) continue;  // a blank line
    const char *why = "a line too long";
    const int n = longer ? 0 : parse_station(fields, city, &why);
    if (n > 0) return n;
    CTY_data_init(city);
    if (s.bad_lines++ == 0)
      MESS_print(M_WARN, "CTY_read: Skipping line %ld of %s, not a station (%s)\n", s.line_no,
                 s.name.c_str(), why);
  }
  if (std::ferror(s.city_file)) {
    // The stations past the failure are unknown: no end is reported.
    if (!s.read_failed)
      MESS_print(M_WARN, "CTY_read: Unable to read station file: %s\n", s.name.c_str());
    s.read_failed = true;
    CTY_data_init(city);
    return -2;
  }
  if (s.bad_lines > 1 && !s.counted)
    MESS_print(M_WARN, "CTY_read: %d lines of %s skipped, not stations\n", s.bad_lines,
               s.name.c_str());
  s.counted = true;
  return -1;
}

int CTY_read(int city_fd, CTY_data *city) KAV_NOEXCEPT {
  return kav::guarded("CTY_read", -1, [&] { return cty_read_body(city_fd, city); });
}

static int cty_write_body(int city_fd, const CTY_data *city) {
  if (!is_open(city_fd) || !city || !state().writing) return -1;
  const std::string line = kav_cty::format_line(*city);
  CityFile &s = state();
  std::fputs(line.c_str(), s.city_file);
  return s.out && s.out->check("CTY_write") ? 0 : -1;
}

int CTY_write(int city_fd, const CTY_data *city) KAV_NOEXCEPT {
  return kav::guarded("CTY_write", -1, [&] { return cty_write_body(city_fd, city); });
}

static int cty_print_body(M_type mess, const CTY_data *data) {
  if (!data) return -1;
  MESS_print(mess, "%s", kav_cty::format_line(*data).c_str());
  return 0;
}

int CTY_print(M_type mess, const CTY_data *data) KAV_NOEXCEPT {
  return kav::guarded("CTY_print", -1, [&] { return cty_print_body(mess, data); });
}

int CTY_getinfo(int city_fd, CTY_info *info) KAV_NOEXCEPT {
  if (CTY_rewind(city_fd) != 0) return -1;
  if (info) info->dtype = state().file_type;
  return 0;
}

int CTY_rewind(int city_fd) KAV_NOEXCEPT {
  if (!is_open(city_fd)) return -1;
  std::clearerr(state().city_file);
  std::rewind(state().city_file);
  state().line_no = 0;
  state().read_failed = false;
  return 0;
}

int CTY_close(int city_fd) KAV_NOEXCEPT {
  if (!is_open(city_fd)) return -1;
  return close_open() ? 0 : -1;
}

static int cty_open_file_body(const char *city_file, int *num_stats) {
  if (num_stats) *num_stats = 0;
  const char *res = RES_get("city_file");
  const char *file = res && *res ? res : city_file ? city_file : CTY_DEFAULT_FILE;
  if (stricmp(file, "none") == 0) return -1;
  if (FILE_is_stdio(file) || file[0] == '|') {
    MESS_print(M_WARN, "CTY_open_file: Not a station file: %s\n", file);
    return -1;
  }
  const std::string name = database_name(file);
  const int fd = FILE_is_file(name.c_str()) ? CTY_open(name.c_str(), 0, 0) : -1;
  if (fd < 0) {
    MESS_print(M_WARN, "CTY_open_file: Database file not found: %s\n", name.c_str());
    return -1;
  }
  if (num_stats) {
    const long est = FILE_size(name.c_str()) / kLineBytes;
    *num_stats = static_cast<int>(est < 1 ? 1 : est > kMaxEstimate ? kMaxEstimate : est);
  }
  return fd;
}

int CTY_open_file(const char *city_file, int *num_stats) KAV_NOEXCEPT {
  return kav::guarded("CTY_open_file", -1,
                      [&] { return cty_open_file_body(city_file, num_stats); });
}

int CTY_get(const char *city_file, const char *id, CTY_data *data) KAV_NOEXCEPT {
  if (!id || !data) return 0;
  const int fd = CTY_open_file(city_file, nullptr);
  if (fd < 0) return 0;
  MESS_print(kSearchInfo, "Searching the city database file for: %s ...\n", id);
  CTY_rewind(fd);
  bool found = false;
  while (!found && CTY_read(fd, data) > 0) {
    char wmo[16];
    std::snprintf(wmo, sizeof wmo, "%05d", data->wmo);
    found = (has_id(data->id) && stricmp(id, data->id) == 0) || stricmp(id, data->name) == 0 ||
            (data->wmo >= 0 && data->wmo != 99999 && stricmp(id, wmo) == 0);
  }
  CTY_close(fd);
  return found ? 1 : 0;
}

int CTY_get_loc(const char *city_file, const char *id, float *lat, float *lon) KAV_NOEXCEPT {
  CTY_data d;
  if (!CTY_get(city_file, id, &d)) {
    MESS_print(M_WARN, "CTY_get_loc: Station %s not found in %s\n", id ? id : "(null)",
               city_file && *city_file ? city_file : CTY_DEFAULT_FILE);
    return 0;
  }
  if (lat) *lat = d.lat;
  if (lon) *lon = d.lon;
  return 1;
}

int CTY_get_prior(void) KAV_NOEXCEPT {
  const char *v = RES_get("stat_prior");
  int prior = 10;
  if (!v || !*v || RES_getval("stat_prior", &prior, CV_int) == 0) return 10;
  return prior;
}

}  // extern "C"

namespace kav_cty {

int read_record(int city_fd, CTY_data *city) { return cty_read_body(city_fd, city); }

}  // namespace kav_cty

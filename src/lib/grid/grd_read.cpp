// The table of open grid files and the calls every format shares: handles,
// detection, opening and dispatch to the format's row of the table.
#include <kav/files.h>
#include <kav/grd_read.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <sys/stat.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/fault.hpp"
#include "console/guard.hpp"
#include "grid/grd_read_int.hpp"

namespace kav::grd {

namespace {

// Every format the grid calls know, in the order detection tries them.
constexpr Format kFormats[] = {
    {GRD_PLAIN, "plain", true, text_detect_plain, nullptr, stream_open, text_getinfo, text_read,
     text_putinfo, text_write, text_rewind, stream_close},
    {GRD_HEADER, "header", false, text_detect_header, nullptr, stream_open, text_getinfo, text_read,
     nullptr, nullptr, text_rewind, stream_close},
    {GRD_TEXT, "text", true, text_detect_text, nullptr, stream_open, text_getinfo, text_read,
     text_putinfo, text_write, text_rewind, stream_close},
    {GRD_BINARY, "binary", true, nullptr, nullptr, stream_open, text_getinfo, text_read,
     text_putinfo, text_write, text_rewind, stream_close},
    {GRD_NETCDF, "netcdf", true, cdf_detect, nullptr, cdf_open, cdf_getinfo, cdf_read, cdf_putinfo,
     cdf_write, cdf_rewind, cdf_close},
    {GRD_GRIB, "grib", true, grib_detect, grib_detect_late, grib_open, grib_getinfo, grib_read,
     nullptr, grib_write, grib_rewind, stream_close},
    {GRD_CHAR, "char", false, char_detect, nullptr, stream_open, char_getinfo, char_read, nullptr,
     nullptr, char_rewind, stream_close},
};

constexpr size_t kDetectBytes = 200;
// The late tests look further: a GRIB message may sit behind a long header.
constexpr size_t kDetectLateBytes = 65536;

// The open files, one per handle.
struct GridTable {
  std::array<std::unique_ptr<Slot>, GRD_MAX_FILES> slots;  // null: free
  SharedPos pos;                                           // shared position
};

GridTable &table() {
  static GridTable t;
  return t;
}

Slot *slot_of(int grd_fd) {
  if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return nullptr;
  return table().slots[static_cast<size_t>(grd_fd)].get();
}

const char *shown(const char *name) { return name && name[0] ? name : "-"; }

// The directory part of a file name ("" for none).
std::string dir_of(const char *name) {
  const char *slash = std::strrchr(name, '/');
  return slash ? std::string(name, static_cast<size_t>(slash - name)) : std::string();
}

int detect_bytes(const unsigned char *head, size_t len) {
  size_t count = 0;
  const Format *f = formats(&count);
  for (size_t i = 0; i < count; ++i)
    if (f[i].detect && f[i].detect(head, len < kDetectBytes ? len : kDetectBytes)) return f[i].code;
  for (size_t i = 0; i < count; ++i)
    if (f[i].detect_late && f[i].detect_late(head, len)) return f[i].code;
  return -1;
}

bool valid_value_format(const char *s) {
  if (std::strlen(s) > GRD_FORMAT_LEN) return false;
  int conversions = 0;
  for (const char *p = s; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p && std::strchr("-+ #0", *p)) ++p;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    if (*p == '.') {
      ++p;
      while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    }
    if (!*p || !std::strchr("eEfFgG", *p)) return false;
    ++conversions;
  }
  return conversions == 1;
}

}  // namespace

const Format *formats(size_t *count) {
  if (count) *count = sizeof kFormats / sizeof kFormats[0];
  return kFormats;
}

const Format *find_format(int code) {
  for (const Format &f : kFormats)
    if (f.code == code) return &f;
  return nullptr;
}

SharedPos &shared() { return table().pos; }

void copy_text(char *dst, size_t room, const std::string &src) {
  const size_t n = src.size() < room - 1 ? src.size() : room - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

bool store_values(GRD_report *grd, const float *values, size_t count) {
  auto *grid = static_cast<float *>(std::malloc((count ? count : 1) * sizeof(float)));
  if (!grid) return false;
  if (count) std::memcpy(grid, values, count * sizeof(float));
  std::free(grd->grid);
  grd->grid = grid;
  return true;
}

long tell(FILE *fp) { return fp ? std::ftell(fp) : -1; }

bool seek(FILE *fp, long offset) {
  return fp && offset >= 0 && std::fseek(fp, offset, SEEK_SET) == 0;
}

long remaining_bytes(FILE *fp) {
  if (!fp) return -1;
  struct stat st {};
  if (fstat(kav::fault::descriptor(fp), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  const long here = std::ftell(fp);
  if (here < 0) return -1;
  return st.st_size > here ? static_cast<long>(st.st_size) - here : 0;
}

namespace {

// True when a read of the slot's grid file (or of its GRIB index) has failed:
// what the format reader made of the bytes is not the file's content. The
// mark stays until the file is closed.
bool read_failed(const Slot &slot) {
  if (slot.access != 0) return false;
  return (slot.rec.file && std::ferror(slot.rec.file)) ||
         (slot.rec.hfile && std::ferror(slot.rec.hfile));
}

}  // namespace

int stream_open(Slot &slot, const char *name, int access) {
  if (access == 0) {
    FILE *fp = FILE_open(name, "r");
    if (!fp) {
      MESS_print(M_WARN, "GRD_open: Unable to open grid file: %s\n", shown(name));
      return -1;
    }
    slot.rec.file = fp;
    slot.rec.fd = 1;
    return 0;
  }
  // Written to a temporary that replaces the file at the close; appending
  // copies the old grids into it first.
  if (!slot.out.open("GRD_open", "grid file", name, access == 2)) return -1;
  slot.appending_content = slot.out.had_content();
  slot.rec.file = slot.out.stream();
  slot.rec.fd = 1;
  if (access == 2 && !slot.appending_content &&
      (slot.rec.type == GRD_TEXT || slot.rec.type == GRD_BINARY)) {
    std::fputs("KAVGRID\n", slot.rec.file);
    if (!slot.out.check("GRD_open")) return -1;
  }
  return 0;
}

int stream_close(Slot &slot) {
  int result = 0;
  if (slot.out.is_open()) {
    if (!slot.out.close("GRD_close")) result = -1;
  } else if (slot.rec.file && !slot.stdio && FILE_close(slot.rec.file) != 0) {
    result = -1;
  }
  if (slot.rec.hfile) FILE_close(slot.rec.hfile);
  slot.rec.file = nullptr;
  slot.rec.hfile = nullptr;
  return result;
}

}  // namespace kav::grd

using namespace kav::grd;

extern "C" {

int GRD_init(GRD_report *grd) KAV_NOEXCEPT {
  if (!grd) return -1;
  std::memset(grd, 0, sizeof *grd);
  grd->time = grd->ltype = grd->level = grd->var = KAV_IMISSING;
  DATE_init(&grd->date);
  Domain &d = grd->domain;
  d.proj = d.nx = d.ny = KAV_IMISSING;
  d.plat = d.plon = d.clat = d.clon = d.dx = d.dy = KAV_MISSING;
  for (float &p : d.param) p = KAV_MISSING;
  d.ellipse = 0;
  return 0;
}

static int grd_chktype_body(const char *filename) {
  if (!filename) return -1;
  // The buffer comes first: nothing after the open needs memory.
  std::vector<unsigned char> head(kDetectLateBytes);
  FILE *fp = FILE_open(filename, "r");
  if (!fp) return -1;
  const size_t len = std::fread(head.data(), 1, head.size(), fp);
  const bool failed = len < head.size() && std::ferror(fp);
  if (fp != stdin) FILE_close(fp);
  if (failed) {
    MESS_print(M_WARN, "GRD_chktype: Unable to read grid file: %s\n", shown(filename));
    return -1;
  }
  return detect_bytes(head.data(), len);
}

int GRD_chktype(const char *filename) KAV_NOEXCEPT {
  return kav::guarded("GRD_chktype", -1, [&] { return grd_chktype_body(filename); });
}

static int grd_open_body(const char *filename, int f_access, int *f_type) {
  const char *name = filename ? filename : "";
  int code = f_type ? *f_type : 0;
  GridTable &t = table();
  size_t free_slot = GRD_MAX_FILES;
  for (size_t i = 0; i < GRD_MAX_FILES; ++i)
    if (!t.slots[i]) {
      free_slot = i;
      break;
    }
  if (free_slot == GRD_MAX_FILES) {
    MESS_print(M_WARN, "GRD_open: No free slot, %d grid files are open: %s\n", GRD_MAX_FILES,
               shown(name));
    return -1;
  }
  if (f_access < 0 || f_access > 2) {
    MESS_print(M_WARN, "GRD_open: Unknown access mode %d: %s\n", f_access, shown(name));
    return -1;
  }
  const bool stdio = name[0] == '\0' || std::strcmp(name, "-") == 0;
  if (stdio && code != GRD_TEXT && code != GRD_BINARY && code != GRD_GRIB) code = GRD_TEXT;
  if (code == 0) {
    if (f_access == 1 || (f_access == 2 && FILE_size(name) <= 0)) {
      MESS_print(M_WARN, "GRD_open: A format is needed to write: %s\n", shown(name));
      return -1;
    }
    if (!FILE_exist(name)) {
      MESS_print(M_WARN, "GRD_open: Unable to open grid file: %s\n", shown(name));
      return -1;
    }
    code = GRD_chktype(name);
    if (code < 0) {
      MESS_print(M_WARN, "GRD_open: Not a grid file of a known format: %s\n", shown(name));
      return -1;
    }
    if (f_type) *f_type = code;
  }
  const Format *fmt = find_format(code);
  if (!fmt || !fmt->open) {
    MESS_print(M_WARN, "GRD_open: Unknown grid file format %d: %s\n", code, shown(name));
    return -1;
  }
  if (f_access != 0 && !fmt->writable) {
    MESS_print(M_WARN, "GRD_open: Grid files of format %d (%s) cannot be written: %s\n", code,
               fmt->name, shown(name));
    return -1;
  }
  auto slot = std::make_unique<Slot>();
  slot->name = name;
  slot->dir = dir_of(name);
  slot->access = f_access;
  slot->stdio = stdio;
  GRD_file &rec = slot->rec;
  rec.fd = -1;
  rec.type = code;
  rec.cur_var = -1;
  DATE_init(&rec.date);
  int opened;
  try {
    opened = fmt->open(*slot, name, f_access);
  } catch (...) {
    stream_close(*slot);  // memory ran out after the file was opened
    throw;
  }
  if (opened != 0) {
    stream_close(*slot);
    return -1;
  }
  if (read_failed(*slot)) {
    MESS_print(M_WARN, "GRD_open: Unable to read grid file: %s\n", shown(name));
    stream_close(*slot);
    return -1;
  }
  if (f_type) *f_type = code;
  t.slots[free_slot] = std::move(slot);
  return static_cast<int>(free_slot);
}

int GRD_open(const char *filename, int f_access, int *f_type) KAV_NOEXCEPT {
  return kav::guarded("GRD_open", -1, [&] { return grd_open_body(filename, f_access, f_type); });
}

int GRD_hdr_open(int grd_fd, const char *filename) KAV_NOEXCEPT {
  Slot *s = slot_of(grd_fd);
  if (!s || !shared().use_hdrfile || s->rec.type != GRD_GRIB || !filename || !filename[0])
    return -1;
  FILE *fp = FILE_open(filename, "r");
  if (!fp || fp == stdin) {
    if (!fp) MESS_print(M_WARN, "GRD_hdr_open: Unable to open index file: %s\n", filename);
    return -1;
  }
  if (s->rec.hfile) FILE_close(s->rec.hfile);
  s->rec.hfile = fp;
  return 0;
}

int GRD_use_hdr_file(int val) KAV_NOEXCEPT {
  shared().use_hdrfile = val != 0;
  return 0;
}

static int grd_set_format_body(const char *str) {
  if (!str || !str[0]) {
    shared().format.clear();
    return 0;
  }
  if (!valid_value_format(str)) {
    MESS_print(M_WARN,
               "GRD_set_format: Not one floating conversion of at most %d characters: %.40s\n",
               GRD_FORMAT_LEN, str);
    return -1;
  }
  shared().format = str;
  return 0;
}

int GRD_set_format(const char *str) KAV_NOEXCEPT {
  return kav::guarded("GRD_set_format", -1, [&] { return grd_set_format_body(str); });
}

static int grd_getinfo_body(int grd_fd, GRD_info *info) {
  Slot *s = slot_of(grd_fd);
  if (!s) return -1;
  const Format *fmt = find_format(s->rec.type);
  if (!fmt || !fmt->getinfo || s->access != 0) {
    MESS_print(M_WARN, "GRD_getinfo: No reader for grid files of format %d: %s\n", s->rec.type,
               shown(s->name.c_str()));
    return -1;
  }
  GRD_info local{};
  GRD_info *out = info ? info : &local;
  std::memset(out, 0, sizeof *out);
  DATE_init(&out->date);
  const int r = fmt->getinfo(*s, out);
  if (read_failed(*s)) {
    MESS_print(M_WARN, "GRD_getinfo: Unable to read grid file: %s\n", shown(s->name.c_str()));
    return -1;
  }
  return r;
}

int GRD_getinfo(int grd_fd, GRD_info *info) KAV_NOEXCEPT {
  return kav::guarded("GRD_getinfo", -1, [&] { return grd_getinfo_body(grd_fd, info); });
}

static int grd_read_body(int grd_fd, GRD_report *grd, int rep_type, int *grdnum) {
  Slot *s = slot_of(grd_fd);
  if (!s || !grd) return -1;
  const Format *fmt = find_format(s->rec.type);
  if (!fmt || !fmt->read || s->access != 0) {
    s->failed = true;
    MESS_print(M_WARN, "GRD_read: No reader for grid files of format %d: %s\n", s->rec.type,
               shown(s->name.c_str()));
    return -1;
  }
  int local = 0;
  s->failed = false;
  const int r = fmt->read(*s, grd, rep_type, grdnum ? grdnum : &local);
  if (read_failed(*s)) {
    // Neither the end of the file nor a grid: values read around a failed
    // read are not handed out.
    MESS_print(M_WARN, "GRD_read: Unable to read grid file: %s\n", shown(s->name.c_str()));
    s->failed = true;
    if (r == 0 && rep_type == 0) {
      std::free(grd->grid);
      grd->grid = nullptr;
    }
    return -1;
  }
  return r;
}

int GRD_read(int grd_fd, GRD_report *grd, int rep_type, int *grdnum) KAV_NOEXCEPT {
  // A read that ran out of memory is a failure, not the end of the file.
  return kav::fault::guard(
      -1, [&] { return grd_read_body(grd_fd, grd, rep_type, grdnum); },
      [&] {
        kav::out_of_memory("GRD_read");
        if (Slot *s = slot_of(grd_fd)) s->failed = true;
      });
}

int GRD_read_status(int grd_fd) KAV_NOEXCEPT {
  Slot *s = slot_of(grd_fd);
  return !s || s->failed ? -1 : 0;
}

static int grd_putinfo_body(int grd_fd, const GRD_info *info) {
  Slot *s = slot_of(grd_fd);
  if (!s) return -1;
  const Format *fmt = find_format(s->rec.type);
  if (!fmt || s->access == 0) return -1;
  if (!fmt->putinfo) return s->rec.type == GRD_HEADER ? -1 : 0;
  return fmt->putinfo(*s, info);
}

int GRD_putinfo(int grd_fd, const GRD_info *info) KAV_NOEXCEPT {
  return kav::guarded("GRD_putinfo", -1, [&] { return grd_putinfo_body(grd_fd, info); });
}

static int grd_write_body(int grd_fd, GRD_report *grd, int rep_type, int *grd_num) {
  Slot *s = slot_of(grd_fd);
  if (!s || !grd || !grd->grid) return -1;
  const Format *fmt = find_format(s->rec.type);
  if (!fmt || !fmt->write || s->access == 0) {
    MESS_print(M_WARN, "GRD_write: Grid files of format %d cannot be written: %s\n", s->rec.type,
               shown(s->name.c_str()));
    return -1;
  }
  int local = 0;
  return fmt->write(*s, grd, rep_type, grd_num ? grd_num : &local);
}

int GRD_write(int grd_fd, GRD_report *grd, int rep_type, int *grd_num) KAV_NOEXCEPT {
  // Memory that runs out half-way through a grid leaves it cut short: the
  // file is not put in place at the close.
  return kav::fault::guard(
      -1, [&] { return grd_write_body(grd_fd, grd, rep_type, grd_num); },
      [&] {
        kav::out_of_memory("GRD_write");
        if (Slot *s = slot_of(grd_fd)) {
          s->out.fail();
          s->made.fail();
        }
      });
}

static int grd_rewind_body(int grd_fd) {
  Slot *s = slot_of(grd_fd);
  if (!s) return -1;
  if (s->stdio) return 0;
  const Format *fmt = find_format(s->rec.type);
  if (fmt && fmt->rewind) return fmt->rewind(*s);
  s->rec.num = 0;
  s->rec.cur_var = -1;
  return 0;
}

int GRD_rewind(int grd_fd) KAV_NOEXCEPT {
  return kav::guarded("GRD_rewind", -1, [&] { return grd_rewind_body(grd_fd); });
}

static int grd_close_body(int grd_fd) {
  if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return -1;
  auto &slot = table().slots[static_cast<size_t>(grd_fd)];
  if (!slot) return 0;
  const Format *fmt = find_format(slot->rec.type);
  int result = (fmt && fmt->close) ? fmt->close(*slot) : stream_close(*slot);
  slot.reset();
  return result;
}

int GRD_close(int grd_fd) KAV_NOEXCEPT {
  return kav::guarded("GRD_close", -1, [&] { return grd_close_body(grd_fd); });
}

int GRD_setpos(int grd_fd, long offset, int grdnum) KAV_NOEXCEPT {
  Slot *s = slot_of(grd_fd);
  if (!s) return -1;
  if (s->rec.type != GRD_GRIB) return 0;
  if (!seek(s->rec.file, offset)) return -1;
  shared().new_pos = offset;
  s->rec.num = grdnum;
  return 0;
}

long GRD_get_pos(void) KAV_NOEXCEPT { return shared().cur_pos; }

int GRD_get_header(int grd_fd, char *header) KAV_NOEXCEPT {
  Slot *s = slot_of(grd_fd);
  if (!s || !header || !s->rec.file || s->stdio) return -1;
  const long at = shared().cur_pos;
  if (!seek(s->rec.file, at)) return -1;
  const size_t got = std::fread(header, 1, GRD_HEADER_LEN, s->rec.file);
  if (got < GRD_HEADER_LEN) std::memset(header + got, 0, GRD_HEADER_LEN - got);
  const bool failed = got < GRD_HEADER_LEN && std::ferror(s->rec.file);
  std::clearerr(s->rec.file);
  if (failed)
    MESS_print(M_WARN, "GRD_get_header: Unable to read grid file: %s\n", shown(s->name.c_str()));
  return seek(s->rec.file, at) && !failed ? 0 : -1;
}

GRD_file *GRD_get_gfile(int ind) KAV_NOEXCEPT {
  Slot *s = slot_of(ind);
  return s ? &s->rec : nullptr;
}

int GRD_format_code(const char *name) KAV_NOEXCEPT {
  if (!name || !name[0]) return -1;
  size_t count = 0;
  const Format *f = formats(&count);
  char *end = nullptr;
  const long n = std::strtol(name, &end, 10);
  for (size_t i = 0; i < count; ++i) {
    if (*end == '\0' && n == f[i].code) return f[i].code;
    if (stricmp(name, f[i].name) == 0) return f[i].code;
  }
  return -1;
}

const char *GRD_format_name(int code) KAV_NOEXCEPT {
  const Format *f = find_format(code);
  return f ? f->name : "unknown";
}

int GRD_format_writable(int code) KAV_NOEXCEPT {
  const Format *f = find_format(code);
  return f && f->writable ? 1 : 0;
}

}  // extern "C"

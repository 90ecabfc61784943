// GRIB index files: one line per message, its byte offset and a description
// from which a header-only read takes the keys without touching the data.
#include <kav/date.h>
#include <kav/grib.h>
#include <kav/mess.h>
#include <kav/var_tool.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "grid/grib_int.hpp"

namespace kav::grib {
namespace {

// Reads one line of at most max characters (the rest of a longer line is
// passed over); false at end of file.
bool get_line(FILE *fp, std::string &line, size_t max) {
  line.clear();
  int c;
  bool any = false;
  while ((c = std::getc(fp)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < max) line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

// The next integer of text at p (blanks skipped); false when there is none.
bool number(const char *&p, int &v) {
  while (*p == ' ' || *p == '\t') ++p;
  char *end = nullptr;
  errno = 0;
  const long n = std::strtol(p, &end, 10);
  if (end == p || errno == ERANGE || n < INT_MIN || n > INT_MAX) return false;
  v = static_cast<int>(n);
  p = end;
  return true;
}

void keys_from(const std::string &desc, GRD_report *grd) {
  const size_t tag = desc.find("/ GRIB");
  if (tag != std::string::npos) {
    const char *p = desc.c_str() + tag + 6;
    int skip = 0;
    number(p, skip);
    for (;;) {
      while (*p == ' ' || *p == '\t') ++p;
      if (!*p) break;
      const char letter = *p++;
      int v = 0;
      if (!number(p, v)) {
        while (*p && *p != ' ' && *p != '\t') ++p;
        continue;
      }
      switch (letter) {
        case 'S':
          grd->source = v;
          break;
        case 'M':
          grd->model = v;
          break;
        case 'G':
          grd->type = v;
          break;
        case 'T':
          grd->time = v;
          break;
        case 'L':
          grd->ltype = v;
          break;
        case 'H':
          grd->level = v;
          break;
        case 'V':
          grd->var = v;
          break;
        default:
          break;
      }
    }
    return;
  }
  const size_t slash = desc.find('/');
  if (slash == std::string::npos) return;
  const char *p = desc.c_str() + slash + 1;
  int first = 0;
  if (!number(p, first)) return;
  while (*p == ' ' || *p == '\t') ++p;
  int v[6] = {KAV_IMISSING, KAV_IMISSING, KAV_IMISSING, KAV_IMISSING, KAV_IMISSING, KAV_IMISSING};
  int k = 0;
  if (*p == ':') {
    grd->source = first;
    ++p;
  } else {
    v[k++] = first;
  }
  while (k < 6 && number(p, v[k])) ++k;
  grd->model = v[0];
  grd->type = v[1];
  grd->time = v[2];
  grd->ltype = v[3];
  grd->level = v[4];
  grd->var = v[5];
  MESS_print(0x80000000u, "GRIB HDR--%d %d %d %d %d %d\n", v[0], v[1], v[2], v[3], v[4], v[5]);
}

}  // namespace

int index_line(int grd_fd, int n) {
  GRD_file *f = GRD_get_gfile(grd_fd);
  if (!f || !f->hfile || n < 0) return -1;
  FileState &fs = file_state(grd_fd);
  if (n == fs.index_no) return 0;
  if (n < fs.index_no) {
    std::rewind(f->hfile);
    fs.index_no = -1;
  }
  std::string line;
  while (fs.index_no < n) {
    if (!get_line(f->hfile, line, 40 + GRIB_INDEX_DESC)) return -1;
    const char *p = line.c_str();
    char *end = nullptr;
    errno = 0;
    const long off = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE || off < 0) {
      MESS_print(M_WARN, "GRD_read: Bad index line %d: %.40s\n", fs.index_no + 1, p);
      return -1;
    }
    ++fs.index_no;
    fs.index_off = off;
    while (*end == ' ' || *end == '\t') ++end;
    fs.index_desc.assign(end,
                         std::strlen(end) < GRIB_INDEX_DESC ? std::strlen(end) : GRIB_INDEX_DESC);
    MESS_print(0x80000000u, "GRIB HDR1: %d %s\n", fs.index_no, fs.index_desc.c_str());
  }
  return 0;
}

int index_header(int grd_fd, GRD_report *grd) {
  GRD_file *f = GRD_get_gfile(grd_fd);
  if (!f) return -1;
  const FileState &fs = file_state(grd_fd);
  std::free(grd->grid);
  GRD_init(grd);
  grd->source = f->grid == 10 ? 98 : 7;
  grd->version = 1;
  grd->date = f->date;
  keys_from(fs.index_desc, grd);
  GRIB_units(grd);
  GRIB_set_domain(grd->type, &grd->domain);
  return 0;
}

}  // namespace kav::grib

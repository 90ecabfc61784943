// kavgrid: lists the grids of a grid file, shows one grid's header and
// statistics or its values, and copies every grid into another format.
#include <kav/flag.h>
#include <kav/grd_read.h>
#include <kav/grib.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/system.h>
#include <kav/var_tool.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const res_type kKeyed[] = {RES_help, RES_batch, RES_message, RES_file_path, RES_null};
const res_type kPositional[] = {RES_filename, RES_null};

constexpr int kUsageError = 2;  // exit code of a bad command line
constexpr int kFileError = 1;   // exit code of a file that cannot be read or written

// The command's own options, taken out before the common ones are decoded.
struct Options {
  const char *grid = nullptr;    // -g N
  bool values = false;           // -v
  const char *output = nullptr;  // -o OUT
  const char *format = nullptr;  // -t FORMAT
};

// Takes -g, -v, -o and -t (value in the next argument or after "=") out of
// argv; the rest is left in args for RES_init. False when a value is missing.
bool take_options(int argc, char **argv, Options &o, std::vector<char *> &args, std::string &bad) {
  args.push_back(argv[0]);
  for (int i = 1; i < argc; ++i) {
    char *a = argv[i];
    const char **slot = nullptr;
    if (std::strncmp(a, "-g", 2) == 0)
      slot = &o.grid;
    else if (std::strncmp(a, "-o", 2) == 0)
      slot = &o.output;
    else if (std::strncmp(a, "-t", 2) == 0)
      slot = &o.format;
    if (std::strcmp(a, "-v") == 0) {
      o.values = true;
    } else if (slot && a[2] == '\0') {
      if (i + 1 >= argc) {
        bad = a;
        return false;
      }
      *slot = argv[++i];
    } else if (slot && a[2] == '=') {
      *slot = a + 3;
    } else {
      args.push_back(a);
    }
  }
  args.push_back(nullptr);
  return true;
}

[[noreturn]] void fail(int status, const char *format, ...) __attribute__((format(printf, 2, 3)));
void fail(int status, const char *format, ...) {
  char text[512];
  va_list ap;
  va_start(ap, format);
  std::vsnprintf(text, sizeof text, format, ap);
  va_end(ap);
  MESS_print(M_ERROR, "%s", text);
  KAV_exit(status);
}

void usage() {
  MESS_print(M_PRINT, "kavgrid: lists, shows and converts grid files\n");
  MESS_print(M_PRINT, "usage: kavgrid [options] FILE\n");
  MESS_print(M_PRINT, "       kavgrid FILE                   one line per grid\n");
  MESS_print(M_PRINT, "       kavgrid -g N FILE              header and statistics of grid N\n");
  MESS_print(M_PRINT, "       kavgrid -g N -v FILE           values of grid N, one row a line\n");
  MESS_print(M_PRINT, "       kavgrid -o OUT [-t FORMAT] FILE  copies every grid into OUT\n");
  MESS_print(M_PRINT, " -g N        Grid number, from 0\n");
  MESS_print(M_PRINT, " -v          Prints the values of grid N\n");
  MESS_print(M_PRINT, " -o OUT      Output file (\"-\" for standard output)\n");
  MESS_print(M_PRINT,
             " -t FORMAT   Output format: plain (1), text (2, default), binary (3),\n"
             "             netcdf (11), grib (21: raw copies of the messages of a GRIB file)\n");
  RES_help_print("kavgrid", kKeyed, kPositional);
}

const char *proj_name(int proj) {
  switch (proj) {
    case 1:
      return "pstereo";
    case 2:
      return "latlon";
    case 3:
      return "merc";
    case 4:
      return "lamb";
    case 5:
      return "ortho";
    case 6:
      return "gnom";
    case 7:
      return "moll";
    case 8:
      return "lambaz";
    case 9:
      return "sat";
    default:
      return "none";
  }
}

std::string level_text(const GRD_report &g) {
  char text[VAR_LABEL_LEN];
  VAR_make_datalevel(0, g.ltype, g.level, text);
  if (text[0]) return text;
  if (g.ltype == 0) return "-";
  return std::to_string(g.ltype) + "/" + std::to_string(g.level);
}

std::string var_name(const GRD_report &g) {
  char text[VAR_LABEL_LEN];
  VAR_str(text, g.var, nullptr);
  return text;
}

std::string or_dash(const char *s) { return s && s[0] ? s : "-"; }

void list(int fd) {
  GRD_report g;
  GRD_init(&g);
  MESS_print(M_OUT1, "%-4s %-20s %-14s %-28s %-10s %-9s %s\n", "#", "date", "level", "variable",
             "units", "size", "projection");
  int n = 0;
  for (;; ++n) {
    int num = n;
    const int r = GRD_read(fd, &g, 1, &num);
    if (r == GRIB_REJECT) {  // a message the decoder refuses: said why, go on
      MESS_print(M_OUT1, "%-4d (not decoded)\n", num);
      continue;
    }
    if (r != 0) break;
    const std::string size = std::to_string(g.domain.nx) + "x" + std::to_string(g.domain.ny);
    MESS_print(M_OUT1, "%-4d %-20s %-14s %-28s %-10s %-9s %s\n", num, or_dash(g.datim).c_str(),
               level_text(g).c_str(), var_name(g).c_str(), or_dash(g.units).c_str(), size.c_str(),
               proj_name(g.domain.proj));
  }
  std::free(g.grid);
  if (GRD_read_status(fd) != 0) fail(kFileError, "kavgrid: Grid %d could not be read\n", n);
}

double d(float v) { return static_cast<double>(v); }

void show(int fd, int num, bool values) {
  GRD_report g;
  GRD_init(&g);
  const int want = num;
  if (GRD_read(fd, &g, 0, &num) != 0 || !g.grid) {
    std::free(g.grid);
    fail(kFileError, "kavgrid: No grid %d in the file\n", want);
  }
  const Domain &dom = g.domain;
  const size_t nx = static_cast<size_t>(dom.nx), count = nx * static_cast<size_t>(dom.ny);
  if (values) {
    std::string line;
    char buf[32];
    for (size_t k = 0; k < count; ++k) {
      std::snprintf(buf, sizeof buf, "%g", d(g.grid[k]));
      line += buf;
      if (k % nx == nx - 1) {
        MESS_print(M_OUT1, "%s\n", line.c_str());
        line.clear();
      } else {
        line += ' ';
      }
    }
    std::free(g.grid);
    return;
  }
  MESS_print(M_OUT1, "grid      %d\n", num);
  GRD_file *file = GRD_get_gfile(fd);
  if (file && file->type == GRD_GRIB) {
    char header[GRIB_WMO_COPY + 1];
    GRIB_get_WMO_header(fd, header);
    MESS_print(M_OUT1, "message   edition %d at offset %ld, header %s\n", GRIB_get_version(),
               GRD_get_pos(), header);
  }
  MESS_print(M_OUT1, "date      %s\n", or_dash(g.datim).c_str());
  MESS_print(M_OUT1, "info      %s\n", or_dash(g.info).c_str());
  MESS_print(M_OUT1, "variable  %d %s\n", g.var, var_name(g).c_str());
  MESS_print(M_OUT1, "level     %s (type %d, level %d)\n", level_text(g).c_str(), g.ltype, g.level);
  MESS_print(M_OUT1, "time      %d\n", g.time);
  MESS_print(M_OUT1, "units     %s\n", or_dash(g.units).c_str());
  MESS_print(M_OUT1, "keys      source %d version %d model %d type %d\n", g.source, g.version,
             g.model, g.type);
  MESS_print(M_OUT1, "domain    %s centre %.3f %.3f spacing %.4f %.4f", proj_name(dom.proj),
             d(dom.clat), d(dom.clon), d(dom.dx), d(dom.dy));
  if (dom.plon != KAV_MISSING) MESS_print(M_OUT1, " pole lon %.3f", d(dom.plon));
  if (dom.plat != KAV_MISSING) MESS_print(M_OUT1, " pole lat %.3f", d(dom.plat));
  MESS_print(M_OUT1, "\n");
  MESS_print(M_OUT1, "size      %d x %d (%zu values)\n", dom.nx, dom.ny, count);
  double sum = 0;
  float lo = 0, hi = 0;
  size_t used = 0, missing = 0;
  for (size_t k = 0; k < count; ++k) {
    const float v = g.grid[k];
    if (v == KAV_MISSING) {
      ++missing;
      continue;
    }
    if (used == 0 || v < lo) lo = v;
    if (used == 0 || v > hi) hi = v;
    sum += d(v);
    ++used;
  }
  if (used) {
    MESS_print(M_OUT1, "min       %g\n", d(lo));
    MESS_print(M_OUT1, "max       %g\n", d(hi));
    MESS_print(M_OUT1, "mean      %g\n", sum / static_cast<double>(used));
  } else {
    MESS_print(M_OUT1, "min       -\nmax       -\nmean      -\n");
  }
  MESS_print(M_OUT1, "missing   %zu\n", missing);
  std::free(g.grid);
}

bool same_file(const char *a, const char *b) {
  struct stat sa {
  }, sb{};
  if (stat(a, &sa) != 0 || stat(b, &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void copy(int in, const char *infile, const char *out, const char *format) {
  const int code = format ? GRD_format_code(format) : GRD_TEXT;
  if (code < 0) fail(kUsageError, "kavgrid: Unknown grid format: %s\n", format);
  if (!GRD_format_writable(code))
    fail(kUsageError, "kavgrid: Grid files of this format cannot be written: %s\n", format);
  if (same_file(infile, out)) fail(kUsageError, "kavgrid: The output is the input file: %s\n", out);
  int type = code;
  const int ofd = GRD_open(out, 1, &type);
  if (ofd < 0) fail(kFileError, "kavgrid: Unable to create grid file: %s\n", out);
  GRD_info info{};
  GRD_getinfo(in, &info);
  if (code == GRD_NETCDF) {
    // A netCDF file is sized once for its largest grid.
    GRD_report h;
    GRD_init(&h);
    for (int n = 0;; ++n) {
      int num = n;
      const int r = GRD_read(in, &h, 1, &num);
      if (r == GRIB_REJECT) continue;
      if (r != 0) break;
      if (h.domain.nx > info.max_x) info.max_x = h.domain.nx;
      if (h.domain.ny > info.max_y) info.max_y = h.domain.ny;
    }
    GRD_rewind(in);
  }
  if (GRD_putinfo(ofd, &info) != 0)
    fail(kFileError, "kavgrid: Unable to write grid file: %s\n", out);
  GRD_report g;
  GRD_init(&g);
  int n = 0;
  const bool raw = code == GRD_GRIB;
  unsigned char *message = nullptr;
  for (;; ++n) {
    int num = n;
    const int r = GRD_read(in, &g, raw ? 1 : 0, &num);
    if (r == GRIB_REJECT && !raw) continue;
    if (r != 0 && r != GRIB_REJECT) break;
    int onum = n;
    GRD_report rec = g;
    if (raw) {  // GRIB to GRIB: the messages are copied as they are
      long size = 0;
      if (GRD_get_gfile(in)->type != GRD_GRIB || GRIB_get_raw(in, &message, &size) < 0) {
        // Left open: a copy cut short is not put in place of the old file.
        std::free(message);
        fail(kFileError, "kavgrid: Grid %d is no GRIB message to copy\n", n);
      }
      rec.grid = reinterpret_cast<float *>(message);
      rec.source = static_cast<int>(size);
    }
    if (GRD_write(ofd, &rec, 0, &onum) != 0) {
      std::free(message);
      std::free(g.grid);
      fail(kFileError, "kavgrid: Unable to write grid file: %s\n", out);
    }
  }
  std::free(g.grid);
  std::free(message);
  // A copy cut short by an input that cannot be read is not put in place:
  // the output is left open, and a grid file still open when the program
  // ends is dropped, the old file kept.
  if (GRD_read_status(in) != 0) fail(kFileError, "kavgrid: Grid %d could not be read\n", n);
  if (GRD_close(ofd) != 0) fail(kFileError, "kavgrid: Unable to write grid file: %s\n", out);
  if (std::strcmp(out, "-") != 0) MESS_print(M_MESS, "kavgrid: %d grids copied to %s\n", n, out);
}

}  // namespace

int main(int argc, char **argv) {
  Options opt;
  std::vector<char *> args;
  std::string bad;
  const bool options_ok = take_options(argc, argv, opt, args, bad);
  RES_init(static_cast<int>(args.size()) - 1, args.data(), kKeyed, kPositional);
  if (FLAG_help()) {
    usage();
    KAV_exit(0);
  }
  if (!options_ok) fail(kUsageError, "kavgrid: Option %s needs a value\n", bad.c_str());
  const char *file = RES_get("filename");
  if (!file || !file[0]) fail(kUsageError, "kavgrid: No grid file given (kavgrid -h for help)\n");
  int num = -1;
  if (opt.grid) {
    char *end = nullptr;
    errno = 0;
    const long n = std::strtol(opt.grid, &end, 10);
    if (end == opt.grid || *end || errno == ERANGE || n < 0 || n > INT_MAX)
      fail(kUsageError, "kavgrid: Not a grid number: %s\n", opt.grid);
    num = static_cast<int>(n);
  }
  if (opt.values && num < 0) fail(kUsageError, "kavgrid: -v needs a grid number (-g N)\n");
  if (opt.format && !opt.output) fail(kUsageError, "kavgrid: -t needs an output file (-o OUT)\n");
  int type = 0;
  const int fd = GRD_open(file, 0, &type);
  if (fd < 0) fail(kFileError, "kavgrid: Unable to read grid file: %s\n", file);
  GRD_info info{};
  if (GRD_getinfo(fd, &info) != 0) {
    GRD_close(fd);
    fail(kFileError, "kavgrid: Unable to read grid file: %s\n", file);
  }
  if (opt.output)
    copy(fd, file, opt.output, opt.format);
  else if (num >= 0)
    show(fd, num, opt.values);
  else
    list(fd);
  GRD_close(fd);
  KAV_exit(0);
}

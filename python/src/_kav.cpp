// The extension module of the kav Python package: the grid-file calls of the
// library (open, file-wide information, header and full reads, close) and the
// projection transforms, with numpy arrays filled in place.
//
// The library keeps one table of open grid files per process and is not
// re-entrant: every call here runs with the interpreter lock held, so threads
// of one process take turns, and parallel work runs in separate processes
// (Dask workers). Open files are kept in a small cache keyed by path, so that
// reading many grids of a file opens it once; the cache is dropped in a child
// process after a fork.
//
// The library reports through its message layer. Here the messages go to a
// private file instead of the console: the text of an error becomes the
// message of the Python exception, warnings of a call that succeeded become
// Python warnings.
#include <fcntl.h>
#include <kav/grd_read.h>
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>
#include <kav/var_tool.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

constexpr float kMissing = -9999.0f;
// Open files kept at most, leaving the rest of the library's table to others.
constexpr size_t kMaxCached = 8;

// Module state: the message capture and the cache of open files.
struct State {
  int capture_fd = -1;  // read end of the private message file
  pid_t pid = 0;        // process that opened the cached files
  struct Open {
    std::string path;  // file name as given
    int fd;            // library handle
    int format;        // format code
  };
  std::vector<Open> open;  // most recently used last
};

State &state() {
  static State s;
  return s;
}

// One caller in the library at a time. The interpreter lock alone does not
// hold a call together: Python code run inside one (a finalizer, a warning)
// may let another thread in. The lock is taken with the interpreter lock let
// go, so a thread waiting for it never blocks the one holding it; it is
// recursive, for Python code a call runs (a warning's handler) that calls in
// again.
class LibraryLock {
 public:
  LibraryLock() {
    py::gil_scoped_release released;
    mutex().lock();
  }
  ~LibraryLock() { mutex().unlock(); }
  LibraryLock(const LibraryLock &) = delete;
  LibraryLock &operator=(const LibraryLock &) = delete;

 private:
  static std::recursive_mutex &mutex() {
    static std::recursive_mutex m;
    return m;
  }
};

py::object &error_class() {
  static py::object cls;
  return cls;
}

// Routes the library's messages (print, error and warning groups) to an
// unlinked temporary file only.
void start_capture() {
  State &s = state();
  if (s.capture_fd >= 0) return;
  char name[] = "/tmp/kavpyXXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return;
  MESS_file(name, "a");
  s.capture_fd = ::open(name, O_RDWR | O_CLOEXEC);
  ::close(fd);
  ::unlink(name);
  MESS_set_out(0);
  MESS_set(0, M_WARN);
}

// Messages printed since the last call (emptied).
std::string take_messages() {
  State &s = state();
  std::string text;
  if (s.capture_fd < 0) return text;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(s.capture_fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  if (!text.empty()) {
    // The copy file is written in append mode: emptying it starts the next
    // message at offset 0 again.
    if (::ftruncate(s.capture_fd, 0) != 0) {
      // the file keeps growing; reading goes on from where it stands
      return text;
    }
    ::lseek(s.capture_fd, 0, SEEK_SET);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// Passes the messages of a call that succeeded on as one Python warning
// (the first lines of a long run of them, and their count).
void warn_messages() {
  std::string text = take_messages();
  if (!text.empty()) {
    constexpr int kShown = 5;
    size_t at = 0;
    int lines = 0;
    while (lines < kShown && (at = text.find('\n', at)) != std::string::npos) ++at, ++lines;
    if (at != std::string::npos && lines == kShown) {
      size_t more = 0;
      for (size_t i = at; i < text.size(); ++i) more += text[i] == '\n';
      text.resize(at);
      text += "(and " + std::to_string(more + 1) + " more messages)";
    }
    py::module_ warnings = py::module_::import("warnings");
    py::object kav_warning = py::module_::import("kav._errors").attr("KavWarning");
    warnings.attr("warn")(py::str(text), kav_warning, 3);
  }
}

[[noreturn]] void fail(const std::string &fallback) {
  std::string text = take_messages();
  if (text.empty()) text = fallback;
  PyErr_SetString(error_class().ptr(), text.c_str());
  throw py::error_already_set();
}

void forget_after_fork() {
  State &s = state();
  if (s.pid == getpid()) return;
  for (const auto &o : s.open) GRD_close(o.fd);
  s.open.clear();
  s.pid = getpid();
}

void close_entry(size_t i) {
  State &s = state();
  GRD_close(s.open[i].fd);
  s.open.erase(s.open.begin() + static_cast<long>(i));
}

// The library handle of path, opened (and its file-wide part read) when not
// in the cache. Raises the library's message when it cannot be opened.
State::Open &handle(const std::string &path) {
  start_capture();
  forget_after_fork();
  State &s = state();
  for (size_t i = 0; i < s.open.size(); ++i) {
    if (s.open[i].path == path) {
      if (i + 1 != s.open.size()) {
        State::Open keep = s.open[i];
        s.open.erase(s.open.begin() + static_cast<long>(i));
        s.open.push_back(keep);
      }
      return s.open.back();
    }
  }
  if (s.open.size() >= kMaxCached) close_entry(0);
  take_messages();
  int format = 0;
  const int fd = GRD_open(path.c_str(), 0, &format);
  if (fd < 0) fail("Unable to open grid file: " + path);
  GRD_info info{};
  if (GRD_getinfo(fd, &info) != 0) {
    GRD_close(fd);
    fail("Unable to read grid file: " + path);
  }
  s.open.push_back({path, fd, format});
  return s.open.back();
}

py::dict domain_dict(const Domain &d) {
  py::dict o;
  o["proj"] = d.proj;
  o["plat"] = d.plat;
  o["plon"] = d.plon;
  o["param"] = py::make_tuple(d.param[0], d.param[1], d.param[2], d.param[3], d.param[4]);
  o["clat"] = d.clat;
  o["clon"] = d.clon;
  o["dx"] = d.dx;
  o["dy"] = d.dy;
  o["nx"] = d.nx;
  o["ny"] = d.ny;
  o["ellipse"] = d.ellipse;
  return o;
}

Domain domain_of(const py::dict &o) {
  Domain d;
  DOM_init(&d);
  d.proj = o["proj"].cast<int>();
  d.plat = o["plat"].cast<float>();
  d.plon = o["plon"].cast<float>();
  auto param = o["param"].cast<std::vector<float>>();
  for (size_t i = 0; i < 5 && i < param.size(); ++i) d.param[i] = param[i];
  d.clat = o["clat"].cast<float>();
  d.clon = o["clon"].cast<float>();
  d.dx = o["dx"].cast<float>();
  d.dy = o["dy"].cast<float>();
  d.nx = o["nx"].cast<int>();
  d.ny = o["ny"].cast<int>();
  d.ellipse = o["ellipse"].cast<int>();
  return d;
}

py::dict report_dict(const GRD_report &g, int num, long offset) {
  py::dict o;
  o["num"] = num;
  o["offset"] = offset;
  o["type"] = g.type;
  o["source"] = g.source;
  o["version"] = g.version;
  o["datim"] = std::string(g.datim);
  o["info"] = std::string(g.info);
  o["date"] =
      py::make_tuple(g.date.year, g.date.month, g.date.day, g.date.hour, g.date.min, g.date.sec);
  o["model"] = g.model;
  o["ltype"] = g.ltype;
  o["level"] = g.level;
  o["time"] = g.time;
  o["var"] = g.var;
  o["units"] = std::string(g.units);
  o["domain"] = domain_dict(g.domain);
  return o;
}

// The headers of every grid of a file, read header-only, in file order.
// Grids the reader refuses (a projection it does not decode) are left out
// with a warning; a file that ends inside a grid raises.
py::tuple inventory(const std::string &path) {
  LibraryLock lock;
  State::Open &o = handle(path);
  const int fd = o.fd;
  const int format = o.format;
  py::list grids;
  GRD_report g;
  GRD_init(&g);
  long last_offset = -1;
  int first = 0;
  for (int n = 0;; ++n) {
    int num = n;
    const int r = GRD_read(fd, &g, 2, &num);
    if (r == 0) {
      const long offset = GRD_get_pos();
      // Grids of one message (the products of a GRIB 2 message) share its
      // offset: a read jumps to the first of them and steps on.
      if (offset != last_offset) first = num;
      last_offset = offset;
      py::dict d = report_dict(g, num, offset);
      d["first"] = first;
      grids.append(d);
      continue;
    }
    if (r == -1 && GRD_read_status(fd) == 0) break;  // the end of the file
    if (r == -1) {
      // Drop the handle: its reading position is no longer known.
      State &s = state();
      for (size_t i = 0; i < s.open.size(); ++i)
        if (s.open[i].fd == fd) close_entry(i);
      fail("Unable to read grid " + std::to_string(n) + " of " + path);
    }
    // A grid the reader refused: its message is a warning, the rest are read.
    if (n > 1000000) break;
  }
  warn_messages();
  return py::make_tuple(format, grids);
}

// Reads grids nums (offsets and firsts: the inventory's offset of each grid
// and the first grid at that offset, for a direct jump where the format
// allows it) into out[k] (float32, shape (len(nums), ny, nx)), missing
// values as NaN. Grids are read in ascending order whatever the order asked.
void read_grids(const std::string &path, const std::vector<int> &nums,
                const std::vector<long> &offsets, const std::vector<int> &firsts,
                py::array_t<float, py::array::c_style> out) {
  if (out.ndim() != 3 || static_cast<size_t>(out.shape(0)) != nums.size() ||
      offsets.size() != nums.size() || firsts.size() != nums.size())
    throw std::invalid_argument("read_grids: out must be (len(nums), ny, nx)");
  LibraryLock lock;
  const size_t ny = static_cast<size_t>(out.shape(1)), nx = static_cast<size_t>(out.shape(2));
  std::vector<size_t> order(nums.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return nums[a] < nums[b]; });
  float *base = out.mutable_data();
  GRD_report g;
  GRD_init(&g);
  struct FreeGrid {
    GRD_report &g;
    ~FreeGrid() { std::free(g.grid); }
  } free_grid{g};
  int last = -2;
  long last_offset = -1;
  for (size_t k : order) {
    State::Open &o = handle(path);
    int num = nums[k];
    // Jump to the grid's message unless it follows the one just read or
    // shares its message (products of one message are stepped through).
    if (o.format == GRD_GRIB && offsets[k] >= 0 && num != last + 1 && offsets[k] != last_offset)
      GRD_setpos(o.fd, offsets[k], firsts[k] - 1);
    const int r = GRD_read(o.fd, &g, 0, &num);
    if (r != 0 || !g.grid) fail("Unable to read grid " + std::to_string(nums[k]) + " of " + path);
    if (static_cast<size_t>(g.domain.nx) != nx || static_cast<size_t>(g.domain.ny) != ny)
      fail("Grid " + std::to_string(nums[k]) + " of " + path + " changed its size");
    float *dst = base + k * nx * ny;
    const float *src = g.grid;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (size_t i = 0, n = nx * ny; i < n; ++i) dst[i] = src[i] == kMissing ? nan : src[i];
    last = num;
    last_offset = offsets[k];
  }
  warn_messages();
}

// Latitude and longitude (degrees) of every point of a grid's domain, from
// the projection's inverse transform; NaN where a point has none. The
// current projection of the process is restored afterwards.
py::tuple latlon(const py::dict &dom) {
  LibraryLock lock;
  start_capture();
  Domain d = domain_of(dom);
  if (d.nx < 1 || d.ny < 1) throw std::invalid_argument("latlon: no grid size");
  Domain saved;
  MAP_get_domain(&saved);
  take_messages();
  if (MAP_domain(&d) != 0) {
    MAP_domain(&saved);
    fail("The projection of the grid has no transform");
  }
  const auto nx = static_cast<py::ssize_t>(d.nx), ny = static_cast<py::ssize_t>(d.ny);
  py::array_t<double> lat({ny, nx}), lon({ny, nx});
  double *la = lat.mutable_data(), *lo = lon.mutable_data();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (py::ssize_t j = 0; j < ny; ++j)
    for (py::ssize_t i = 0; i < nx; ++i) {
      float x = 0, y = 0, plat = 0, plon = 0;
      const size_t at = static_cast<size_t>(j * nx + i);
      if (MAP_grid_tran(static_cast<float>(i), static_cast<float>(j), &x, &y) == 0 &&
          MAP_untran(x, y, &plat, &plon) == 1) {
        la[at] = plat;
        lo[at] = plon;
      } else {
        la[at] = lo[at] = nan;
      }
    }
  MAP_domain(&saved);
  take_messages();
  return py::make_tuple(lat, lon);
}

std::string var_abbr(int var) {
  LibraryLock lock;
  char buf[VAR_LABEL_LEN] = "";
  VAR_abbr(buf, var);
  take_messages();
  return buf;
}

std::string var_name(int var) {
  LibraryLock lock;
  char buf[VAR_LABEL_LEN] = "";
  VAR_str(buf, var, nullptr);
  take_messages();
  return buf;
}

// Printed names of the projection codes, from the registry.
py::dict proj_names() {
  LibraryLock lock;
  py::dict o;
  int code = 0, has = 0;
  const char *name = nullptr;
  for (int i = 0; MAP_proj_entry(i, &code, &name, &has); ++i)
    if (name && !o.contains(py::int_(code))) o[py::int_(code)] = std::string(name);
  return o;
}

// Makes dir the data directory (variable table and the like) unless the
// user chose one with the kavfile variable. (Nothing else sets file_path in
// an interpreter: no program's command line or defaults files are read.)
bool set_data_dir(const std::string &dir) {
  LibraryLock lock;
  if (std::getenv("kavfile")) return false;
  RES_put("file_path", dir.c_str());
  take_messages();
  return true;
}

void close_path(const std::string &path) {
  LibraryLock lock;
  State &s = state();
  for (size_t i = 0; i < s.open.size(); ++i)
    if (s.open[i].path == path) {
      close_entry(i);
      return;
    }
}

void close_all() {
  LibraryLock lock;
  State &s = state();
  while (!s.open.empty()) close_entry(s.open.size() - 1);
}

}  // namespace

PYBIND11_MODULE(_kav, m) {
  m.doc() = "Grid files of the kav library";
  error_class() = py::module_::import("kav._errors").attr("KavError");
  start_capture();
  state().pid = getpid();
  m.def("inventory", &inventory, py::arg("path"),
        "(format code, list of grid header dicts) of a grid file, read header-only");
  m.def("read_grids", &read_grids, py::arg("path"), py::arg("nums"), py::arg("offsets"),
        py::arg("firsts"), py::arg("out"), "Reads grids nums into out[k], missing values as NaN");
  m.def("latlon", &latlon, py::arg("domain"), "2-D latitude and longitude of a domain");
  m.def("var_abbr", &var_abbr, py::arg("var"), "Abbreviation of a variable code");
  m.def("var_name", &var_name, py::arg("var"), "Name of a variable code");
  m.def("proj_names", &proj_names, "Printed names of the projection codes");
  m.def("format_name", [](int code) { return std::string(GRD_format_name(code)); });
  m.def("set_data_dir", &set_data_dir, py::arg("dir"),
        "Sets the data directory unless kavfile chose one");
  m.def("close", &close_path, py::arg("path"), "Closes a cached file");
  m.def("close_all", &close_all, "Closes every cached file");
  m.def(
      "messages",
      [] {
        LibraryLock lock;
        return take_messages();
      },
      "Library messages not yet collected");
}

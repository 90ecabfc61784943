// Output files are replaced whole or not at all. Each writer of grid,
// sounding and station files runs over a good old file with each of its
// writes failing in turn (a full disc) and each of its file opens failing in
// turn: every struck run fails with a message, the old file stays byte for
// byte as it was and no temporary is left beside it, and the run that meets
// no failure puts the whole new file in its place.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kav/cdf.h>
#include <kav/cty_read.h>
#include <kav/grd_read.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/thm_tool.h>
#include <kav/ua_read.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/fault.h"
#include "support/kavtest.h"
#include "support/sweep.h"

namespace {

using Writer = std::function<bool(const std::string &target)>;

// Names in a directory, sorted ("." and ".." left out).
std::vector<std::string> entries(const std::string &dir) {
  std::vector<std::string> names;
  if (DIR *d = opendir(dir.c_str())) {
    while (const dirent *e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void put_file(const std::string &name, const std::string &bytes) {
  std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
}

// Closes whatever an attempt left open.
void close_all() {
  for (int fd = 0; fd < GRD_MAX_FILES; ++fd) GRD_close(fd);
}

// What fn printed on standard error, through a pipe: a limit on the size of
// files written does not hold for pipes, so the messages get through.
std::string stderr_of(const std::function<void()> &fn) {
  std::fflush(stderr);
  int p[2];
  if (pipe(p) != 0) return "pipe failed";
  const int saved = dup(2);
  dup2(p[1], 2);
  close(p[1]);
  fn();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = read(p[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
  close(p[0]);
  return text;
}

// A grid of nx by ny values starting at base, on a polar stereographic map.
struct Grid {
  GRD_report rec{};
  std::vector<float> values;
  Grid(int nx, int ny, float base) {
    GRD_init(&rec);
    std::snprintf(rec.datim, sizeof rec.datim, "1200Z  5 MAR 24");
    std::snprintf(rec.info, sizeof rec.info, "500 mb Temperature (K)");
    std::snprintf(rec.units, sizeof rec.units, "K");
    rec.source = 7;
    rec.model = 81;
    rec.ltype = 100;
    rec.level = 500;
    rec.time = 12;
    rec.var = 11;
    Domain &d = rec.domain;
    d.proj = 1;
    d.clat = 40;
    d.clon = -100;
    d.plon = -105;
    d.dx = d.dy = 1.5f;
    d.nx = nx;
    d.ny = ny;
    for (int k = 0; k < nx * ny; ++k) values.push_back(base + static_cast<float>(k) * 0.25f);
    rec.grid = values.data();
  }
};

// Writes grids in a format: access 1 creates, 2 appends.
Writer grid_writer(int code, int access, std::vector<Grid> *grids) {
  return [=](const std::string &target) {
    int type = code;
    const int fd = GRD_open(target.c_str(), access, &type);
    if (fd < 0) return false;
    GRD_info info{};
    DATE_init(&info.date);
    bool ok = GRD_putinfo(fd, &info) == 0;
    for (size_t k = 0; ok && k < grids->size(); ++k) {
      Grid &g = (*grids)[k];
      g.rec.grid = g.values.data();
      int num = static_cast<int>(k);
      ok = GRD_write(fd, &g.rec, 0, &num) == 0;
    }
    return GRD_close(fd) == 0 && ok;
  };
}

// Copies the bytes of a GRIB message as format 21 does: access 1 or 2.
Writer grib_writer(int access, const std::string *message) {
  return [=](const std::string &target) {
    int type = GRD_GRIB;
    const int fd = GRD_open(target.c_str(), access, &type);
    if (fd < 0) return false;
    std::vector<float> held(message->size() / sizeof(float) + 1);
    std::memcpy(held.data(), message->data(), message->size());
    GRD_report rec;
    GRD_init(&rec);
    rec.grid = held.data();
    rec.source = static_cast<int>(message->size());
    const bool ok = GRD_write(fd, &rec, 0, nullptr) == 0;
    return GRD_close(fd) == 0 && ok;
  };
}

// The old file and the new content the writer makes of it.
struct Scene {
  kavtest::TempDir dir;
  std::string target = dir.file("out");
  std::string old, fresh;

  Scene(const std::string &old_bytes, const Writer &write) : old(old_bytes) {
    put_file(target, old);
    bool ok = false;
    const kavtest::Captured cap = kavtest::capture([&] { ok = write(target); });
    EXPECT_TRUE(ok) << cap.err;
    fresh = kavtest::read_file(target);
    EXPECT_NE(fresh, old);
    put_file(target, old);
  }
  // After a run: the old file untouched (or the new one whole when the run
  // succeeded, the old one then put back), and nothing else in the directory.
  void check(bool succeeded, const std::string &what) {
    if (succeeded) {
      EXPECT_EQ(kavtest::read_file(target), fresh) << what << ": not the whole new file";
      put_file(target, old);
    } else {
      EXPECT_EQ(kavtest::read_file(target), old) << what << ": the old file was changed";
    }
    EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"out"}) << what << ": left behind";
  }
};

// Every write (or, with reads, every read: appending reads the old file into
// the new one) failing in turn.
void io_fail_sweep(const char *what, Scene &scene, const Writer &write, bool reads) {
  bool ok = false;
  const int struck = kavtest::io_sweep(
      what, [&] { return ok = write(scene.target); },
      [&] {
        close_all();
        scene.check(ok, what);
      },
      !reads);
  EXPECT_GT(struck, 0) << what
                       << (reads ? ": the old file was not read" : ": no write was counted");
}

void write_sweep(const char *what, Scene &scene, const Writer &write) {
  io_fail_sweep(what, scene, write, false);
}

void read_sweep(const char *what, Scene &scene, const Writer &write) {
  io_fail_sweep(what, scene, write, true);
}

// Every file open failing in turn.
void open_sweep(const char *what, Scene &scene, const Writer &write) {
  SCOPED_TRACE(what);
  for (int nth = 1; nth < 100; ++nth) {
    bool ok = false;
    int calls = 0;
    const kavtest::Captured cap = kavtest::capture([&] {
      kavtest::FailOpen fail(nth);
      ok = write(scene.target);
      calls = fail.calls();
    });
    close_all();
    scene.check(ok, what);
    if (nth > calls) {
      EXPECT_TRUE(ok) << cap.err;
      EXPECT_GT(nth, 1) << "the writer opened no file";
      return;
    }
    EXPECT_FALSE(ok) << "open " << nth << " failed, yet the call succeeded";
    EXPECT_FALSE(cap.err.empty()) << "open " << nth << " failed the call silently";
    if (::testing::Test::HasFailure()) return;
  }
}

// Every size the new file grows through refused in turn (a disc that fills
// at that point): the writes of libraries outside the library's own
// streams fail too.
void size_sweep(const char *what, Scene &scene, const Writer &write, size_t step) {
  SCOPED_TRACE(what);
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit saved {};
  getrlimit(RLIMIT_FSIZE, &saved);
  for (size_t limit = 0; limit < scene.fresh.size(); limit += step) {
    bool ok = true;
    const std::string err = stderr_of([&] {
      struct rlimit lim = saved;
      lim.rlim_cur = limit;
      setrlimit(RLIMIT_FSIZE, &lim);
      ok = write(scene.target);
      setrlimit(RLIMIT_FSIZE, &saved);
    });
    close_all();
    EXPECT_FALSE(ok) << "the file was cut at " << limit << " bytes, yet the call succeeded";
    EXPECT_FALSE(err.empty()) << "cut at " << limit << " bytes without a message";
    scene.check(ok, what);
    if (::testing::Test::HasFailure()) return;
  }
}

class FaultWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    MESS_set(0, M_WARN | M_ERROR);
    MESS_set_page(0);
  }
  void TearDown() override { close_all(); }
};

// Formats 1, 2 and 3, created and appended to.
TEST_F(FaultWrite, StreamGridFormats) {
  for (int code : {GRD_PLAIN, GRD_TEXT, GRD_BINARY}) {
    const std::string name = GRD_format_name(code);
    std::vector<Grid> old_grids{Grid(3, 2, 250)}, grids{Grid(4, 3, 100), Grid(2, 2, -5)};
    // An old file of the same format, written by the library.
    std::string old;
    {
      kavtest::TempDir scratch;
      const std::string f = scratch.file("old");
      ASSERT_TRUE(grid_writer(code, 1, &old_grids)(f)) << name;
      old = kavtest::read_file(f);
    }
    for (int access : {1, 2}) {
      const std::string what = name + (access == 1 ? " created" : " appended to");
      const Writer write = grid_writer(code, access, &grids);
      Scene scene(old, write);
      if (access == 2) {
        EXPECT_EQ(scene.fresh.rfind(old, 0), 0u) << what << ": the old grids are not kept";
        read_sweep(what.c_str(), scene, write);
      } else {
        EXPECT_EQ(scene.fresh.find(old), std::string::npos) << what;
      }
      write_sweep(what.c_str(), scene, write);
      open_sweep(what.c_str(), scene, write);
    }
  }
}

// A GRIB message copied, to a new file and after the messages of an old one.
TEST_F(FaultWrite, GribCopy) {
  const std::string message =
      kavtest::read_file(KAV_TEST_DATA "/grib/regular_latlon_surface.grib1");
  ASSERT_FALSE(message.empty());
  const std::string old = kavtest::read_file(KAV_TEST_DATA "/grib/latlon_scan40.grib1");
  ASSERT_FALSE(old.empty());
  for (int access : {1, 2}) {
    const std::string what = access == 1 ? "GRIB created" : "GRIB appended to";
    const Writer write = grib_writer(access, &message);
    Scene scene(old, write);
    EXPECT_EQ(scene.fresh, access == 1 ? message : old + message) << what;
    if (access == 2) read_sweep(what.c_str(), scene, write);
    write_sweep(what.c_str(), scene, write);
    open_sweep(what.c_str(), scene, write);
  }
}

// The bytes of a small netCDF grid file, the good old file the netCDF
// writers must leave in place; empty when it could not be made.
std::string old_netcdf() {
  kavtest::TempDir scratch;
  std::vector<Grid> one{Grid(5, 4, 1)};
  const std::string f = scratch.file("old.nc");
  return grid_writer(GRD_NETCDF, 1, &one)(f) ? kavtest::read_file(f) : std::string();
}

// The package's netCDF files are written by the netCDF library itself:
// its creation fails in turn, and the file is cut at every size it grows
// through.
TEST_F(FaultWrite, Netcdf) {
  std::vector<Grid> grids{Grid(40, 30, 100), Grid(40, 30, -20), Grid(12, 9, 3)};
  const Writer write = grid_writer(GRD_NETCDF, 1, &grids);
  const std::string old = old_netcdf();
  ASSERT_FALSE(old.empty());
  Scene scene(old, write);
  ASSERT_GT(scene.fresh.size(), 8192u);
  open_sweep("netCDF", scene, write);
  size_sweep("netCDF", scene, write, 1024);
}

// A netCDF file made through the access calls: the same sweeps.
TEST_F(FaultWrite, NetcdfAccessCalls) {
  std::vector<float> values(3000);
  for (size_t k = 0; k < values.size(); ++k) values[k] = static_cast<float>(k);
  const Writer write = [&](const std::string &target) {
    if (CDF_open(target.c_str(), 1) < 0) return false;
    const int x = CDF_def_dim("x", 60), y = CDF_def_dim("y", 50);
    const int v = CDF_def_var("v", CDF_FLOAT, 2, y, x);
    bool ok = v >= 0 && CDF_put_glob_att("title", "sweep") == 0 && CDF_end_def() == 0;
    CDF_set_range(2, 0L, 50L, 0L, 60L);
    ok = ok && CDF_put_float_array(v, values.data()) == 0;
    return CDF_close() == 0 && ok;
  };
  const std::string old = old_netcdf();
  ASSERT_FALSE(old.empty());
  Scene scene(old, write);
  open_sweep("CDF_open", scene, write);
  size_sweep("CDF_open", scene, write, 1024);
}

// The size sweep on a text grid file: real short writes, not the seam.
TEST_F(FaultWrite, TextGridCutAtEverySize) {
  std::vector<Grid> grids{Grid(30, 20, 100)};
  const Writer write = grid_writer(GRD_TEXT, 1, &grids);
  Scene scene("KAVGRID\nan old file kept whole\n", write);
  size_sweep("text", scene, write, 1000);
}

// The sounding text file of the analysis.
TEST_F(FaultWrite, SoundingFile) {
  std::vector<UPA_level> sm(THERM_MAX_LEVELS), wm;
  char id[20];
  Date date;
  const int n = UPA_read_text(KAV_TEST_DATA "/ua_oax_2014061619.txt", sm.data(), THERM_MAX_LEVELS,
                              id, sizeof id, &date);
  ASSERT_GT(n, 0);
  sm.resize(static_cast<size_t>(n));
  for (const UPA_level &l : sm)
    if (l.dir != KAV_MISSING && l.spd != KAV_MISSING) wm.push_back(l);
  ASSERT_EQ(THERM_set_data(sm[0].p, sm.data(), n, wm.data(), static_cast<int>(wm.size())), 0);
  THERM_set_id("OAX", 72558);
  THERM_set_date(&date);
  const Writer write = [](const std::string &target) {
    RES_put("out_file", ("raw=@" + target).c_str());
    return THERM_out_raw() == 1;
  };
  Scene scene("KAVRAW\nan old sounding kept whole\n", write);
  EXPECT_EQ(scene.fresh.rfind("KAVRAW\n", 0), 0u);
  write_sweep("sounding", scene, write);
  open_sweep("sounding", scene, write);
  RES_put("out_file", "");
}

// A station file written through the station database calls.
TEST_F(FaultWrite, StationFile) {
  const Writer write = [](const std::string &target) {
    const int fd = CTY_open(target.c_str(), 1, 0);
    if (fd < 0) return false;
    bool ok = true;
    for (int k = 0; k < 3 && ok; ++k) {
      CTY_data c;
      CTY_data_init(&c);
      std::snprintf(c.name, sizeof c.name, "STATION_%d", k);
      std::snprintf(c.state, sizeof c.state, "NE");
      std::snprintf(c.region, sizeof c.region, "US");
      std::snprintf(c.id, sizeof c.id, "K%03d", k);
      c.prior = k;
      c.lat = 41.0f + static_cast<float>(k);
      c.lon = -96.0f;
      c.el = 350;
      c.wmo = 72558 + k;
      ok = CTY_write(fd, &c) == 0;
    }
    return CTY_close(fd) == 0 && ok;
  };
  Scene scene("OLD_STATION NE US KOLD 1 41.000 -96.000 350 72558 0\n", write);
  write_sweep("stations", scene, write);
  open_sweep("stations", scene, write);
}

// Memory that runs out at each allocation in turn: a writer that fails
// leaves the old file and nothing else, here or in the working directory
// (a name that could not be made is never taken for a file to create).
TEST_F(FaultWrite, MemoryRunningOut) {
  kavtest::TempDir work;
  char here[4096];
  ASSERT_NE(getcwd(here, sizeof here), nullptr);
  ASSERT_EQ(chdir(work.path().c_str()), 0);
  std::vector<Grid> grids{Grid(4, 3, 100), Grid(2, 2, -5)};
  for (int code : {GRD_TEXT, GRD_NETCDF}) {
    const std::string what = GRD_format_name(code);
    const Writer write = grid_writer(code, 1, &grids);
    Scene scene("an old file kept whole\n", write);
    bool ok = false;
    kavtest::alloc_sweep(
        what.c_str(), [&] { return ok = write(scene.target); },
        [&] {
          close_all();
          scene.check(ok, what);
          EXPECT_TRUE(entries(work.path()).empty()) << what << ": a file made where none was asked";
        },
        code == GRD_NETCDF);
  }
  ASSERT_EQ(chdir(here), 0);
}

// ---- What the replacement keeps and where it writes ----

TEST_F(FaultWrite, KeepsPermissionsAndWritesThroughLinks) {
  kavtest::TempDir dir;
  std::vector<Grid> grids{Grid(3, 2, 1)};
  const Writer write = grid_writer(GRD_TEXT, 1, &grids);
  const std::string real = dir.write("real.grd", "old\n");
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(symlink("real.grd", dir.file("link.grd").c_str()), 0);
  ASSERT_TRUE(write(dir.file("link.grd")));
  struct stat st {};
  ASSERT_EQ(lstat(dir.file("link.grd").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(kavtest::read_file(real).rfind("KAVGRID\n", 0), 0u);
  // A link to a file not there yet makes the file.
  ASSERT_EQ(symlink("new.grd", dir.file("dangling.grd").c_str()), 0);
  ASSERT_TRUE(write(dir.file("dangling.grd")));
  EXPECT_EQ(kavtest::read_file(dir.file("new.grd")).rfind("KAVGRID\n", 0), 0u);
  EXPECT_EQ(entries(dir.path()),
            (std::vector<std::string>{"dangling.grd", "link.grd", "new.grd", "real.grd"}));
  // A new file takes its mode from the umask, as any new file does.
  const mode_t mask = umask(027);
  const bool made = write(dir.file("masked.grd"));
  umask(mask);
  ASSERT_TRUE(made);
  ASSERT_EQ(stat(dir.file("masked.grd").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Until the close, readers see the old file; a write that fails is reported
// once, and every later call of the handle fails without a second message.
TEST_F(FaultWrite, OldFileStandsUntilTheClose) {
  kavtest::TempDir dir;
  const std::string target = dir.write("out.grd", "old content\n");
  Grid g(3, 2, 1);
  int type = GRD_TEXT;
  const int fd = GRD_open(target.c_str(), 1, &type);
  ASSERT_GE(fd, 0);
  GRD_info info{};
  ASSERT_EQ(GRD_putinfo(fd, &info), 0);
  ASSERT_EQ(GRD_write(fd, &g.rec, 0, nullptr), 0);
  EXPECT_EQ(kavtest::read_file(target), "old content\n");
  ASSERT_EQ(GRD_close(fd), 0);
  const std::string fresh = kavtest::read_file(target);
  EXPECT_EQ(fresh.rfind("KAVGRID\n1200Z  5 MAR 24\n2-500 mb Temperature (K)\n", 0), 0u) << fresh;

  int results[3] = {};
  const kavtest::Captured cap = kavtest::capture([&] {
    int wfd = -1;
    {
      // The first write of the file fails: its "KAVGRID" line.
      kavtest::FailIO fail(1, true);
      wfd = GRD_open(target.c_str(), 1, &type);
      results[0] = GRD_putinfo(wfd, &info);
    }
    results[1] = GRD_write(wfd, &g.rec, 0, nullptr);
    results[2] = GRD_close(wfd);
  });
  EXPECT_EQ(results[0], -1);
  EXPECT_EQ(results[1], -1);
  EXPECT_EQ(results[2], -1);
  const std::string line = "GRD_putinfo: Unable to write grid file: " + target;
  EXPECT_EQ(cap.err.rfind(line, 0), 0u) << cap.err;
  EXPECT_EQ(std::count(cap.err.begin(), cap.err.end(), '\n'), 1) << cap.err;
  EXPECT_EQ(kavtest::read_file(target), fresh);
  EXPECT_EQ(entries(dir.path()), std::vector<std::string>{"out.grd"});
}

// Devices are written in place: the null device takes everything, a full
// one fails with a message naming it.
TEST_F(FaultWrite, DevicesAreWrittenInPlace) {
  std::vector<Grid> grids{Grid(3, 2, 1)};
  for (int code : {GRD_TEXT, GRD_BINARY}) {
    EXPECT_TRUE(grid_writer(code, 1, &grids)("/dev/null"));
    bool ok = true;
    const kavtest::Captured cap =
        kavtest::capture([&] { ok = grid_writer(code, 1, &grids)("/dev/full"); });
    EXPECT_FALSE(ok);
    EXPECT_NE(cap.err.find("Unable to write grid file: /dev/full (No space left on device)"),
              std::string::npos)
        << cap.err;
  }
  const Writer netcdf = grid_writer(GRD_NETCDF, 1, &grids);
  bool ok = true;
  const kavtest::Captured cap = kavtest::capture([&] { ok = netcdf("/dev/null"); });
  EXPECT_FALSE(ok);
  EXPECT_NE(cap.err.find("GRD_open: netCDF files are written to regular files only: /dev/null"),
            std::string::npos)
      << cap.err;
}

// The command: a copy onto an old file on a disc that fills up fails and
// keeps the old file; one onto a full device or a full standard output
// fails with a message and a non-zero exit.
TEST(FaultWriteCommand, KavgridOutputFails) {
  kavtest::TempDir dir;
  std::vector<Grid> grids{Grid(40, 30, 100), Grid(40, 30, 7)};
  const std::string input = dir.file("in.grd");
  ASSERT_TRUE(grid_writer(GRD_TEXT, 1, &grids)(input));
  const std::string target = dir.write("old.grd", "KAVGRID\nold grids\n");
  for (const char *format : {"text", "binary", "netcdf"}) {
    const std::string cmd = std::string("trap '' XFSZ; ulimit -f 8; exec ") + KAV_KAVGRID_BIN +
                            " -o " + target + " -t " + format + " " + input;
    const kavtest::RunResult r = kavtest::run({"/bin/sh", "-c", cmd});
    EXPECT_EQ(r.status, 1) << format << ": " << r.err;
    EXPECT_NE(r.err.find("kavgrid: Unable to write grid file: " + target), std::string::npos)
        << r.err;
    EXPECT_EQ(kavtest::read_file(target), "KAVGRID\nold grids\n") << format;
    EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"in.grd", "old.grd"})) << format;
  }
  // An input whose second grid is cut short: the copy stops there and the
  // grids copied so far do not take the old file's place.
  const std::string whole = kavtest::read_file(input);
  const std::string cut = dir.write("cut.grd", whole.substr(0, whole.size() - 200));
  const kavtest::RunResult stopped = kavtest::run({KAV_KAVGRID_BIN, "-o", target, cut});
  EXPECT_EQ(stopped.status, 1) << stopped.err;
  EXPECT_NE(stopped.err.find("kavgrid: Grid 1 could not be read"), std::string::npos)
      << stopped.err;
  EXPECT_EQ(kavtest::read_file(target), "KAVGRID\nold grids\n");
  EXPECT_EQ(entries(dir.path()), (std::vector<std::string>{"cut.grd", "in.grd", "old.grd"}));

  const kavtest::RunResult full = kavtest::run({KAV_KAVGRID_BIN, "-o", "/dev/full", input});
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("Unable to write grid file: /dev/full (No space left on device)"),
            std::string::npos)
      << full.err;
  const kavtest::RunResult out = kavtest::run(
      {"/bin/sh", "-c", std::string("exec ") + KAV_KAVGRID_BIN + " -o - " + input + " >/dev/full"});
  EXPECT_EQ(out.status, 1);
  EXPECT_NE(out.err.find("Unable to write grid file: -"), std::string::npos) << out.err;
}

}  // namespace

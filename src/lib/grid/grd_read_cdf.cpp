// netCDF grid files (format 11): recognised by their first bytes (classic
// "CDF" or netCDF-4's HDF5 signature), opened through the netCDF library and
// read as one of three schemas: the package's own (a "grid" record
// dimension), the older model-output files, or CF files with 1-D latitude
// and longitude coordinates. Only the own schema is written.
#include <kav/cdf.h>
#include <kav/date.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <netcdf.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "base/fault.hpp"
#include "grid/cdf_int.hpp"
#include "grid/grd_read_int.hpp"

namespace kav::cdf {

File *state(grd::Slot &slot) { return static_cast<File *>(slot.ext.get()); }

bool size_grid(GRD_report *grd, long nx, long ny, const char *file) {
  if (nx < 1 || ny < 1 || nx > GRD_MAX_POINTS / ny) {
    MESS_print(M_WARN, "GRD_read: Grid of %ld x %ld points refused: %s\n", nx, ny, file);
    return false;
  }
  std::free(grd->grid);
  grd->grid = static_cast<float *>(std::malloc(static_cast<size_t>(nx * ny) * sizeof(float)));
  if (!grd->grid) {
    MESS_print(M_WARN, "GRD_read: No memory for %ld x %ld values: %s\n", nx, ny, file);
    return false;
  }
  return true;
}

int create(kav::Replacement &rep, const char *path, const std::string &name, const char *who) {
  auto refuse = [&] {
    MESS_print(M_WARN, "%s: Unable to create %s (%s)\n", who, name.c_str(), std::strerror(errno));
    return -1;
  };
  if (!rep.prepare(path)) return refuse();
  if (!rep.replaceable()) {
    MESS_print(M_WARN, "%s: netCDF files are written to regular files only: %s\n", who,
               name.c_str());
    return -1;
  }
  // A name that happens to be taken is passed over: the library refuses to
  // create over an existing file.
  constexpr int kTries = 100;
  for (int tries = 0; tries < kTries; ++tries) {
    if (kav::fault::refuse_open()) return refuse();
    const std::string &temp = rep.claim();
    quiet();
    const int nc = nccreate(temp.c_str(), NC_NOCLOBBER);
    if (nc >= 0) {
      rep.created(-1);
      return nc;
    }
    if (ncerr == NC_EEXIST) {
      rep.unclaim();
      continue;
    }
    // The name was free, so what the library may have left there (a file
    // whose header could not be written) is its own: removed.
    ok(nc, who, "nccreate", name);
    rep.abandon();
    return -1;
  }
  errno = EEXIST;
  return refuse();
}

bool finish(kav::Replacement &rep, bool good, const char *who, const std::string &name) {
  if (!good || rep.failed()) {
    rep.abandon();
    return false;
  }
  if (!rep.commit()) {
    MESS_print(M_WARN, "%s: Unable to replace %s (%s)\n", who, name.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

void flip_rows(float *v, size_t nx, size_t ny) {
  for (size_t top = 0, bottom = ny ? ny - 1 : 0; top < bottom; ++top, --bottom)
    std::swap_ranges(v + top * nx, v + top * nx + nx, v + bottom * nx);
}

}  // namespace kav::cdf

namespace kav::grd {

using kav::cdf::File;
using kav::cdf::state;

namespace {
int getinfo_kind(Slot &slot, File *f, GRD_info *info);
}  // namespace

int cdf_detect(const unsigned char *head, size_t len) {
  if (len >= 3 && std::memcmp(head, "CDF", 3) == 0) return 1;
  return len >= 8 && std::memcmp(head, "\x89HDF\r\n\x1a\n", 8) == 0 ? 1 : 0;
}

int cdf_open(Slot &slot, const char *name, int access) {
  if (access == 2 || slot.stdio) {
    MESS_print(M_WARN, "GRD_open: netCDF grid files are read or created, not %s: %s\n",
               slot.stdio ? "streamed" : "appended to", name[0] ? name : "-");
    return -1;
  }
  if (std::strlen(name) >= FILE_NAME_LEN) {
    MESS_print(M_WARN, "GRD_open: File name longer than %d characters\n", FILE_NAME_LEN - 1);
    return -1;
  }
  auto file = std::make_shared<File>();
  DATE_init(&file->pending.date);
  // A name that cannot be expanded (memory ran out, reported there) is not
  // used: the buffer would hold no name at all.
  char path[FILE_NAME_LEN] = "";
  if (!FILE_add_user_path(name, path)) return -1;
  if (access == 1) {
    FILE_make_dir(path, 1);
  } else {
    file->file_size = FILE_size(path);
    unsigned char head[8] = {};
    if (FILE *fp = kav::fault::open(path, "rb")) {
      file->hdf5 = std::fread(head, 1, 8, fp) == 8 && std::memcmp(head, "\x89HDF", 4) == 0;
      const bool failed = std::ferror(fp) != 0;
      std::fclose(fp);
      if (failed) {
        MESS_print(M_WARN, "GRD_open: Unable to read grid file: %s\n", name);
        return -1;
      }
    }
  }
  std::string why;
  if (access == 0 && !kav::cdf::header_sane(path, why)) {
    MESS_print(M_WARN, "GRD_open: Not a readable netCDF file (%s): %s\n", why.c_str(), name);
    return -1;
  }
  kav::cdf::quiet();
  int nc = -1;
  if (access == 0) {
    nc = ncopen(path, NC_NOWRITE);
    if (!kav::cdf::ok(nc, "GRD_open", "ncopen", name)) nc = -1;
  } else {
    nc = kav::cdf::create(slot.made, path, name, "GRD_open");
  }
  if (nc < 0) {
    MESS_print(M_WARN, "GRD_open: Unable to open grid file: %s\n", name);
    return -1;
  }
  slot.rec.fd = nc;
  slot.rec.x_dim = slot.rec.y_dim = slot.rec.z_dim = slot.rec.t_dim = -1;
  slot.rec.x_size = slot.rec.y_size = slot.rec.z_size = slot.rec.t_size = -1;
  if (const char *v = std::getenv("GRIDVAR"))
    kav::cdf::put_text(slot.rec.var_nm, sizeof slot.rec.var_nm, v);
  slot.ext = std::move(file);
  return 0;
}

int cdf_getinfo(Slot &slot, GRD_info *info) {
  File *f = state(slot);
  if (!f) return -1;
  slot.rec.num = 0;
  slot.rec.cur_var = -1;
  // Only a file whose description was taken whole is read: a refused one
  // (a text dimension too long, say) keeps what was refused in its record.
  f->learnt = false;
  try {
    f->learnt = getinfo_kind(slot, f, info) == 0;
  } catch (const std::bad_alloc &) {
    MESS_print(M_WARN, "GRD_getinfo: Out of memory: %s\n", slot.name.c_str());
  }
  return f->learnt ? 0 : -1;
}

namespace {
int getinfo_kind(Slot &slot, File *f, GRD_info *info) {
  const int nc = slot.rec.fd;
  if (kav::cdf::dim_id(nc, "grid", nullptr, nullptr)) {
    f->kind = 0;
  } else if (kav::cdf::model_recognise(nc)) {
    f->kind = 1;
  } else {
    f->kind = CDF_ITYPE_CF;
  }
  slot.rec.itype = f->kind;
  if (f->kind == 0) return kav::cdf::own_getinfo(slot, info);
  if (f->kind == CDF_ITYPE_CF) return kav::cdf::cf_getinfo(slot, info);
  return kav::cdf::model_getinfo(slot, info);
}
}  // namespace

int cdf_read(Slot &slot, GRD_report *grd, int rep_type, int *grdnum) {
  File *f = state(slot);
  if (!f) return -1;
  if (*grdnum < -1) {
    MESS_print(M_WARN, "GRD_read: No grid number %d: %s\n", *grdnum, slot.name.c_str());
    slot.failed = true;
    return -1;
  }
  if (!f->learnt) {
    // Not read through GRD_getinfo yet: learn the file first.
    GRD_info info{};
    DATE_init(&info.date);
    if (cdf_getinfo(slot, &info) != 0) return -1;
  }
  try {
    if (f->kind == 0) return kav::cdf::own_read(slot, grd, rep_type, grdnum);
    if (f->kind == CDF_ITYPE_CF) return kav::cdf::cf_read(slot, grd, rep_type, grdnum);
    return kav::cdf::model_read(slot, grd, rep_type, grdnum);
  } catch (const std::bad_alloc &) {
    MESS_print(M_WARN, "GRD_read: Out of memory: %s\n", slot.name.c_str());
    slot.failed = true;
    return -1;
  }
}

int cdf_putinfo(Slot &slot, const GRD_info *info) {
  return state(slot) ? kav::cdf::own_putinfo(slot, info) : -1;
}

int cdf_write(Slot &slot, GRD_report *grd, int rep_type, int *grd_num) {
  return state(slot) ? kav::cdf::own_write(slot, grd, rep_type, grd_num) : -1;
}

int cdf_rewind(Slot &slot) {
  slot.rec.cur_var = -1;
  slot.rec.num = 0;
  return 0;
}

int cdf_close(Slot &slot) {
  int result = 0;
  if (slot.rec.fd >= 0) {
    File *f = state(slot);
    // A created file whose definition never happened still gets its dimensions.
    if (f && slot.access == 1 && !f->defined) kav::cdf::own_putinfo(slot, nullptr);
    kav::cdf::quiet();
    if (!kav::cdf::ok(ncclose(slot.rec.fd), "GRD_close", "ncclose", slot.name)) result = -1;
  }
  slot.rec.fd = -1;
  slot.ext.reset();
  if (slot.access == 1 && !kav::cdf::finish(slot.made, result == 0, "GRD_close", slot.name))
    result = -1;
  return result;
}

}  // namespace kav::grd

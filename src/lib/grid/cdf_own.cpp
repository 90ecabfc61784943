// The package's own netCDF grid schema: one record of the unlimited "grid"
// dimension per grid, the values as a (grid, x, y) float block holding the
// grid array in its own order, the keys as 16-bit integers and the texts as
// characters along "string_len". Written and read back.
#include <kav/cdf.h>
#include <kav/date.h>
#include <kav/mess.h>
#include <netcdf.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "grid/cdf_int.hpp"
#include "grid/grd_read_int.hpp"

namespace kav::cdf {
namespace {

constexpr long kStringLen = 50;       // characters of the texts' dimension
constexpr long kMaxStringLen = 4096;  // longest text dimension read

// One variable of the schema: name, type, attributes.
struct VarDef {
  const char *name;
  nc_type type;
  const char *att_name;
  const char *long_name;
  const char *units;  // null: none
  int GRD_file::*id;
};

constexpr VarDef kCoord[] = {
    {"x_coord", NC_FLOAT, "X_COORD", "X coordinate gridpoint locations", "DEG",
     &GRD_file::x_coord_id},
    {"y_coord", NC_FLOAT, "Y_COORD", "Y coordinate gridpoint locations", "DEG",
     &GRD_file::y_coord_id},
};

constexpr VarDef kProj[] = {
    {"proj", NC_SHORT, "PROJ", "Projection", nullptr, &GRD_file::proj_id},
    {"lat1", NC_FLOAT, "CLAT", "Grid central latitude", "DEG", &GRD_file::lat1_id},
    {"lat2", NC_FLOAT, "LAT2", "Grid secondary latitude", "DEG", &GRD_file::lat2_id},
    {"lon1", NC_FLOAT, "CLON", "Grid central longitude", "DEG", &GRD_file::lon1_id},
    {"lon2", NC_FLOAT, "LON2", "Grid secondary longitude", "DEG", &GRD_file::lon2_id},
    {"dx", NC_FLOAT, "DX", "Grid spacing in X direction", "100 KM", &GRD_file::dx_id},
    {"dy", NC_FLOAT, "DY", "Grid spacing in Y direction", "100 KM", &GRD_file::dy_id},
};

constexpr VarDef kTexts[] = {
    {"datim", NC_CHAR, "DATETIME", "Grid date/time information", nullptr, &GRD_file::datim_id},
    {"info", NC_CHAR, "INFO", "Grid variable information", nullptr, &GRD_file::info_id},
};

constexpr VarDef kKeys[] = {
    {"source", NC_SHORT, "SOURCE", "Grid creation source", nullptr, &GRD_file::source_id},
    {"version", NC_SHORT, "VERSION", "Grid encoding version", nullptr, &GRD_file::version_id},
    {"model", NC_SHORT, "MODEL", "Model name", nullptr, &GRD_file::model_id},
    {"type", NC_SHORT, "TYPE", "Model grid type", nullptr, &GRD_file::type_id},
    {"ltype", NC_SHORT, "LTYPE", "Vertical level type", nullptr, &GRD_file::ltype_id},
    {"level", NC_SHORT, "LEVEL", "Vertical level value", nullptr, &GRD_file::level_id},
    {"time", NC_SHORT, "TIME", "Forecast time", "HOUR", &GRD_file::time_id},
    {"var", NC_SHORT, "VAR", "Grid variable type", nullptr, &GRD_file::var_id},
    {"nx", NC_SHORT, "NX", "Gridpoints in X direction", nullptr, &GRD_file::nx_id},
    {"ny", NC_SHORT, "NY", "Gridpoints in Y direction", nullptr, &GRD_file::ny_id},
};

bool put_att_text(grd::Slot &s, int var, const char *name, const char *text) {
  quiet();
  return ok(ncattput(s.rec.fd, var, name, NC_CHAR, static_cast<int>(std::strlen(text)), text),
            "GRD_putinfo", "ncattput", s.name);
}

bool put_att_short(grd::Slot &s, const char *name, int value) {
  const short v = static_cast<short>(value);
  quiet();
  return ok(ncattput(s.rec.fd, NC_GLOBAL, name, NC_SHORT, 1, &v), "GRD_putinfo", "ncattput",
            s.name);
}

bool put_att_float(grd::Slot &s, int var, const char *name, float value) {
  quiet();
  return ok(ncattput(s.rec.fd, var, name, NC_FLOAT, 1, &value), "GRD_putinfo", "ncattput", s.name);
}

bool define_var(grd::Slot &s, const VarDef &d, int ndims, const int *dims) {
  quiet();
  const int id = ncvardef(s.rec.fd, d.name, d.type, ndims, dims);
  s.rec.*d.id = id;
  return ok(id, "GRD_putinfo", "ncvardef", s.name);
}

bool var_atts(grd::Slot &s, const VarDef &d) {
  const int id = s.rec.*d.id;
  return put_att_text(s, id, "name", d.att_name) && put_att_text(s, id, "long_name", d.long_name) &&
         (!d.units || put_att_text(s, id, "units", d.units));
}

// Defines the dimensions, variables and attributes for grids of at most
// max_x by max_y points, and leaves define mode.
bool define(grd::Slot &s, const GRD_info &info, int max_x, int max_y) {
  GRD_file &r = s.rec;
  const int nc = r.fd;
  const bool coords = info.grid_type == 1;
  r.grid = info.grid_type;
  quiet();
  const int grid = ncdimdef(nc, "grid", NC_UNLIMITED);
  const int x = grid < 0 ? -1 : ncdimdef(nc, "x", max_x);
  const int y = x < 0 ? -1 : ncdimdef(nc, "y", max_y);
  const int len = y < 0 ? -1 : ncdimdef(nc, "string_len", kStringLen);
  if (!ok(len, "GRD_putinfo", "ncdimdef", s.name)) return false;
  r.t_dim = grid;
  r.x_dim = x;
  r.y_dim = y;
  r.z_dim = len;
  r.x_size = max_x;
  r.y_size = max_y;
  r.t_size = 0;
  r.max_num = 0;
  const int block[3] = {grid, x, y}, text[2] = {grid, len};
  quiet();
  r.values_id[0] = ncvardef(nc, "values", NC_FLOAT, 3, block);
  if (!ok(r.values_id[0], "GRD_putinfo", "ncvardef", s.name)) return false;
  r.proj_id = r.lat1_id = r.lat2_id = r.lon1_id = r.lon2_id = r.dx_id = r.dy_id = -1;
  r.x_coord_id = r.y_coord_id = -1;
  if (coords) {
    for (const VarDef &d : kCoord)
      if (!define_var(s, d, 3, block)) return false;
  } else {
    for (const VarDef &d : kProj)
      if (!define_var(s, d, 1, &grid)) return false;
  }
  for (const VarDef &d : kTexts)
    if (!define_var(s, d, 2, text)) return false;
  for (const VarDef &d : kKeys)
    if (!define_var(s, d, 1, &grid)) return false;

  const int v = r.values_id[0];
  if (!put_att_text(s, v, "name", "VALUES") || !put_att_text(s, v, "long_name", "Grid values") ||
      !put_att_float(s, v, "_FillValue", KAV_MISSING) ||
      !put_att_float(s, v, "missing_value", KAV_MISSING))
    return false;
  if (coords) {
    for (const VarDef &d : kCoord)
      if (!var_atts(s, d) || !put_att_float(s, r.*d.id, "_FillValue", KAV_MISSING)) return false;
    if (!put_att_text(s, r.x_coord_id, "standard_name", "longitude") ||
        !put_att_text(s, r.y_coord_id, "standard_name", "latitude") ||
        !put_att_text(s, v, "coordinates", "y_coord x_coord"))
      return false;
  } else {
    for (const VarDef &d : kProj)
      if (!var_atts(s, d)) return false;
  }
  for (const VarDef &d : kTexts)
    if (!var_atts(s, d)) return false;
  for (const VarDef &d : kKeys)
    if (!var_atts(s, d)) return false;

  if (!put_att_text(s, NC_GLOBAL, "source", "KAV") ||
      !put_att_text(s, NC_GLOBAL, "version", "1.0") ||
      !put_att_short(s, "grid_type", info.grid_type) || !put_att_short(s, "year", info.date.year) ||
      !put_att_short(s, "month", info.date.month) || !put_att_short(s, "day", info.date.day) ||
      !put_att_short(s, "hour", info.date.hour))
    return false;
  // What common tools look for to recognise the file.
  if (!put_att_text(s, NC_GLOBAL, "Conventions", "CF-1.8") ||
      !put_att_text(s, NC_GLOBAL, "title", "KAV grid file"))
    return false;
  quiet();
  return ok(ncendef(nc), "GRD_putinfo", "ncendef", s.name);
}

bool put_text_var(grd::Slot &s, int var, long rec, const char *text) {
  char buf[kStringLen] = {};
  const size_t n = strnlen(text, kStringLen - 1);
  std::memcpy(buf, text, n);
  const long start[2] = {rec, 0}, count[2] = {1, static_cast<long>(n) + 1};
  quiet();
  return ok(ncvarput(s.rec.fd, var, start, count, buf), "GRD_write", "ncvarput", s.name);
}

bool put_short(grd::Slot &s, int var, long rec, int value) {
  const short v = static_cast<short>(value);
  quiet();
  return ok(ncvarput1(s.rec.fd, var, &rec, &v), "GRD_write", "ncvarput1", s.name);
}

bool put_float(grd::Slot &s, int var, long rec, float value) {
  quiet();
  return ok(ncvarput1(s.rec.fd, var, &rec, &value), "GRD_write", "ncvarput1", s.name);
}

// A key of record rec, or -9999 when the file lacks the variable or the
// value cannot be read.
double key(const grd::Slot &s, int var, long rec) {
  double v = KAV_MISSING;
  if (var < 0 || !read_one(s.rec.fd, var, &rec, &v)) return KAV_MISSING;
  return v;
}

int ikey(const grd::Slot &s, int var, long rec) {
  const double v = key(s, var, rec);
  return v >= -2147483648.0 && v <= 2147483647.0 ? static_cast<int>(v) : KAV_IMISSING;
}

bool get_text_var(const grd::Slot &s, int var, long rec, char *dst, size_t room) {
  dst[0] = '\0';
  if (var < 0 || s.rec.z_size < 1) return var < 0;
  // No more is read than the text can keep.
  const long len = std::min(s.rec.z_size, static_cast<long>(room));
  std::vector<char> buf(static_cast<size_t>(len) + 1, '\0');
  const long start[2] = {rec, 0}, count[2] = {1, len};
  quiet();
  if (!ok(ncvarget(s.rec.fd, var, start, count, buf.data()), "GRD_read", "ncvarget", s.name))
    return false;
  put_text(dst, room, std::string(buf.data(), strnlen(buf.data(), buf.size())));
  return true;
}

// The result of a definition: a file whose definition failed half-way is
// not put in place.
int defined(grd::Slot &s, bool good) {
  if (good) return 0;
  s.made.fail();
  return -1;
}

}  // namespace

int own_putinfo(grd::Slot &slot, const GRD_info *info) {
  File *f = state(slot);
  if (f->defined) {
    MESS_print(M_WARN, "GRD_putinfo: The file's definition is written already: %s\n",
               slot.name.c_str());
    return -1;
  }
  if (info) f->pending = *info;
  const GRD_info &p = f->pending;
  if (p.max_x < 1 || p.max_y < 1) {
    // The first grid written gives the size; a file closed without grids
    // still gets its definition.
    if (info) return 0;
    f->defined = true;
    return defined(slot, define(slot, p, 1, 1));
  }
  if (p.max_x > 32767 || p.max_y > 32767) {
    MESS_print(M_WARN, "GRD_putinfo: Grid of %d x %d points does not fit 16-bit sizes: %s\n",
               p.max_x, p.max_y, slot.name.c_str());
    return -1;
  }
  f->defined = true;
  return defined(slot, define(slot, p, p.max_x, p.max_y));
}

int own_write(grd::Slot &slot, GRD_report *grd, int rep_type, int *grd_num) {
  (void)rep_type;
  File *f = state(slot);
  GRD_file &r = slot.rec;
  const Domain &d = grd->domain;
  const long rec = *grd_num;
  if (rec < 0) {
    MESS_print(M_WARN, "GRD_write: No record number %ld: %s\n", rec, slot.name.c_str());
    return -1;
  }
  if (d.nx < 1 || d.ny < 1 || d.nx > 32767 || d.ny > 32767) {
    MESS_print(M_WARN, "GRD_write: Bad grid size %d x %d: %s\n", d.nx, d.ny, slot.name.c_str());
    return -1;
  }
  if (!f->defined) {
    if (f->pending.max_x < 1 || f->pending.max_y < 1) {
      f->pending.max_x = d.nx;
      f->pending.max_y = d.ny;
    }
    if (own_putinfo(slot, nullptr) != 0) return -1;
  }
  if (d.nx > r.x_size || d.ny > r.y_size) {
    MESS_print(M_WARN, "GRD_write: Grid of %d x %d points does not fit the file's %ld x %ld: %s\n",
               d.nx, d.ny, r.x_size, r.y_size, slot.name.c_str());
    return -1;
  }
  const long start[3] = {rec, 0, 0}, count[3] = {1, d.nx, d.ny};
  quiet();
  if (!ok(ncvarput(r.fd, r.values_id[0], start, count, grd->grid), "GRD_write", "ncvarput",
          slot.name)) {
    slot.made.fail();
    return -1;
  }
  bool good = put_text_var(slot, r.datim_id, rec, grd->datim) &&
              put_text_var(slot, r.info_id, rec, grd->info);
  if (good && r.grid != 1)
    good = put_short(slot, r.proj_id, rec, d.proj) && put_float(slot, r.lat1_id, rec, d.clat) &&
           put_float(slot, r.lat2_id, rec, d.plat) && put_float(slot, r.lon1_id, rec, d.clon) &&
           put_float(slot, r.lon2_id, rec, d.plon) && put_float(slot, r.dx_id, rec, d.dx) &&
           put_float(slot, r.dy_id, rec, d.dy);
  good = good && put_short(slot, r.source_id, rec, grd->source) &&
         put_short(slot, r.version_id, rec, grd->version) &&
         put_short(slot, r.model_id, rec, grd->model) &&
         put_short(slot, r.type_id, rec, grd->type) &&
         put_short(slot, r.ltype_id, rec, grd->ltype) &&
         put_short(slot, r.level_id, rec, grd->level) &&
         put_short(slot, r.time_id, rec, grd->time) && put_short(slot, r.var_id, rec, grd->var) &&
         put_short(slot, r.nx_id, rec, d.nx) && put_short(slot, r.ny_id, rec, d.ny);
  if (!good) {
    // A record written in part: the file is not put in place.
    slot.made.fail();
    return -1;
  }
  if (rec >= r.max_num) r.max_num = rec + 1;
  return 0;
}

int own_getinfo(grd::Slot &slot, GRD_info *info) {
  GRD_file &r = slot.rec;
  const int nc = r.fd;
  long len = 0;
  if (!dim_id(nc, "grid", &r.t_dim, &len)) return -1;
  r.max_num = len;
  r.t_size = len;
  r.x_dim = r.y_dim = r.z_dim = -1;
  r.x_size = r.y_size = r.z_size = 0;
  dim_id(nc, "x", &r.x_dim, &r.x_size);
  dim_id(nc, "y", &r.y_dim, &r.y_size);
  dim_id(nc, "string_len", &r.z_dim, &r.z_size);
  if (r.z_size > kMaxStringLen) {
    MESS_print(M_WARN, "GRD_getinfo: Text dimension of %ld characters refused: %s\n", r.z_size,
               slot.name.c_str());
    return -1;
  }
  double v = 0;
  r.grid = num_att(nc, NC_GLOBAL, "grid_type", &v) && v == 1 ? 1 : 0;
  info->grid_type = r.grid;
  info->max_x = static_cast<int>(r.x_size);
  info->max_y = static_cast<int>(r.y_size);
  auto id = [&](const char *name) {
    int i = -1;
    return var_id(nc, name, &i) ? i : -1;
  };
  r.values_id[0] = id("values");
  r.var_num = r.values_id[0] >= 0 ? 1 : 0;
  for (const auto *table : {kCoord, kTexts})
    for (size_t k = 0; k < 2; ++k) r.*table[k].id = id(table[k].name);
  for (const VarDef &d : kProj) r.*d.id = id(d.name);
  for (const VarDef &d : kKeys) r.*d.id = id(d.name);
  Date date;
  DATE_init(&date);
  auto field = [&](const char *name, int lo, int hi) {
    double x = 0;
    return num_att(nc, NC_GLOBAL, name, &x) && x >= lo && x <= hi ? static_cast<int>(x)
                                                                  : KAV_IMISSING;
  };
  date.year = field("year", 0, 9999);
  // Files that kept the year less 1900 come out as the full year too.
  if (date.year != KAV_IMISSING && date.year < 1900) date.year += 1900;
  date.month = field("month", 1, 12);
  date.day = field("day", 1, 31);
  date.hour = field("hour", 0, 23);
  date.min = date.sec = 0;
  info->date = date;
  r.date = date;
  char label[DATE_LABEL_LEN] = "";
  if (date.year != KAV_IMISSING) DATE_make_label(&date, label);
  put_text(info->datim, sizeof info->datim, label);
  put_text(r.datim, sizeof r.datim, label);
  return 0;
}

int own_read(grd::Slot &slot, GRD_report *grd, int rep_type, int *grdnum) {
  GRD_file &r = slot.rec;
  File *f = state(slot);
  if (*grdnum != -1) r.num = *grdnum;
  const long rec = r.num;
  if (rec < 0 || rec >= r.max_num) return -1;
  const char *name = slot.name.c_str();
  auto fail = [&]() { return read_failed(slot, grd, rep_type); };
  if (!get_text_var(slot, r.datim_id, rec, grd->datim, sizeof grd->datim) ||
      !get_text_var(slot, r.info_id, rec, grd->info, sizeof grd->info))
    return fail();
  grd->units[0] = '\0';
  grd->date = r.date;
  Domain &d = grd->domain;
  if (r.grid != 1) {
    if (r.proj_id >= 0) d.proj = ikey(slot, r.proj_id, rec);
    d.clat = static_cast<float>(key(slot, r.lat1_id, rec));
    d.plat = static_cast<float>(key(slot, r.lat2_id, rec));
    d.clon = static_cast<float>(key(slot, r.lon1_id, rec));
    d.plon = static_cast<float>(key(slot, r.lon2_id, rec));
    d.dx = static_cast<float>(key(slot, r.dx_id, rec));
    d.dy = static_cast<float>(key(slot, r.dy_id, rec));
  }
  grd->source = ikey(slot, r.source_id, rec);
  grd->version = ikey(slot, r.version_id, rec);
  grd->model = ikey(slot, r.model_id, rec);
  if (r.grid == 1 || r.proj_id < 0) d.proj = grd->model > 9 ? 2 : 1;
  grd->type = ikey(slot, r.type_id, rec);
  grd->ltype = ikey(slot, r.ltype_id, rec);
  grd->level = ikey(slot, r.level_id, rec);
  grd->time = ikey(slot, r.time_id, rec);
  grd->var = ikey(slot, r.var_id, rec);
  d.nx = ikey(slot, r.nx_id, rec);
  d.ny = ikey(slot, r.ny_id, rec);
  if (d.nx < 1 || d.ny < 1 || d.nx > r.x_size || d.ny > r.y_size) {
    MESS_print(M_WARN,
               "GRD_read: Grid %ld of %d x %d points does not fit the file's %ld x %ld: %s\n", rec,
               d.nx, d.ny, r.x_size, r.y_size, name);
    return fail();
  }
  *grdnum = static_cast<int>(rec);
  if (rep_type != 0) return 0;
  int type = 0, nd = 0;
  if (r.values_id[0] < 0 || !var_type(r.fd, r.values_id[0], &type, &nd) || type != NC_FLOAT ||
      nd != 3) {
    MESS_print(M_WARN, "GRD_read: No float variable \"values\" of 3 dimensions: %s\n", name);
    return fail();
  }
  const long points = static_cast<long>(d.nx) * d.ny;
  if (!f->hdf5 && f->file_size >= 0 && points > f->file_size / 4) {
    MESS_print(M_WARN, "GRD_read: Grid %ld of %d x %d points is larger than the file: %s\n", rec,
               d.nx, d.ny, name);
    return fail();
  }
  if (!size_grid(grd, d.nx, d.ny, name)) return fail();
  const long start[3] = {rec, 0, 0}, count[3] = {1, d.nx, d.ny};
  quiet();
  if (!ok(ncvarget(r.fd, r.values_id[0], start, count, grd->grid), "GRD_read", "ncvarget", name))
    return fail();
  return 0;
}

}  // namespace kav::cdf

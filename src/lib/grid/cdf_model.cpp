// The older model-output netCDF files: one variable per field over
// longitude, latitude and optionally level and forecast time, a reference
// date, and a title that tells the kind of file. Read only.
#include <kav/cdf.h>
#include <kav/date.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/var_tool.h>
#include <netcdf.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "grid/cdf_int.hpp"
#include "grid/grd_read_int.hpp"

namespace kav::cdf {
namespace {

constexpr long kMaxCoord = 1L << 24;  // longest coordinate vector read
constexpr double kHuge = 1e30;        // values at or above it are missing

bool any_of(const std::string &s, std::initializer_list<const char *> names) {
  for (const char *n : names)
    if (s == n) return true;
  return false;
}

bool begins(const std::string &s, const char *prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// The variable code of a field variable from its name and units; -1 when the
// name is not one of the fields.
int field_code(const std::string &name, const std::string &units) {
  auto is = [&](std::initializer_list<const char *> names) {
    for (const char *n : names)
      if (stricmp(name.c_str(), n) == 0) return true;
    return false;
  };
  if (is({"pressure", "Psl", "Ptrop", "Pmaxwind", "P"}))
    return any_of(units, {"pascals", "Pa"}) ? 101 : 1;
  if (is({"gpt_hgt", "H", "Zsfc", "Ztrop", "Zwind", "Z"}))
    return any_of(units, {"geopotential meters", "gp m"}) ? 102 : 2;
  if (is({"temp", "Ttrop", "T"})) {
    if (any_of(units, {"celsius", "degC"})) return 4;
    return begins(units, "kelvin") || begins(units, "degK") ? 104 : 4;
  }
  if (is({"rel_hum", "RH"})) return 13;
  if (is({"lift_indx", "LI"})) return 15;
  if (is({"u_wind", "Utrop", "Umaxwind", "Usfc", "U"})) return 23;
  if (is({"v_wind", "Vtrop", "Vmaxwind", "Vsfc", "V"})) return 24;
  if (is({"vert_vel", "omega"}))
    return any_of(units, {"pascals/second", "Pa/second", "Pa/s"}) ? 140 : 40;
  if (is({"precip"})) return 50;
  if (is({"snow"})) return 51;
  if (is({"sea_temp", "SST"})) {
    if (units == "0.5 degC") return 61;
    if (any_of(units, {"degC", "celsius"})) return 62;
    return units == "degK" ? 161 : 61;
  }
  if (is({"wave_hgt"})) return units == "meters" ? 164 : 64;
  if (is({"wave_per"})) return 76;
  if (is({"wave_dir"})) return begins(units, "degrees") && units != "10 degrees" ? 175 : 75;
  return -1;
}

int file_kind(const std::string &title, bool has_rtime) {
  int kind = 1;
  if (title.compare(0, 8, "NMC Earl") == 0)
    kind = 10;
  else if (title.compare(0, 8, "NMC Exte") == 0)
    kind = 20;
  else if (title.compare(0, 6, "ECMWF:") == 0)
    kind = 30;
  else if (title.compare(0, 8, "NMC Glob") == 0)
    kind = 40;
  if (title.find("Trop") != std::string::npos) kind += 1;
  if (title.find("Maximum") != std::string::npos) kind += 2;
  if (title.find("72 hours") != std::string::npos) kind += 3;
  if (!has_rtime) kind += 100;
  return kind;
}

// Finds the first of two dimension names; id and length -1 when neither.
void find_dim(int nc, const char *a, const char *b, int *id, long *len) {
  *id = -1;
  *len = -1;
  if (!dim_id(nc, a, id, len) && b) dim_id(nc, b, id, len);
}

int find_var(int nc, const char *a, const char *b = nullptr) {
  int id = -1;
  if (!var_id(nc, a, &id) && b) var_id(nc, b, &id);
  return id;
}

bool coord(int nc, int var, long len, long bound, std::vector<double> &out) {
  out.clear();
  if (var < 0 || len < 1) return true;
  if (len > kMaxCoord || (bound >= 0 && len > bound)) return false;
  return read_vector(nc, var, len, out);
}

int clamp_date(double v, int lo, int hi, int fallback) {
  return std::isfinite(v) && v >= lo && v <= hi ? static_cast<int>(v) : fallback;
}

// Any year from 1900 on is itself; two-digit years are of this century below
// 50 and of the last one from 50; anything else is 1980.
int full_year(double y) {
  if (!std::isfinite(y)) return 1980;
  if (y >= 1900 && y <= 9999) return static_cast<int>(y);
  if (y >= 0 && y < 50) return 2000 + static_cast<int>(y);
  if (y >= 50 && y < 100) return 1900 + static_cast<int>(y);
  return 1980;
}

void read_ref_date(int nc, Date &ref) {
  DATE_init(&ref);
  const long zero[CDF_MAX_DIMS] = {};
  double y = -1, mo = -1, d = -1, h = -1;
  const int year = find_var(nc, "year");
  if (year >= 0) {
    read_one(nc, year, zero, &y);
    const int m = find_var(nc, "month"), dd = find_var(nc, "day"), hh = find_var(nc, "hour");
    if (m >= 0) read_one(nc, m, zero, &mo);
    if (dd >= 0) read_one(nc, dd, zero, &d);
    if (hh >= 0) read_one(nc, hh, zero, &h);
  } else {
    const int rt = find_var(nc, "reftime");
    char text[17] = {};
    int type = 0, nd = 0;
    if (rt >= 0 && var_type(nc, rt, &type, &nd) && type == NC_CHAR && nd >= 1 &&
        nd <= CDF_MAX_DIMS) {
      long start[CDF_MAX_DIMS] = {}, count[CDF_MAX_DIMS];
      for (int i = 0; i < nd; ++i) count[i] = 1;
      char name[NC_MAX_NAME + 1];
      std::vector<int> dims(NC_MAX_VAR_DIMS);
      nc_type t{};
      int natts = 0;
      long len = 0;
      if (ncvarinq(nc, rt, name, &t, &nd, dims.data(), &natts) >= 0 &&
          ncdiminq(nc, dims[static_cast<size_t>(nd - 1)], name, &len) >= 0) {
        count[nd - 1] = len < 16 ? len : 16;
        if (count[nd - 1] < 1 || ncvarget(nc, rt, start, count, text) < 0) text[0] = '\0';
      }
      text[16] = '\0';
      std::sscanf(text, "%lf %lf %lf %lf", &y, &mo, &d, &h);
    }
  }
  ref.year = full_year(y);
  ref.month = clamp_date(mo, 1, 12, 1);
  ref.day = clamp_date(d, 1, 31, 1);
  ref.hour = clamp_date(h, 0, 23, 0);
  ref.min = ref.sec = 0;
}

bool has_dim(const Field &f, int dim) {
  if (dim < 0) return false;
  for (int d : f.dims)
    if (d == dim) return true;
  return false;
}

}  // namespace

bool model_recognise(int nc) {
  std::string text;
  if (text_att(nc, NC_GLOBAL, "Conventions", text) &&
      (begins(text, "CF") || begins(text, "COARDS")))
    return false;
  for (const char *d : {"frtime", "anltime", "rtime"})
    if (dim_id(nc, d, nullptr, nullptr)) return true;
  for (const char *v : {"reftime", "grib_model", "grib_center"})
    if (find_var(nc, v) >= 0) return true;
  if (text_att(nc, NC_GLOBAL, "title", text) && file_kind(text, true) != 1) return true;
  return false;
}

int model_getinfo(grd::Slot &slot, GRD_info *info) {
  File *f = state(slot);
  GRD_file &r = slot.rec;
  const int nc = r.fd;
  const char *fname = slot.name.c_str();
  find_dim(nc, "lon", "x", &r.x_dim, &r.x_size);
  find_dim(nc, "lat", "y", &r.y_dim, &r.y_size);
  find_dim(nc, "level", "plevl", &r.z_dim, &r.z_size);
  find_dim(nc, "frtime", "anltime", &r.t_dim, &r.t_size);
  int rtime = -1, text_dim = -1;
  long rlen = 0, tlen = 0;
  const bool has_rtime = dim_id(nc, "rtime", &rtime, &rlen);
  if (!dim_id(nc, "name_len", &text_dim, &tlen)) dim_id(nc, "timelen", &text_dim, &tlen);
  f->lat_dim = r.y_dim;
  f->lon_dim = r.x_dim;
  f->level_dim = r.z_dim;
  f->time_dim = r.t_dim;
  const long bound = f->hdf5 ? -1 : f->file_size;
  const int lat = find_var(nc, "lat"), lon = find_var(nc, "lon");
  const int lev = find_var(nc, "level", "plevl"), hrs = find_var(nc, "frtime", "anlhour");
  if (!coord(nc, lat, r.y_size, bound, f->lat) || !coord(nc, lon, r.x_size, bound, f->lon) ||
      !coord(nc, lev, r.z_size, bound, f->level) || !coord(nc, hrs, r.t_size, bound, f->hours)) {
    MESS_print(M_WARN, "GRD_getinfo: Unreadable coordinates: %s\n", fname);
    return -1;
  }
  if (lat < 0) f->lat.clear();
  f->center_var = find_var(nc, "grib_center");
  f->model_var = find_var(nc, "grib_model");

  // The field variables, in the file's order; the user's first.
  f->fields.clear();
  f->first_grid.clear();
  f->total = 0;
  int ndims = 0, nvars = 0, natts = 0, rec_dim = -1;
  quiet();
  if (!ok(ncinquire(nc, &ndims, &nvars, &natts, &rec_dim), "GRD_getinfo", "ncinquire", fname))
    return -1;
  auto add = [&](int id, int code) {
    Field fl;
    char name[NC_MAX_NAME + 1] = "";
    nc_type t{};
    int nd = 0, na = 0;
    std::vector<int> dims(NC_MAX_VAR_DIMS);
    if (ncvarinq(nc, id, name, &t, &nd, dims.data(), &na) < 0 || nd > CDF_MAX_DIMS) return;
    fl.id = id;
    fl.name = name;
    fl.code = code;
    fl.ndims = nd;
    fl.dims.assign(dims.begin(), dims.begin() + nd);
    // A field lies over latitude then longitude, as its last two dimensions.
    if (nd < 2 || fl.dims[static_cast<size_t>(nd - 2)] != r.y_dim ||
        fl.dims[static_cast<size_t>(nd - 1)] != r.x_dim || type_size(t) == 0 || t == NC_CHAR)
      return;
    if (f->fields.size() >= GRD_MAX_VARS) {
      MESS_print(M_DEBUG, "GRD_getinfo: More than %d fields; %s left out: %s\n", GRD_MAX_VARS, name,
                 fname);
      return;
    }
    fl.grids = (has_dim(fl, r.t_dim) ? r.t_size : 1) * (has_dim(fl, r.z_dim) ? r.z_size : 1);
    if (fl.grids < 1) return;
    MESS_print(0x20000000u, "VAR: %d %s\n", code, name);
    f->first_grid.push_back(f->total);
    f->total += fl.grids;
    f->fields.push_back(fl);
  };
  int user = -1;
  if (r.var_nm[0] && var_id(nc, r.var_nm, &user)) add(user, 0);
  for (int id = 0; id < nvars; ++id) {
    if (id == user) continue;
    char name[NC_MAX_NAME + 1] = "";
    nc_type t{};
    int nd = 0, na = 0;
    std::vector<int> dims(NC_MAX_VAR_DIMS);
    if (ncvarinq(nc, id, name, &t, &nd, dims.data(), &na) < 0) continue;
    std::string units;
    text_att(nc, id, "units", units);
    const int code = field_code(name, units);
    if (code >= 0) add(id, code);
  }
  r.var_num = static_cast<int>(f->fields.size());
  for (size_t i = 0; i < f->fields.size(); ++i) {
    r.var[i] = f->fields[i].code;
    r.values_id[i] = f->fields[i].id;
  }
  r.max_num = f->total;
  r.cur_var = -1;
  read_ref_date(nc, f->ref);
  r.date = f->ref;
  info->date = f->ref;
  char label[DATE_LABEL_LEN] = "";
  DATE_make_label(&f->ref, label);
  put_text(info->datim, sizeof info->datim, label);
  put_text(r.datim, sizeof r.datim, label);
  std::string title;
  text_att(nc, NC_GLOBAL, "title", title);
  f->kind = file_kind(title, has_rtime);
  r.itype = f->kind;
  info->grid_type = 0;
  info->max_x = static_cast<int>(r.x_size);
  info->max_y = static_cast<int>(r.y_size);
  return 0;
}

int model_read(grd::Slot &slot, GRD_report *grd, int rep_type, int *grdnum) {
  File *f = state(slot);
  GRD_file &r = slot.rec;
  const int nc = r.fd;
  const char *fname = slot.name.c_str();
  const long n = *grdnum == -1 ? r.num : *grdnum;
  if (n < 0 || n >= f->total) return -1;
  auto fail = [&]() { return read_failed(slot, grd, rep_type); };
  const size_t fi = field_of(*f, n);
  const Field &fl = f->fields[fi];
  if (static_cast<int>(fi) != r.cur_var) {
    r.cur_var = static_cast<int>(fi);
    const int last = r.itype % 100;
    if ((last >= 40 && last <= 49) || (last >= 10 && last % 10 == 0)) {
      const int tail = fl.name.find("trop") != std::string::npos      ? 41
                       : fl.name.find("maxwind") != std::string::npos ? 42
                                                                      : 40;
      r.itype = r.itype / 100 * 100 + tail;
    }
  }
  const int kind = r.itype % 100;
  const long k = n - f->first_grid[fi];
  const int code = fl.code;
  const bool has_t = has_dim(fl, r.t_dim), has_z = has_dim(fl, r.z_dim);
  long ti = 0, li = 0;
  grd->type = 1;
  grd->version = 1;
  grd->datim[0] = grd->info[0] = grd->units[0] = '\0';
  grd->var = code;
  grd->date = f->ref;
  auto key_at = [&](int var, long index) {
    double v = 0;
    const long idx[CDF_MAX_DIMS] = {index};
    return var >= 0 && read_one(nc, var, idx, &v) && std::isfinite(v) && std::fabs(v) < 1e9
               ? static_cast<int>(v)
               : 0;
  };
  auto hour_at = [&](long i) {
    const double v =
        static_cast<size_t>(i) < f->hours.size() ? f->hours[static_cast<size_t>(i)] : 0;
    return std::isfinite(v) && std::fabs(v) < 1e9 ? static_cast<int>(v) : 0;
  };
  if (has_t) {
    ti = has_z ? k / r.z_size : k;
    grd->source = key_at(f->center_var, ti);
    grd->model = key_at(f->model_var, ti);
    grd->time = hour_at(ti);
  } else {
    grd->source = key_at(f->center_var, 0);
    grd->model = key_at(f->model_var, 0);
    grd->time = 0;
  }
  if (has_t && has_z) {
    li = k % r.z_size;
    const double lv =
        static_cast<size_t>(li) < f->level.size() ? f->level[static_cast<size_t>(li)] : 0;
    grd->level = std::isfinite(lv) && std::fabs(lv) < 1e9 ? static_cast<int>(lv) : 0;
    grd->ltype = 10;
  } else if (has_t) {
    grd->level = 0;
    if (code == 1 || code == 101)
      grd->ltype = 12;
    else if (code == 2 || code == 102 || code == 50 || (grd->model == 10 && code == 23))
      grd->ltype = 1;
    else
      grd->ltype = grd->model == 10 ? 12 : 9;
    if (kind >= 11 && kind <= 91 && kind % 10 == 1) grd->ltype = 7;
    if (kind >= 12 && kind <= 92 && kind % 10 == 2) grd->ltype = 6;
    if (kind == 20 && code == 2) {
      grd->ltype = 10;
      grd->level = 500;
    }
  } else {
    if (has_z) li = k;
    grd->ltype = 1;
    grd->level = 0;
    if (kind == 13) {
      grd->ltype = 10;
      grd->level = 500;
      grd->time = 72;
    }
  }

  // Domain.
  Domain &d = grd->domain;
  for (float &p : d.param) p = KAV_MISSING;
  d.plat = d.plon = KAV_MISSING;
  d.proj = KAV_IMISSING;
  d.nx = static_cast<int>(r.x_size);
  d.ny = static_cast<int>(r.y_size);
  d.clat = d.clon = d.dx = d.dy = KAV_MISSING;
  bool domain = false, flip = true;
  if (!f->lat.empty() && !f->lon.empty()) {
    const double lat0 = f->lat.front(), lon0 = f->lon.front();
    double dy = f->lat.size() > 1 ? f->lat[1] - lat0 : 0;
    double dx = f->lon.size() > 1 ? f->lon[1] - lon0 : 0;
    // A single row or column takes the other axis's spacing.
    if (f->lat.size() < 2) dy = std::fabs(dx);
    if (f->lon.size() < 2) dx = std::fabs(dy);
    if (dx == 0 && dy == 0) dx = dy = 1;
    flip = dy >= 0;  // rows stored south first end at the bottom
    d.proj = 2;
    d.dy = static_cast<float>(std::fabs(dy));
    d.dx = static_cast<float>(dx);
    d.clat = static_cast<float>(lat0 + dy * (d.ny - 1) / 2.0);
    d.clon = static_cast<float>(lon0 + dx * (d.nx - 1) / 2.0);
    domain = true;
  } else if (r.x_size == 83 && r.y_size == 83) {
    d.proj = 1;
    d.nx = d.ny = 83;
    d.clat = 50.8936f;
    d.clon = -103.1524f;
    d.plon = -105;
    d.dx = d.dy = 0.9075464f;
    domain = true;
  }
  bool widen = false;
  const int model = grd->model;
  if (model == 39 || model == 64) {
    grd->type = 50;
  } else if (model == 83 && !domain) {
    grd->type = 211;
    d.proj = 4;
    d.nx = 93;
    d.ny = 65;
    d.clat = 40.62f;
    d.clon = -100.51f;
    d.dx = d.dy = 0.6263f;
    d.plon = -95;
    d.param[0] = 25;
    d.param[1] = 25;
    d.param[2] = 1.277f;
  } else if (model == 69 || model == 78) {
    grd->type = 11;
    if (grd->time >= 73 && d.nx == 72) {
      widen = true;
      d.nx = 73;
      d.clon += d.dx / 2;
    }
  } else if (model == 77 || model == 10 || model == 25 || model == 44 || model == 31 ||
             model == 40) {
    grd->type = 11;
  }

  // The fixed domains describe the file's grid only when it has their size.
  if (!widen && (d.nx != r.x_size || d.ny != r.y_size)) {
    d.nx = static_cast<int>(r.x_size);
    d.ny = static_cast<int>(r.y_size);
  }

  // Where the grid lies in the variable.
  long start[CDF_MAX_DIMS] = {}, count[CDF_MAX_DIMS] = {};
  for (int i = 0; i < fl.ndims; ++i) {
    const int dim = fl.dims[static_cast<size_t>(i)];
    count[i] = 1;
    if (dim == r.t_dim) start[i] = ti;
    if (dim == r.z_dim) start[i] = li;
  }
  const long fnx = r.x_size, fny = r.y_size;
  count[fl.ndims - 2] = fny;
  count[fl.ndims - 1] = fnx;
  double first = 0;
  if (read_one(nc, fl.id, start, &first) && first >= kHuge) {
    grd->source = grd->var = grd->ltype = grd->level = grd->time = 0;
  }
  if (code == 50) {
    if (const char *qp = std::getenv("GRIBQP")) grd->time += std::atoi(qp);
  }

  // Labels.
  char buf[VAR_LABEL_LEN] = "";
  if (code != 0) {
    const char *units = GRIB_cdf_units(code);
    VAR_make_datatype(grd->time, grd->ltype, grd->level, code, units, buf);
    put_text(grd->units, sizeof grd->units, units ? units : "");
    put_text(grd->info, sizeof grd->info, buf);
  } else {
    std::string ln, un;
    text_att(nc, fl.id, "long_name", ln);
    text_att(nc, fl.id, "units", un);
    put_text(grd->units, sizeof grd->units, un);
    put_text(grd->info, sizeof grd->info, ln + " (" + un + ")");
  }
  char label[DATE_LABEL_LEN] = "";
  DATE_make_label_for_time(grd->time, grd->model, &grd->date, label);
  put_text(grd->datim, sizeof grd->datim, label);

  r.num = static_cast<int>(n);
  *grdnum = static_cast<int>(n);
  if (rep_type != 0) return 0;
  if (fnx < 1 || fny < 1 || fnx > GRD_MAX_POINTS / fny) {
    MESS_print(M_WARN, "GRD_read: Grid of %ld x %ld points refused: %s\n", fnx, fny, fname);
    return fail();
  }
  int type = 0, nd = 0;
  var_type(nc, fl.id, &type, &nd);
  const size_t points = static_cast<size_t>(fnx * fny);
  if (!f->hdf5 && f->file_size >= 0 &&
      points > static_cast<size_t>(f->file_size) / type_size(type)) {
    MESS_print(M_WARN, "GRD_read: Grid %ld is larger than the file: %s\n", n, fname);
    return fail();
  }
  if (!size_grid(grd, widen ? fnx + 1 : fnx, fny, fname)) return fail();
  float *v = grd->grid;
  quiet();
  if (type == NC_FLOAT) {
    if (!ok(ncvarget(nc, fl.id, start, count, v), "GRD_read", "ncvarget", slot.name)) return fail();
  } else {
    std::vector<double> raw(points);
    std::vector<double> vals(points);
    if (!ok(ncvarget(nc, fl.id, start, count, raw.data()), "GRD_read", "ncvarget", slot.name))
      return fail();
    to_doubles(type, raw.data(), points, vals.data());
    for (size_t i = 0; i < points; ++i) v[i] = static_cast<float>(vals[i]);
  }
  for (size_t i = 0; i < points; ++i)
    if (!(std::fabs(v[i]) < static_cast<float>(kHuge))) v[i] = KAV_MISSING;
  if (flip) flip_rows(v, static_cast<size_t>(fnx), static_cast<size_t>(fny));
  if (widen) {
    // Rows of 72 become 73, the last column repeating the first.
    const size_t w = static_cast<size_t>(fnx);
    for (size_t j = static_cast<size_t>(fny); j-- > 0;) {
      std::memmove(v + j * (w + 1), v + j * w, w * sizeof(float));
      v[j * (w + 1) + w] = v[j * (w + 1)];
    }
  }
  return 0;
}

}  // namespace kav::cdf

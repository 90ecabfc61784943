// CF files: gridded data on 1-D latitude and longitude coordinates, with an
// optional time coordinate ("hours since ...") and vertical coordinate, and
// values that may be packed (scale_factor, add_offset) and carry fill values.
// Each 2-D slice of each data variable is one grid, north-up.
#include <kav/cdf.h>
#include <kav/date.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/var_tool.h>
#include <netcdf.h>

#include <algorithm>
#include <cctype>
#include <climits>
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

// What a variable of the file is.
struct VarInfo {
  int id = -1;
  std::string name;
  int type = 0;
  std::vector<int> dims;
  std::string units, standard_name, axis, positive;
};

std::string lower(std::string s) {
  for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool one_of(const std::string &s, std::initializer_list<const char *> names) {
  for (const char *n : names)
    if (s == n) return true;
  return false;
}

bool is_lat(const VarInfo &v) {
  const std::string u = lower(v.units), n = lower(v.name);
  return v.standard_name == "latitude" ||
         one_of(u, {"degrees_north", "degree_north", "degree_n", "degrees_n", "degreen",
                    "degreesn"}) ||
         one_of(n, {"lat", "latitude"});
}

bool is_lon(const VarInfo &v) {
  const std::string u = lower(v.units), n = lower(v.name);
  return v.standard_name == "longitude" ||
         one_of(u,
                {"degrees_east", "degree_east", "degree_e", "degrees_e", "degreee", "degreese"}) ||
         one_of(n, {"lon", "longitude"});
}

// GRIB edition-1 parameters of common CF standard names.
int code_of(const std::string &standard_name) {
  static const struct {
    const char *name;
    int code;
  } kCodes[] = {
      {"surface_air_pressure", 1},      {"air_pressure_at_mean_sea_level", 2},
      {"air_pressure_at_sea_level", 2}, {"geopotential", 6},
      {"geopotential_height", 7},       {"air_temperature", 11},
      {"dew_point_temperature", 17},    {"eastward_wind", 33},
      {"northward_wind", 34},           {"lagrangian_tendency_of_air_pressure", 39},
      {"specific_humidity", 51},        {"relative_humidity", 52},
      {"precipitation_amount", 61},     {"cloud_area_fraction", 71},
      {"sea_surface_temperature", 80},
  };
  for (const auto &c : kCodes)
    if (standard_name == c.name) return c.code;
  return 0;
}

// Days from 1970-01-01 of a proleptic Gregorian date.
long long days_from_civil(long long y, long long m, long long d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Reads "UNIT since YYYY-MM-DD[ T]hh:mm:ss": seconds per unit and the base
// in seconds since 1970. False for anything else.
bool time_units(const std::string &units, double *per, double *base) {
  const size_t at = units.find(" since ");
  if (at == std::string::npos) return false;
  const std::string unit = lower(units.substr(0, at));
  if (one_of(unit, {"seconds", "second", "secs", "sec", "s"}))
    *per = 1;
  else if (one_of(unit, {"minutes", "minute", "mins", "min"}))
    *per = 60;
  else if (one_of(unit, {"hours", "hour", "hrs", "hr", "h"}))
    *per = 3600;
  else if (one_of(unit, {"days", "day", "d"}))
    *per = 86400;
  else
    return false;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0;
  double s = 0;
  const char *p = units.c_str() + at + 7;
  while (*p == ' ') ++p;
  int used = 0;
  if (std::sscanf(p, "%d-%d-%d%n", &y, &mo, &d, &used) != 3) return false;
  p += used;
  if (*p == 'T' || *p == ' ') {
    ++p;
    int hm = 0;
    if (std::sscanf(p, "%d:%d%n", &h, &mi, &hm) == 2) {
      p += hm;
      if (*p == ':') std::sscanf(p + 1, "%lf", &s);
    }
  }
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 24 || mi < 0 || mi > 59 ||
      !(s >= 0 && s < 61) || y < -100000 || y > 100000)
    return false;
  *base = static_cast<double>(days_from_civil(y, mo, d)) * 86400.0 + h * 3600.0 + mi * 60.0 + s;
  return true;
}

bool date_of(double secs, Date *date) {
  if (!std::isfinite(secs) || std::fabs(secs) > 3.0e11) {
    DATE_init(date);
    return false;
  }
  const int64_t t = static_cast<int64_t>(std::floor(secs + 0.5));
  return DATE_get_gmdate(&t, date) == 0;
}

// Level type and factor of a vertical coordinate; false when it is none.
bool vertical(const VarInfo &v, int *ltype, double *scale) {
  const std::string u = lower(v.units), sn = v.standard_name;
  *scale = 1;
  if (one_of(u, {"pa", "pascal", "pascals"})) {
    *ltype = 100;
    *scale = 0.01;
  } else if (one_of(u, {"hpa", "mb", "mbar", "millibar", "millibars", "hectopascal",
                        "hectopascals"})) {
    *ltype = 100;
  } else if (sn == "atmosphere_sigma_coordinate") {
    *ltype = 107;
    *scale = 10000;
  } else if (sn == "air_potential_temperature" || u == "k") {
    *ltype = 113;
  } else if (sn == "height") {
    *ltype = 105;
  } else if (sn == "altitude") {
    *ltype = 103;
  } else if (v.axis == "Z" || !v.positive.empty()) {
    *ltype = 0;
  } else {
    return false;
  }
  return true;
}

struct Packing {
  double scale = 1, offset = 0;
  bool packed = false;
  bool has_fill = false, has_missing = false;
  double fill = 0, missing = 0;
  double lo = -HUGE_VAL, hi = HUGE_VAL;
};

Packing packing(int nc, int var) {
  Packing p;
  double v = 0;
  if (num_att(nc, var, "scale_factor", &v)) {
    p.scale = v;
    p.packed = true;
  }
  if (num_att(nc, var, "add_offset", &v)) {
    p.offset = v;
    p.packed = true;
  }
  p.has_fill = num_att(nc, var, "_FillValue", &p.fill);
  p.has_missing = num_att(nc, var, "missing_value", &p.missing);
  nc_type type{};
  int len = 0;
  quiet();
  if (ncattinq(nc, var, "valid_range", &type, &len) >= 0 && len == 2 && type != NC_CHAR) {
    std::vector<double> raw(2);
    if (ncattget(nc, var, "valid_range", raw.data()) >= 0) {
      double two[2] = {0, 0};
      to_doubles(type, raw.data(), 2, two);
      p.lo = two[0];
      p.hi = two[1];
    }
  }
  if (num_att(nc, var, "valid_min", &v)) p.lo = v;
  if (num_att(nc, var, "valid_max", &v)) p.hi = v;
  return p;
}

// What clean_rows keeps: values in [lo, hi] other than fill and miss (NaN
// when the file has none).
struct Valid {
  float lo, hi, fill, miss;
};

inline float keep(float x, const Valid &c) {
  const bool good = (x >= c.lo) & (x <= c.hi) & (x != c.fill) & (x != c.miss);
  return good ? x : KAV_MISSING;
}

// g++ is asked to vectorise the loop below whatever the optimisation level;
// clang vectorises it at -O2 unasked and knows no such attribute.
#if defined(__GNUC__) && !defined(__clang__)
#define KAV_VECTORIZE __attribute__((optimize("tree-vectorize")))
#else
#define KAV_VECTORIZE
#endif

// Marks the values outside what is valid missing and, with flip, reverses
// the row order in the same pass; written without branches so that the
// compiler makes it vector code.
KAV_VECTORIZE void clean_rows(float *v, size_t nx, size_t ny, bool flip, Valid c) {
  if (!flip) {
    for (size_t i = 0; i < nx * ny; ++i) v[i] = keep(v[i], c);
    return;
  }
  for (size_t top = 0, bottom = ny - 1; top <= bottom && bottom < ny; ++top, --bottom) {
    float *a = v + top * nx, *b = v + bottom * nx;
    if (a == b) {
      for (size_t i = 0; i < nx; ++i) a[i] = keep(a[i], c);
      break;
    }
    for (size_t i = 0; i < nx; ++i) {
      const float x = a[i], y = b[i];
      a[i] = keep(y, c);
      b[i] = keep(x, c);
    }
    if (bottom == 0) break;
  }
}

float unpack(const Packing &p, double raw) {
  if (!std::isfinite(raw) || std::fabs(raw) >= 1e30) return KAV_MISSING;
  if (p.has_fill && raw == p.fill) return KAV_MISSING;
  if (p.has_missing && raw == p.missing) return KAV_MISSING;
  if (raw < p.lo || raw > p.hi) return KAV_MISSING;
  const double v = raw * p.scale + p.offset;
  return std::fabs(v) < 1e30 ? static_cast<float>(v) : KAV_MISSING;
}

}  // namespace

int cf_getinfo(grd::Slot &slot, GRD_info *info) {
  File *f = state(slot);
  GRD_file &r = slot.rec;
  const int nc = r.fd;
  const char *fname = slot.name.c_str();
  int ndims = 0, nvars = 0, natts = 0, rec_dim = -1;
  quiet();
  if (!ok(ncinquire(nc, &ndims, &nvars, &natts, &rec_dim), "GRD_getinfo", "ncinquire", fname))
    return -1;
  std::vector<VarInfo> vars;
  std::vector<std::string> dim_names(static_cast<size_t>(std::max(ndims, 0)));
  std::vector<long> dim_len(dim_names.size(), 0);
  for (int d = 0; d < ndims; ++d) {
    char name[NC_MAX_NAME + 1] = "";
    long len = 0;
    if (ncdiminq(nc, d, name, &len) >= 0) {
      dim_names[static_cast<size_t>(d)] = name;
      dim_len[static_cast<size_t>(d)] = len;
    }
  }
  std::vector<int> dims(NC_MAX_VAR_DIMS);
  for (int id = 0; id < nvars; ++id) {
    VarInfo v;
    char name[NC_MAX_NAME + 1] = "";
    nc_type t{};
    int nd = 0, na = 0;
    if (ncvarinq(nc, id, name, &t, &nd, dims.data(), &na) < 0 || nd > CDF_MAX_DIMS) continue;
    v.id = id;
    v.name = name;
    v.type = t;
    v.dims.assign(dims.begin(), dims.begin() + nd);
    text_att(nc, id, "units", v.units);
    text_att(nc, id, "standard_name", v.standard_name);
    text_att(nc, id, "axis", v.axis);
    text_att(nc, id, "positive", v.positive);
    vars.push_back(v);
  }
  auto coordinate = [&](const VarInfo &v) {
    return v.dims.size() == 1 && v.dims[0] >= 0 && v.dims[0] < ndims &&
           dim_names[static_cast<size_t>(v.dims[0])] == v.name;
  };
  auto len_of = [&](int dim) {
    return dim >= 0 && dim < ndims ? dim_len[static_cast<size_t>(dim)] : 0;
  };
  // Latitude and longitude: coordinate variables first, then any 1-D one.
  const VarInfo *lat = nullptr, *lon = nullptr, *time = nullptr;
  for (int pass = 0; pass < 2; ++pass)
    for (const VarInfo &v : vars) {
      if (v.dims.size() != 1 || type_size(v.type) == 0 || v.type == NC_CHAR) continue;
      if (pass == 0 && !coordinate(v)) continue;
      if (!lat && is_lat(v)) lat = &v;
      if (!lon && is_lon(v) && &v != lat) lon = &v;
    }
  if (!lat || !lon || lat->dims[0] == lon->dims[0]) {
    MESS_print(M_WARN,
               "GRD_getinfo: No netCDF schema known here (no latitude and longitude "
               "coordinates): %s\n",
               fname);
    return -1;
  }
  double per = 0, base = 0;
  for (const VarInfo &v : vars)
    if (v.dims.size() == 1 && coordinate(v) && time_units(v.units, &per, &base)) {
      time = &v;
      break;
    }
  const long bound = f->hdf5 || f->file_size < 0 ? kMaxCoord : std::min(kMaxCoord, f->file_size);
  f->lat_dim = lat->dims[0];
  f->lon_dim = lon->dims[0];
  r.y_dim = f->lat_dim;
  r.x_dim = f->lon_dim;
  r.y_size = len_of(f->lat_dim);
  r.x_size = len_of(f->lon_dim);
  if (r.x_size < 1 || r.y_size < 1 || r.x_size > bound || r.y_size > bound ||
      !read_vector(nc, lat->id, r.y_size, f->lat) || !read_vector(nc, lon->id, r.x_size, f->lon)) {
    MESS_print(M_WARN, "GRD_getinfo: Unreadable latitude or longitude coordinates: %s\n", fname);
    return -1;
  }
  f->time_dim = -1;
  f->time_sec.clear();
  r.t_dim = -1;
  r.t_size = -1;
  if (time) {
    std::vector<double> t;
    const long n = len_of(time->dims[0]);
    if (n <= bound && read_vector(nc, time->id, n, t)) {
      std::string calendar;
      text_att(nc, time->id, "calendar", calendar);
      calendar = lower(calendar);
      if (!calendar.empty() &&
          !one_of(calendar, {"standard", "gregorian", "proleptic_gregorian", "julian"}))
        MESS_print(M_DEBUG, "GRD_getinfo: Calendar %s read as the Gregorian one: %s\n",
                   calendar.c_str(), fname);
      Packing tp = packing(nc, time->id);
      f->time_dim = time->dims[0];
      r.t_dim = f->time_dim;
      r.t_size = n;
      for (double v : t) f->time_sec.push_back(base + (v * tp.scale + tp.offset) * per);
    }
  }
  // A forecast reference time, when the file names one.
  f->has_ref = false;
  for (const VarInfo &v : vars)
    if (v.dims.empty() && (v.standard_name == "forecast_reference_time" || v.name == "reftime") &&
        time_units(v.units, &per, &base)) {
      double x = 0;
      const long zero[1] = {0};
      if (read_one(nc, v.id, zero, &x)) {
        f->ref_sec = base + x * per;
        f->has_ref = std::isfinite(f->ref_sec);
      }
      break;
    }

  // The data variables and their vertical coordinates.
  f->fields.clear();
  f->first_grid.clear();
  f->levels.clear();
  f->total = 0;
  auto add = [&](const VarInfo &v) {
    const size_t nd = v.dims.size();
    if (nd < 2 || v.dims[nd - 2] != f->lat_dim || v.dims[nd - 1] != f->lon_dim ||
        type_size(v.type) == 0 || v.type == NC_CHAR || &v == lat || &v == lon)
      return;
    Field fl;
    fl.id = v.id;
    fl.name = v.name;
    fl.type = v.type;
    fl.ndims = static_cast<int>(nd);
    fl.dims = v.dims;
    fl.code = code_of(v.standard_name);
    long grids = 1;
    for (size_t i = 0; i + 2 < nd; ++i) {
      const int dim = v.dims[i];
      const long len = len_of(dim);
      if (len < 1) return;  // an empty record dimension: no grids
      if (grids > INT_MAX / len) {
        MESS_print(M_WARN, "GRD_getinfo: Variable %s holds too many grids: %s\n", v.name.c_str(),
                   fname);
        return;
      }
      grids *= len;
      if (dim == f->time_dim) {
        fl.time_axis = static_cast<int>(i);
        continue;
      }
      for (const VarInfo &c : vars) {
        int lt = 0;
        double sc = 1;
        if (!coordinate(c) || c.dims[0] != dim || !vertical(c, &lt, &sc)) continue;
        size_t k = 0;
        while (k < f->levels.size() && f->levels[k].dim != dim) ++k;
        if (k == f->levels.size()) {
          Axis a;
          a.dim = dim;
          a.ltype = lt;
          a.scale = sc;
          if (len > bound || !read_vector(nc, c.id, len, a.values)) break;
          f->levels.push_back(a);
        }
        fl.level_axis = static_cast<int>(i);
        fl.level_set = static_cast<int>(k);
        break;
      }
    }
    if (f->total > INT_MAX - grids) return;
    fl.grids = grids;
    MESS_print(0x20000000u, "VAR: %d %s\n", fl.code, v.name.c_str());
    f->first_grid.push_back(f->total);
    f->total += grids;
    f->fields.push_back(fl);
  };
  int user = -1;
  if (r.var_nm[0] && var_id(nc, r.var_nm, &user))
    for (const VarInfo &v : vars)
      if (v.id == user) add(v);
  for (const VarInfo &v : vars)
    if (v.id != user) add(v);
  if (f->fields.empty()) {
    MESS_print(M_WARN, "GRD_getinfo: No variable on the latitude and longitude grid: %s\n", fname);
    return -1;
  }
  r.var_num = static_cast<int>(std::min<size_t>(f->fields.size(), GRD_MAX_VARS));
  for (int i = 0; i < r.var_num; ++i) {
    r.var[i] = f->fields[static_cast<size_t>(i)].code;
    r.values_id[i] = f->fields[static_cast<size_t>(i)].id;
  }
  r.max_num = f->total;
  r.cur_var = -1;
  r.itype = CDF_ITYPE_CF;
  Date date;
  DATE_init(&date);
  if (f->has_ref)
    date_of(f->ref_sec, &date);
  else if (!f->time_sec.empty())
    date_of(f->time_sec.front(), &date);
  info->date = date;
  r.date = date;
  char label[DATE_LABEL_LEN] = "";
  if (date.year != KAV_IMISSING) DATE_make_label(&date, label);
  put_text(info->datim, sizeof info->datim, label);
  put_text(r.datim, sizeof r.datim, label);
  info->grid_type = 0;
  info->max_x = static_cast<int>(r.x_size);
  info->max_y = static_cast<int>(r.y_size);
  return 0;
}

int cf_read(grd::Slot &slot, GRD_report *grd, int rep_type, int *grdnum) {
  File *f = state(slot);
  GRD_file &r = slot.rec;
  const int nc = r.fd;
  const char *fname = slot.name.c_str();
  const long n = *grdnum == -1 ? r.num : *grdnum;
  if (n < 0 || n >= f->total) return -1;
  auto fail = [&]() { return read_failed(slot, grd, rep_type); };
  const size_t fi = field_of(*f, n);
  const Field &fl = f->fields[fi];
  r.cur_var = static_cast<int>(fi);
  // The leading indices of grid k, the last varying fastest.
  long start[CDF_MAX_DIMS] = {}, count[CDF_MAX_DIMS] = {};
  long k = n - f->first_grid[fi];
  for (int i = fl.ndims - 3; i >= 0; --i) {
    long len = 0;
    char name[NC_MAX_NAME + 1];
    ncdiminq(nc, fl.dims[static_cast<size_t>(i)], name, &len);
    if (len < 1) return fail();
    start[i] = k % len;
    count[i] = 1;
    k /= len;
  }
  const long nx = r.x_size, ny = r.y_size;
  count[fl.ndims - 2] = ny;
  count[fl.ndims - 1] = nx;

  float *keep = grd->grid;  // the values stay the caller's until replaced
  GRD_init(grd);
  grd->grid = keep;
  grd->version = 1;
  grd->var = fl.code;
  grd->time = 0;
  grd->ltype = 1;
  grd->level = 0;
  Date valid;
  DATE_init(&valid);
  if (fl.time_axis >= 0) {
    const double t = f->time_sec[static_cast<size_t>(start[fl.time_axis])];
    if (f->has_ref) {
      date_of(f->ref_sec, &grd->date);
      const double hours = (t - f->ref_sec) / 3600.0;
      grd->time = std::fabs(hours) < 1e8 ? static_cast<int>(std::lround(hours)) : 0;
    } else {
      date_of(t, &grd->date);
    }
  } else {
    grd->date = r.date;
  }
  if (fl.level_set >= 0) {
    const Axis &a = f->levels[static_cast<size_t>(fl.level_set)];
    const size_t li = static_cast<size_t>(start[fl.level_axis]);
    const double lv = li < a.values.size() ? a.values[li] * a.scale : 0;
    grd->ltype = a.ltype;
    grd->level = std::isfinite(lv) && std::fabs(lv) < 1e9 ? static_cast<int>(std::lround(lv)) : 0;
  }
  std::string units, long_name;
  text_att(nc, fl.id, "units", units);
  if (!text_att(nc, fl.id, "long_name", long_name) || long_name.empty()) long_name = fl.name;
  put_text(grd->units, sizeof grd->units, units);
  char buf[VAR_LABEL_LEN] = "";
  if (fl.code != 0) {
    VAR_make_datatype(grd->time, grd->ltype, grd->level, fl.code, units.c_str(), buf);
    put_text(grd->info, sizeof grd->info, buf);
  } else {
    if (grd->ltype > 1) VAR_make_datalevel(grd->time, grd->ltype, grd->level, buf);
    std::string text = buf[0] ? std::string(buf) + " " : std::string();
    text += long_name;
    if (!units.empty()) text += " (" + units + ")";
    put_text(grd->info, sizeof grd->info, text);
  }
  char label[DATE_LABEL_LEN] = "";
  if (grd->date.year != KAV_IMISSING)
    DATE_make_label_for_time(grd->time, grd->model, &grd->date, label);
  put_text(grd->datim, sizeof grd->datim, label);

  // Domain: latitude/longitude, north-up, west to east.
  Domain &d = grd->domain;
  const double lat0 = f->lat.front(), latn = f->lat.back();
  const double lon0 = f->lon.front(), lonn = f->lon.back();
  double dy = ny > 1 ? std::fabs(latn - lat0) / static_cast<double>(ny - 1) : 0;
  double dx = nx > 1 ? std::fabs(lonn - lon0) / static_cast<double>(nx - 1) : 0;
  if (ny < 2) dy = dx;  // a single row or column takes the other's spacing
  if (nx < 2) dx = dy;
  if (dx == 0 && dy == 0) dx = dy = 1;
  d.proj = 2;
  d.nx = static_cast<int>(nx);
  d.ny = static_cast<int>(ny);
  d.dx = static_cast<float>(dx);
  d.dy = static_cast<float>(dy);
  d.clat = static_cast<float>((lat0 + latn) / 2);
  d.clon = static_cast<float>(std::min(lon0, lonn) + dx * static_cast<double>(nx - 1) / 2);
  r.num = static_cast<int>(n);
  *grdnum = static_cast<int>(n);
  if (rep_type != 0) return 0;

  const size_t points = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  const size_t size = type_size(fl.type);
  if (!f->hdf5 && f->file_size >= 0 && points > static_cast<size_t>(f->file_size) / size) {
    MESS_print(M_WARN, "GRD_read: Grid %ld is larger than the file: %s\n", n, fname);
    return fail();
  }
  if (!size_grid(grd, nx, ny, fname)) return fail();
  float *v = grd->grid;
  const Packing p = packing(nc, fl.id);
  quiet();
  if (fl.type == NC_FLOAT && !p.packed) {
    // Straight into the record's array.
    if (!ok(ncvarget(nc, fl.id, start, count, v), "GRD_read", "ncvarget", slot.name)) return fail();
    const float fill = p.has_fill ? static_cast<float>(p.fill) : NAN;
    const float miss = p.has_missing ? static_cast<float>(p.missing) : NAN;
    const float lo = static_cast<float>(std::max(p.lo, -1e30)),
                hi = static_cast<float>(std::min(p.hi, 1e30));
    clean_rows(v, static_cast<size_t>(nx), static_cast<size_t>(ny), ny > 1 && lat0 < latn,
               {lo, hi, fill, miss});
    if (nx > 1 && lon0 > lonn)
      for (long j = 0; j < ny; ++j) std::reverse(v + j * nx, v + (j + 1) * nx);
    return 0;
  } else {
    std::vector<unsigned char> raw(points * size);
    if (!ok(ncvarget(nc, fl.id, start, count, raw.data()), "GRD_read", "ncvarget", slot.name))
      return fail();
    std::vector<double> one(1024);
    for (size_t at = 0; at < points; at += one.size()) {
      const size_t m = std::min(one.size(), points - at);
      to_doubles(fl.type, raw.data() + at * size, m, one.data());
      for (size_t i = 0; i < m; ++i) v[at + i] = unpack(p, one[i]);
    }
  }
  if (ny > 1 && lat0 < latn) flip_rows(v, static_cast<size_t>(nx), static_cast<size_t>(ny));
  if (nx > 1 && lon0 > lonn)
    for (long j = 0; j < ny; ++j) std::reverse(v + j * nx, v + (j + 1) * nx);
  return 0;
}

}  // namespace kav::cdf

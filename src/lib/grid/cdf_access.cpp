// The netCDF access module: one current file, a position vector, and thin
// checked wrappers over the library's version-2 calls. Also the library's
// error mode and the small readers the grid files share.
#include <kav/cdf.h>
#include <kav/files.h>
#include <kav/mess.h>
#include <netcdf.h>

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "console/files_out.hpp"
#include "console/guard.hpp"
#include "grid/cdf_int.hpp"

namespace kav::cdf {
namespace {

// State of the access module.
struct Access {
  int fd = -1;                                                // current netCDF handle, -1 none
  long start[CDF_MAX_DIMS] = {};                              // position of the next call
  long count[CDF_MAX_DIMS] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};  // extent of the next block
  int ndim = 0;                                               // rank of start and count
  int shape[CDF_MAX_DIMS] = {};                               // dimension ids of the next variable
  int shape_n = 0;                                            // their count
  bool loud = true;                                           // library errors reported as warnings
  // Files being created, by handle: each replaces its target at CDF_close.
  std::map<int, std::unique_ptr<kav::Replacement>> made;
};

Access &acc() {
  static Access a;
  return a;
}

// The library's default mode would print and end the process on the first
// error; it is cleared as soon as the library is loaded, and again before
// every call in case a caller changed it.
const bool kQuietAtStart = [] {
  ncopts = 0;
  return true;
}();

bool current(int var) { return acc().fd >= 0 && var >= 0; }

// The result of a call that writes data: one that failed on a file being
// created keeps that file from taking its target's place.
bool written(bool good) {
  Access &a = acc();
  if (!good) {
    const auto it = a.made.find(a.fd);
    if (it != a.made.end()) it->second->fail();
  }
  return good;
}

int def_typed(const char *func, const char *name, nc_type type) {
  Access &a = acc();
  if (a.fd < 0 || !name) return -1;
  quiet();
  const int id = ncvardef(a.fd, name, type, a.shape_n, a.shape);
  return ok(id, func, "ncvardef") ? id : -1;
}

// The stored type of a variable of the current file, 0 when unknown.
// Variables of more dimensions than the position holds are refused.
int stored_type(int var) {
  int type = 0, nd = 0;
  return var_type(acc().fd, var, &type, &nd) && nd <= CDF_MAX_DIMS ? type : 0;
}

// Values in the stored type's bytes from doubles (clamped to the type).
void from_doubles(int type, const double *in, size_t n, unsigned char *out) {
  auto clamp = [](double v, double lo, double hi) {
    return std::isnan(v) ? 0 : (v < lo ? lo : (v > hi ? hi : v));
  };
  for (size_t i = 0; i < n; ++i) {
    const double v = in[i];
    switch (type) {
      case NC_BYTE:
      case NC_CHAR: {
        const auto x = static_cast<signed char>(clamp(v, -128, 127));
        std::memcpy(out + i, &x, 1);
        break;
      }
      case NC_SHORT: {
        const auto x = static_cast<short>(clamp(v, -32768, 32767));
        std::memcpy(out + i * 2, &x, 2);
        break;
      }
      case NC_LONG: {
        const auto x = static_cast<nclong>(clamp(v, INT_MIN, INT_MAX));
        std::memcpy(out + i * 4, &x, 4);
        break;
      }
      case NC_FLOAT: {
        const auto x = static_cast<float>(v);
        std::memcpy(out + i * 4, &x, 4);
        break;
      }
      case NC_DOUBLE:
        std::memcpy(out + i * 8, &v, 8);
        break;
      default:
        break;
    }
  }
}

// Writes one value, converted to the variable's stored type.
int put_one(const char *func, int var, double val) {
  if (!current(var)) return 0;
  const int type = stored_type(var);
  if (type < NC_BYTE || type > NC_DOUBLE) {
    MESS_print(error_type(), "%s: No classic variable %d to write\n", func, var);
    return -1;
  }
  unsigned char raw[8];
  from_doubles(type, &val, 1, raw);
  quiet();
  Access &a = acc();
  return written(ok(ncvarput1(a.fd, var, a.start, raw), func, "ncvarput1")) ? 0 : -1;
}

// Reads one value at the position as a double.
bool get_one(const char *func, int var, double *val) {
  if (!current(var)) return false;
  const int type = stored_type(var);
  if (type_size(type) == 0) return false;
  unsigned char raw[8] = {};
  quiet();
  Access &a = acc();
  if (!ok(ncvarget1(a.fd, var, a.start, raw), func, "ncvarget1")) return false;
  to_doubles(type, raw, 1, val);
  return true;
}

// Values of the current block, or 0 when the block is empty or too large.
size_t block_size() {
  const Access &a = acc();
  size_t n = 1;
  for (int i = 0; i < CDF_MAX_DIMS; ++i) {
    const auto c = static_cast<size_t>(a.count[i]);
    if (c != 0 && n > (size_t{1} << 40) / c) return 0;
    n *= c;
  }
  return n;
}

// Reads the block in the stored type and converts it to want (NC_FLOAT,
// NC_DOUBLE or NC_BYTE) in vals.
bool get_block(const char *func, int var, void *vals, int want) {
  if (!current(var) || !vals) return false;
  const int type = stored_type(var);
  const size_t size = type_size(type);
  if (size == 0) return false;
  Access &a = acc();
  quiet();
  if (type == want) return ok(ncvarget(a.fd, var, a.start, a.count, vals), func, "ncvarget");
  const size_t n = block_size();
  if (n == 0) return false;  // empty, or beyond any buffer
  std::vector<unsigned char> raw(n * size);
  if (!ok(ncvarget(a.fd, var, a.start, a.count, raw.data()), func, "ncvarget")) return false;
  std::vector<double> d(n);
  to_doubles(type, raw.data(), n, d.data());
  for (size_t i = 0; i < n; ++i) {
    if (want == NC_FLOAT)
      static_cast<float *>(vals)[i] = static_cast<float>(d[i]);
    else if (want == NC_DOUBLE)
      static_cast<double *>(vals)[i] = d[i];
    else
      static_cast<signed char *>(vals)[i] =
          static_cast<signed char>(d[i] < -128 ? -128 : (d[i] > 127 ? 127 : d[i]));
  }
  return true;
}

// Writes the block from vals of type have, converted to the stored type.
int put_block(const char *func, int var, const void *vals, int have) {
  if (!current(var)) return 0;
  if (!vals) return -1;
  const int type = stored_type(var);
  if (type < NC_BYTE || type > NC_DOUBLE) return -1;
  Access &a = acc();
  quiet();
  if (type == have || (type == NC_CHAR && have == NC_BYTE))
    return written(ok(ncvarput(a.fd, var, a.start, a.count, vals), func, "ncvarput")) ? 0 : -1;
  const size_t n = block_size();
  if (n == 0) return -1;
  std::vector<double> d(n);
  to_doubles(have, vals, n, d.data());
  std::vector<unsigned char> raw(n * type_size(type));
  from_doubles(type, d.data(), n, raw.data());
  return written(ok(ncvarput(a.fd, var, a.start, a.count, raw.data()), func, "ncvarput")) ? 0 : -1;
}

// Position of one more dimension at index 0, for the text calls; false when
// the position has no room for it.
bool text_block(const char *func, long len, long *start, long *count) {
  Access &a = acc();
  if (a.ndim >= CDF_MAX_DIMS) {
    MESS_print(M_WARN, "%s: Position has %d dimensions; no room for the text's\n", func, a.ndim);
    return false;
  }
  for (int i = 0; i < CDF_MAX_DIMS; ++i) {
    start[i] = i < a.ndim ? a.start[i] : 0;
    count[i] = 1;
  }
  start[a.ndim] = 0;
  count[a.ndim] = len;
  return true;
}

int att_put(const char *func, int id, const char *name, nc_type type, int len, const void *v) {
  if (acc().fd < 0) return -1;
  quiet();
  return ok(ncattput(acc().fd, id, name, type, len, v), func, "ncattput") ? 0 : -1;
}

}  // namespace

void quiet() { ncopts = 0; }

unsigned error_type() { return acc().loud ? M_WARN : M_DEBUG; }

bool ok(int r, const char *func, const char *call, const char *file) {
  if (r != -1) return true;
  const char *text = nc_strerror(ncerr);
  if (!file || !*file)
    MESS_print(error_type(), "%s: netCDF error in %s: %s\n", func, call, text);
  else
    MESS_print(error_type(), "%s: netCDF error in %s: %s (%s)\n", func, call, text, file);
  return false;
}

bool ok(int r, const char *func, const char *call, const std::string &file) {
  return ok(r, func, call, file.c_str());
}

bool dim_id(int nc, const char *name, int *id, long *len) {
  quiet();
  const int d = ncdimid(nc, name);
  if (d < 0) return false;
  char buf[NC_MAX_NAME + 1];
  long n = 0;
  if (ncdiminq(nc, d, buf, &n) < 0) return false;
  if (id) *id = d;
  if (len) *len = n;
  return true;
}

bool var_id(int nc, const char *name, int *id) {
  quiet();
  const int v = ncvarid(nc, name);
  if (v < 0) return false;
  if (id) *id = v;
  return true;
}

bool text_att(int nc, int var, const char *name, std::string &out) {
  quiet();
  nc_type type{};
  int len = 0;
  out.clear();
  if (ncattinq(nc, var, name, &type, &len) < 0 || type != NC_CHAR || len < 0) return false;
  if (len == 0) return true;
  std::vector<char> buf(static_cast<size_t>(len) + 1, '\0');
  if (ncattget(nc, var, name, buf.data()) < 0) return false;
  out.assign(buf.data(), std::strlen(buf.data()));
  if (out.size() > 1023) out.resize(1023);
  return true;
}

size_t type_size(int type) {
  switch (type) {
    case NC_BYTE:
    case NC_CHAR:
    case NC_UBYTE:
      return 1;
    case NC_SHORT:
    case NC_USHORT:
      return 2;
    case NC_LONG:
    case NC_FLOAT:
    case NC_UINT:
      return 4;
    case NC_DOUBLE:
    case NC_INT64:
    case NC_UINT64:
      return 8;
    default:
      return 0;
  }
}

void to_doubles(int type, const void *raw, size_t n, double *out) {
  for (size_t i = 0; i < n; ++i) {
    switch (type) {
      case NC_BYTE:
        out[i] = static_cast<const signed char *>(raw)[i];
        break;
      case NC_CHAR:
        out[i] = static_cast<const unsigned char *>(raw)[i];
        break;
      case NC_SHORT:
        out[i] = static_cast<const short *>(raw)[i];
        break;
      case NC_LONG:
        out[i] = static_cast<const nclong *>(raw)[i];
        break;
      case NC_FLOAT:
        out[i] = static_cast<double>(static_cast<const float *>(raw)[i]);
        break;
      case NC_UBYTE:
        out[i] = static_cast<const unsigned char *>(raw)[i];
        break;
      case NC_USHORT:
        out[i] = static_cast<const unsigned short *>(raw)[i];
        break;
      case NC_UINT:
        out[i] = static_cast<const unsigned *>(raw)[i];
        break;
      case NC_INT64:
        out[i] = static_cast<double>(static_cast<const long long *>(raw)[i]);
        break;
      case NC_UINT64:
        out[i] = static_cast<double>(static_cast<const unsigned long long *>(raw)[i]);
        break;
      default:
        out[i] = static_cast<const double *>(raw)[i];
        break;
    }
  }
}

bool num_att(int nc, int var, const char *name, double *out) {
  quiet();
  nc_type type{};
  int len = 0;
  if (ncattinq(nc, var, name, &type, &len) < 0 || len < 1 || type == NC_CHAR) return false;
  const size_t size = type_size(type);
  if (size == 0) return false;
  // The version-2 call fills as many values as the attribute holds, in its
  // own type.
  std::vector<double> raw(static_cast<size_t>(len));
  if (ncattget(nc, var, name, raw.data()) < 0) return false;
  to_doubles(type, raw.data(), 1, out);
  return true;
}

bool var_type(int nc, int var, int *type, int *ndims) {
  quiet();
  char name[NC_MAX_NAME + 1];
  nc_type t{};
  int nd = 0, natts = 0;
  std::vector<int> dims(NC_MAX_VAR_DIMS);
  if (ncvarinq(nc, var, name, &t, &nd, dims.data(), &natts) < 0) return false;
  if (type) *type = t;
  if (ndims) *ndims = nd;
  return type_size(t) != 0;
}

bool read_vector(int nc, int var, long len, std::vector<double> &out) {
  out.clear();
  if (len < 1) return true;
  int type = 0, nd = 0;
  if (!var_type(nc, var, &type, &nd) || nd != 1) return false;
  std::vector<double> raw(static_cast<size_t>(len));
  const long start = 0, count = len;
  if (ncvarget(nc, var, &start, &count, raw.data()) < 0) return false;
  out.resize(static_cast<size_t>(len));
  if (type == NC_DOUBLE)
    out.swap(raw);
  else
    to_doubles(type, raw.data(), out.size(), out.data());
  return true;
}

bool read_one(int nc, int var, const long *index, double *out) {
  int type = 0, nd = 0;
  if (!var_type(nc, var, &type, &nd) || nd > CDF_MAX_DIMS) return false;
  double raw = 0;
  if (ncvarget1(nc, var, index, &raw) < 0) return false;
  to_doubles(type, &raw, 1, out);
  return true;
}

void put_text(char *dst, size_t room, const std::string &src) {
  const size_t n = src.size() < room - 1 ? src.size() : room - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

}  // namespace kav::cdf

using namespace kav::cdf;

extern "C" {

static int cdf_open_body(const char *filename, int access) {
  Access &a = acc();
  if (access != 0 && access != 1) return a.fd;
  if (!filename || !filename[0]) {
    MESS_print(M_WARN, "CDF_open: No file name\n");
    return -1;
  }
  if (std::strlen(filename) >= FILE_NAME_LEN) {
    MESS_print(M_WARN, "CDF_open: File name longer than %d characters\n", FILE_NAME_LEN - 1);
    return -1;
  }
  // A name that cannot be expanded (memory ran out, reported there) is not
  // used: the buffer would hold no name at all.
  char name[FILE_NAME_LEN] = "";
  if (!FILE_add_user_path(filename, name)) return -1;
  std::string why;
  if (access == 0 && !header_sane(name, why)) {
    MESS_print(error_type(), "CDF_open: Not a readable netCDF file (%s): %s\n", why.c_str(), name);
    return -1;
  }
  quiet();
  if (access == 0) {
    const int nc = ncopen(name, NC_NOWRITE);
    if (!ok(nc, "CDF_open", "ncopen", name)) return -1;
    a.fd = nc;
    return nc;
  }
  // Created as a temporary beside the file, which it replaces at CDF_close.
  auto rep = std::make_unique<kav::Replacement>();
  const int nc = create(*rep, name, name, "CDF_open");
  if (nc < 0) return -1;
  a.made[nc] = std::move(rep);
  a.fd = nc;
  return nc;
}

int CDF_open(const char *filename, int access) KAV_NOEXCEPT {
  return kav::guarded("CDF_open", -1, [&] { return cdf_open_body(filename, access); });
}

int CDF_set_fd(int val) KAV_NOEXCEPT {
  acc().fd = val < 0 ? -1 : val;
  return acc().fd;
}

static int cdf_close_body(void) {
  Access &a = acc();
  if (a.fd < 0) return -1;
  quiet();
  const int fd = a.fd;
  const int r = ncclose(fd);
  a.fd = -1;
  bool good = ok(r, "CDF_close", "ncclose");
  const auto it = a.made.find(fd);
  if (it != a.made.end()) {
    const std::unique_ptr<kav::Replacement> rep = std::move(it->second);
    a.made.erase(it);
    good = finish(*rep, good, "CDF_close", rep->target()) && good;
  }
  return good ? 0 : -1;
}

int CDF_close(void) KAV_NOEXCEPT {
  return kav::guarded("CDF_close", -1, [&] { return cdf_close_body(); });
}

static int cdf_end_def_body(void) {
  if (acc().fd < 0) return -1;
  quiet();
  return written(ok(ncendef(acc().fd), "CDF_end_def", "ncendef")) ? 0 : -1;
}

int CDF_end_def(void) KAV_NOEXCEPT {
  return kav::guarded("CDF_end_def", -1, [&] { return cdf_end_def_body(); });
}

int CDF_print_errors(int val) KAV_NOEXCEPT {
  acc().loud = val == 1;
  quiet();
  return 0;
}

static int cdf_def_dim_body(const char *name, long size) {
  if (acc().fd < 0 || !name || size < 0) return -1;
  quiet();
  const int id = ncdimdef(acc().fd, name, size == 0 ? NC_UNLIMITED : size);
  return ok(id, "CDF_def_dim", "ncdimdef") ? id : -1;
}

int CDF_def_dim(const char *name, long size) KAV_NOEXCEPT {
  return kav::guarded("CDF_def_dim", -1, [&] { return cdf_def_dim_body(name, size); });
}

static int cdf_get_dim_body(const char *name) {
  int id = -1;
  if (acc().fd < 0 || !name || !dim_id(acc().fd, name, &id, nullptr)) return -1;
  return id;
}

int CDF_get_dim(const char *name) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_dim", -1, [&] { return cdf_get_dim_body(name); });
}

static long cdf_get_dim_size_body(int dim) {
  Access &a = acc();
  if (a.fd < 0) return -1;
  quiet();
  if (dim == -1) {
    int nd = 0, nv = 0, na = 0, rec = -1;
    if (!ok(ncinquire(a.fd, &nd, &nv, &na, &rec), "CDF_get_dim_size", "ncinquire") || rec < 0)
      return -1;
    dim = rec;
  }
  char name[NC_MAX_NAME + 1];
  long len = 0;
  if (!ok(ncdiminq(a.fd, dim, name, &len), "CDF_get_dim_size", "ncdiminq")) return -1;
  return len;
}

long CDF_get_dim_size(int dim) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_dim_size", static_cast<long>(-1),
                      [&] { return cdf_get_dim_size_body(dim); });
}

int CDF_set_shape(int num, ...) KAV_NOEXCEPT {
  if (num < 0 || num > CDF_MAX_DIMS) {
    MESS_print(M_WARN, "CDF_set_shape: %d dimensions; at most %d\n", num, CDF_MAX_DIMS);
    return -1;
  }
  Access &a = acc();
  va_list ap;
  va_start(ap, num);
  for (int i = 0; i < num; ++i) a.shape[i] = va_arg(ap, int);
  va_end(ap);
  a.shape_n = num;
  return 0;
}

static int cdf_def_float_var_body(const char *name) {
  return def_typed("CDF_def_float_var", name, NC_FLOAT);
}

int CDF_def_float_var(const char *name) KAV_NOEXCEPT {
  return kav::guarded("CDF_def_float_var", -1, [&] { return cdf_def_float_var_body(name); });
}
static int cdf_def_long_var_body(const char *name) {
  return def_typed("CDF_def_long_var", name, NC_LONG);
}

int CDF_def_long_var(const char *name) KAV_NOEXCEPT {
  return kav::guarded("CDF_def_long_var", -1, [&] { return cdf_def_long_var_body(name); });
}
static int cdf_def_short_var_body(const char *name) {
  return def_typed("CDF_def_short_var", name, NC_SHORT);
}

int CDF_def_short_var(const char *name) KAV_NOEXCEPT {
  return kav::guarded("CDF_def_short_var", -1, [&] { return cdf_def_short_var_body(name); });
}
static int cdf_def_byte_var_body(const char *name) {
  return def_typed("CDF_def_byte_var", name, NC_BYTE);
}

int CDF_def_byte_var(const char *name) KAV_NOEXCEPT {
  return kav::guarded("CDF_def_byte_var", -1, [&] { return cdf_def_byte_var_body(name); });
}
static int cdf_def_char_var_body(const char *name) {
  return def_typed("CDF_def_char_var", name, NC_CHAR);
}

int CDF_def_char_var(const char *name) KAV_NOEXCEPT {
  return kav::guarded("CDF_def_char_var", -1, [&] { return cdf_def_char_var_body(name); });
}

int CDF_def_var(const char *name, int type, int ndims, ...) KAV_NOEXCEPT {
  Access &a = acc();
  if (a.fd < 0 || !name) return -1;
  if (ndims < 0 || ndims > CDF_MAX_DIMS || type < CDF_BYTE || type > CDF_DOUBLE) {
    MESS_print(M_WARN, "CDF_def_var: Bad type %d or %d dimensions (at most %d): %s\n", type, ndims,
               CDF_MAX_DIMS, name);
    return -1;
  }
  int dims[CDF_MAX_DIMS] = {};
  va_list ap;
  va_start(ap, ndims);
  for (int i = 0; i < ndims; ++i) dims[i] = va_arg(ap, int);
  va_end(ap);
  return kav::guarded("CDF_def_var", -1, [&] {
    quiet();
    const int id = ncvardef(a.fd, name, static_cast<nc_type>(type), ndims, dims);
    return ok(id, "CDF_def_var", "ncvardef") ? id : -1;
  });
}

static int cdf_get_var_body(const char *name) {
  int id = -1;
  if (acc().fd < 0 || !name || !var_id(acc().fd, name, &id)) return -1;
  return id;
}

int CDF_get_var(const char *name) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_var", -1, [&] { return cdf_get_var_body(name); });
}

static int cdf_put_glob_att_body(const char *name, const char *value) {
  if (!name || !value) return -1;
  const size_t n = std::strlen(value);
  if (n > INT_MAX) return -1;
  return att_put("CDF_put_glob_att", NC_GLOBAL, name, NC_CHAR, static_cast<int>(n), value);
}

int CDF_put_glob_att(const char *name, const char *value) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_glob_att", -1, [&] { return cdf_put_glob_att_body(name, value); });
}

static int cdf_get_glob_att_body(const char *name, char *value, int len) {
  if (!value || len < 0) return -1;
  value[0] = '\0';
  std::string text;
  if (acc().fd < 0 || !name || !text_att(acc().fd, NC_GLOBAL, name, text)) return -1;
  put_text(value, static_cast<size_t>(len) + 1, text);
  return 0;
}

int CDF_get_glob_att(const char *name, char *value, int len) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_glob_att", -1,
                      [&] { return cdf_get_glob_att_body(name, value, len); });
}

static int cdf_put_base_att_body(int id, const char *long_name, const char *units) {
  int r = 0;
  if (long_name && att_put("CDF_put_base_att", id, "long_name", NC_CHAR,
                           static_cast<int>(std::strlen(long_name)), long_name) != 0)
    r = -1;
  if (units && att_put("CDF_put_base_att", id, "units", NC_CHAR,
                       static_cast<int>(std::strlen(units)), units) != 0)
    r = -1;
  return r;
}

int CDF_put_base_att(int id, const char *long_name, const char *units) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_base_att", -1,
                      [&] { return cdf_put_base_att_body(id, long_name, units); });
}

static int cdf_put_float_range_att_body(int id, float min, float max) {
  const float v[2] = {min, max};
  return att_put("CDF_put_float_range_att", id, "valid_range", NC_FLOAT, 2, v);
}

int CDF_put_float_range_att(int id, float min, float max) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_float_range_att", -1,
                      [&] { return cdf_put_float_range_att_body(id, min, max); });
}

static int cdf_put_long_range_att_body(int id, long min, long max) {
  if (min < INT_MIN || min > INT_MAX || max < INT_MIN || max > INT_MAX) return -1;
  const nclong v[2] = {static_cast<nclong>(min), static_cast<nclong>(max)};
  return att_put("CDF_put_long_range_att", id, "valid_range", NC_LONG, 2, v);
}

int CDF_put_long_range_att(int id, long min, long max) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_long_range_att", -1,
                      [&] { return cdf_put_long_range_att_body(id, min, max); });
}

static int cdf_put_fill_att_body(int id) {
  const float v = KAV_MISSING;
  return att_put("CDF_put_fill_att", id, "_FillValue", NC_FLOAT, 1, &v);
}

int CDF_put_fill_att(int id) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_fill_att", -1, [&] { return cdf_put_fill_att_body(id); });
}

static int cdf_put_long_fill_att_body(int id, long val) {
  if (val < INT_MIN || val > INT_MAX) return -1;
  const nclong v = static_cast<nclong>(val);
  return att_put("CDF_put_long_fill_att", id, "_FillValue", NC_LONG, 1, &v);
}

int CDF_put_long_fill_att(int id, long val) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_long_fill_att", -1,
                      [&] { return cdf_put_long_fill_att_body(id, val); });
}

int CDF_set_pos(int num, ...) KAV_NOEXCEPT {
  if (num < 0 || num > CDF_MAX_DIMS) {
    MESS_print(M_WARN, "CDF_set_pos: %d dimensions; at most %d\n", num, CDF_MAX_DIMS);
    return -1;
  }
  long start[CDF_MAX_DIMS] = {};
  va_list ap;
  va_start(ap, num);
  for (int i = 0; i < num; ++i) start[i] = va_arg(ap, long);
  va_end(ap);
  for (int i = 0; i < num; ++i)
    if (start[i] < 0) {
      MESS_print(M_WARN, "CDF_set_pos: Negative index %ld\n", start[i]);
      return -1;
    }
  // Dimensions past num read as index 0 of extent 1: a variable of higher
  // rank than the position never sees stale entries.
  Access &a = acc();
  for (int i = 0; i < CDF_MAX_DIMS; ++i) {
    a.start[i] = i < num ? start[i] : 0;
    a.count[i] = 1;
  }
  a.ndim = num;
  return 0;
}

int CDF_set_range(int num, ...) KAV_NOEXCEPT {
  if (num < 0 || num > CDF_MAX_DIMS) {
    MESS_print(M_WARN, "CDF_set_range: %d dimensions; at most %d\n", num, CDF_MAX_DIMS);
    return -1;
  }
  long start[CDF_MAX_DIMS] = {}, count[CDF_MAX_DIMS] = {};
  va_list ap;
  va_start(ap, num);
  for (int i = 0; i < num; ++i) {
    start[i] = va_arg(ap, long);
    count[i] = va_arg(ap, long);
  }
  va_end(ap);
  for (int i = 0; i < num; ++i)
    if (start[i] < 0 || count[i] < 0) {
      MESS_print(M_WARN, "CDF_set_range: Negative start %ld or count %ld\n", start[i], count[i]);
      return -1;
    }
  Access &a = acc();
  for (int i = 0; i < CDF_MAX_DIMS; ++i) {
    a.start[i] = i < num ? start[i] : 0;
    a.count[i] = i < num ? count[i] : 1;
  }
  a.ndim = num;
  return 0;
}

static int cdf_put_float_body(int var, float val) {
  return put_one("CDF_put_float", var, static_cast<double>(val));
}

int CDF_put_float(int var, float val) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_float", -1, [&] { return cdf_put_float_body(var, val); });
}

static int cdf_put_long_body(int var, long val) {
  if (!current(var)) return 0;
  if (val < INT_MIN || val > INT_MAX) {
    MESS_print(M_WARN, "CDF_put_long: %ld does not fit 32 bits\n", val);
    return -1;
  }
  return put_one("CDF_put_long", var, static_cast<double>(val));
}

int CDF_put_long(int var, long val) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_long", -1, [&] { return cdf_put_long_body(var, val); });
}

static int cdf_put_short_body(int var, short val) { return put_one("CDF_put_short", var, val); }

int CDF_put_short(int var, short val) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_short", -1, [&] { return cdf_put_short_body(var, val); });
}
static int cdf_put_byte_body(int var, signed char val) { return put_one("CDF_put_byte", var, val); }

int CDF_put_byte(int var, signed char val) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_byte", -1, [&] { return cdf_put_byte_body(var, val); });
}
static int cdf_put_char_body(int var, char val) {
  return put_one("CDF_put_char", var, static_cast<signed char>(val));
}

int CDF_put_char(int var, char val) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_char", -1, [&] { return cdf_put_char_body(var, val); });
}

static int cdf_put_float_array_body(int var, const float *vals) {
  return put_block("CDF_put_float_array", var, vals, NC_FLOAT);
}

int CDF_put_float_array(int var, const float *vals) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_float_array", -1,
                      [&] { return cdf_put_float_array_body(var, vals); });
}
static int cdf_put_byte_array_body(int var, const signed char *vals) {
  return put_block("CDF_put_byte_array", var, vals, NC_BYTE);
}

int CDF_put_byte_array(int var, const signed char *vals) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_byte_array", -1, [&] { return cdf_put_byte_array_body(var, vals); });
}

static int cdf_put_str_body(int var, const char *str) {
  if (!current(var)) return 0;
  if (!str) return -1;
  if (stored_type(var) != NC_CHAR) return -1;
  // A text longer than its dimension is cut to fit, its NUL kept.
  std::string text(str);
  char name[NC_MAX_NAME + 1];
  nc_type t{};
  int nd = 0, natts = 0;
  std::vector<int> dims(NC_MAX_VAR_DIMS);
  long room = 0;
  quiet();
  const int at = acc().ndim;
  if (ncvarinq(acc().fd, var, name, &t, &nd, dims.data(), &natts) >= 0 && at < nd &&
      ncdiminq(acc().fd, dims[static_cast<size_t>(at)], name, &room) >= 0 && room > 0 &&
      static_cast<long>(text.size()) >= room)
    text.resize(static_cast<size_t>(room - 1));
  long start[CDF_MAX_DIMS], count[CDF_MAX_DIMS];
  if (!text_block("CDF_put_str", static_cast<long>(text.size()) + 1, start, count)) return -1;
  quiet();
  return written(ok(ncvarput(acc().fd, var, start, count, text.c_str()), "CDF_put_str", "ncvarput"))
             ? 0
             : -1;
}

int CDF_put_str(int var, const char *str) KAV_NOEXCEPT {
  return kav::guarded("CDF_put_str", -1, [&] { return cdf_put_str_body(var, str); });
}

static float cdf_get_float_body(int var) {
  double v = 0;
  return get_one("CDF_get_float", var, &v) ? static_cast<float>(v) : KAV_MISSING;
}

float CDF_get_float(int var) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_float", static_cast<float>(KAV_MISSING),
                      [&] { return cdf_get_float_body(var); });
}

static double cdf_get_double_body(int var) {
  double v = 0;
  return get_one("CDF_get_double", var, &v) ? v : -9999.0;
}

double CDF_get_double(int var) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_double", static_cast<double>(-9999.0),
                      [&] { return cdf_get_double_body(var); });
}

static long cdf_get_long_body(int var) {
  double v = 0;
  return get_one("CDF_get_long", var, &v) && std::fabs(v) < 9.0e18 ? static_cast<long>(v)
                                                                   : KAV_IMISSING;
}

long CDF_get_long(int var) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_long", static_cast<long>(KAV_IMISSING),
                      [&] { return cdf_get_long_body(var); });
}

static int cdf_get_byte_body(int var) {
  double v = 0;
  return get_one("CDF_get_byte", var, &v) ? static_cast<int>(v) : -1;
}

int CDF_get_byte(int var) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_byte", -1, [&] { return cdf_get_byte_body(var); });
}

static char cdf_get_char_body(int var) {
  double v = 0;
  return get_one("CDF_get_char", var, &v) ? static_cast<char>(v) : ' ';
}

char CDF_get_char(int var) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_char", static_cast<char>(' '),
                      [&] { return cdf_get_char_body(var); });
}

static int cdf_get_float_array_body(int var, float *vals) {
  return get_block("CDF_get_float_array", var, vals, NC_FLOAT) ? 0 : -1;
}

int CDF_get_float_array(int var, float *vals) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_float_array", -1,
                      [&] { return cdf_get_float_array_body(var, vals); });
}
static int cdf_get_double_array_body(int var, double *vals) {
  return get_block("CDF_get_double_array", var, vals, NC_DOUBLE) ? 0 : -1;
}

int CDF_get_double_array(int var, double *vals) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_double_array", -1,
                      [&] { return cdf_get_double_array_body(var, vals); });
}
static int cdf_get_byte_array_body(int var, signed char *vals) {
  return get_block("CDF_get_byte_array", var, vals, NC_BYTE) ? 0 : -1;
}

int CDF_get_byte_array(int var, signed char *vals) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_byte_array", -1, [&] { return cdf_get_byte_array_body(var, vals); });
}

static int cdf_get_str_body(int var, int len, char *str) {
  if (!str) return 0;
  str[0] = '\0';
  if (!current(var) || len < 1) return 0;
  if (stored_type(var) != NC_CHAR) return 0;
  long start[CDF_MAX_DIMS], count[CDF_MAX_DIMS];
  if (!text_block("CDF_get_str", len, start, count)) return 0;
  quiet();
  if (!ok(ncvarget(acc().fd, var, start, count, str), "CDF_get_str", "ncvarget")) {
    str[0] = '\0';
    return 0;
  }
  str[len] = '\0';
  return 1;
}

int CDF_get_str(int var, int len, char *str) KAV_NOEXCEPT {
  return kav::guarded("CDF_get_str", 0, [&] { return cdf_get_str_body(var, len, str); });
}

const char *GRIB_cdf_units(int var_id) KAV_NOEXCEPT {
  switch (var_id) {
    case 1:
      return "hectopascals";
    case 2:
      return "geopotential dekameters";
    case 4:
    case 15:
      return "celsius";
    case 13:
      return "percent";
    case 23:
    case 24:
      return "meters/second";
    case 40:
      return "millibars/second";
    case 50:
      return "kg/m2";
    case 61:
      return "0.5 degC";
    case 62:
      return "degC";
    case 64:
      return "0.5 meters";
    case 75:
      return "10 degrees";
    case 76:
      return "seconds";
    case 101:
      return "pascals";
    case 102:
      return "geopotential meters";
    case 104:
      return "kelvin";
    case 140:
      return "pascals/second";
    case 161:
      return "degK";
    case 164:
      return "meters";
    case 175:
      return "degrees";
    default:
      return nullptr;
  }
}

}  // extern "C"

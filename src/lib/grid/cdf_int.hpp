// netCDF inside the library: the library's error mode, checked calls, and
// what an open netCDF grid file keeps beside its GRD_file record.
#ifndef KAV_GRID_CDF_INT_HPP
#define KAV_GRID_CDF_INT_HPP

#include <kav/grd_read.h>

#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>

#include "grid/grd_read_int.hpp"

namespace kav::cdf {

// Sets the library's version-2 error mode so that it never prints and never
// ends the process; called before every library call of the module.
void quiet();
// True when the last library call (result r) succeeded; else reports the
// library's error as "FUNC: netCDF error in CALL: TEXT (FILE)" and false.
bool ok(int r, const char *func, const char *call, const std::string &file = {});
// As ok, with the file name as C text: it needs no memory, so a check made
// right after a file was opened cannot throw and leave that file open.
bool ok(int r, const char *func, const char *call, const char *file);
// Message type of library errors: warnings, or debug when silenced.
unsigned error_type();

// Creates a netCDF file that is to replace path whole: a new temporary
// beside it, recorded in rep. Returns the netCDF handle, or -1 after a
// message naming who (the file shown as name) when it cannot be made.
int create(kav::Replacement &rep, const char *path, const std::string &name, const char *who);
// After the close of a file made by create: good (everything written and
// closed) puts it in place of the old file, else it is removed. False when
// it is not in place; a failure to replace is reported naming who.
bool finish(kav::Replacement &rep, bool good, const char *who, const std::string &name);

// False (with the reason) when the file is a classic netCDF file whose
// header the library must not be given: counts, names or attributes that
// run past the file or make no sense, and when the header cannot be read.
// Files of other kinds pass. Only these reads of the header go through the
// library's file seam; the netCDF library then reads the file on its own.
bool header_sane(const char *path, std::string &why);

// Small readers on an open file; false (nothing reported) when absent.
bool dim_id(int nc, const char *name, int *id, long *len);
bool var_id(int nc, const char *name, int *id);
// A text attribute (var -1: global), cut at 1023 characters.
bool text_att(int nc, int var, const char *name, std::string &out);
// A numeric attribute's first value as a double.
bool num_att(int nc, int var, const char *name, double *out);
// The values of a whole 1-D numeric variable, bounded by max values.
bool read_vector(int nc, int var, long len, std::vector<double> &out);
// One value of a numeric variable at an index vector (rank entries).
bool read_one(int nc, int var, const long *index, double *out);
// Type and rank of a variable; false for an unknown variable or type.
bool var_type(int nc, int var, int *type, int *ndims);
// Bytes of one value of a netCDF type (0 for a type the module cannot read).
size_t type_size(int type);
// Converts n values of a netCDF type to doubles.
void to_doubles(int type, const void *raw, size_t n, double *out);

// One field variable of a foreign file (model output or CF).
struct Field {
  int id = -1;            // netCDF variable id
  std::string name;       // its name
  int code = 0;           // variable code (0: described by its attributes)
  int ndims = 0;          // rank
  std::vector<int> dims;  // dimension ids
  long grids = 0;         // grids it holds
  // CF files: where the time and level axes stand among the leading dims,
  // and which of the file's vertical axes the level one is.
  int time_axis = -1, level_axis = -1, level_set = -1;
  int type = 0;  // netCDF type of the values
};

// A vertical coordinate of a CF file.
struct Axis {
  int dim = -1;                // its dimension
  std::vector<double> values;  // coordinate values
  int ltype = 0;               // level type code
  double scale = 1;            // factor to the level type's unit (Pa to hPa: 0.01)
};

// What an open netCDF grid file keeps.
struct File {
  int kind = 0;                  // 0 own schema, 1-199 model output, CDF_ITYPE_CF
  bool learnt = false;           // reading: the file's schema was looked at
  bool defined = false;          // own schema written: dimensions defined
  bool hdf5 = false;             // netCDF-4 storage
  long file_size = 0;            // bytes of the file (reading)
  GRD_info pending{};            // own schema: the file-wide part to define
  std::vector<Field> fields;     // foreign files: every field variable
  std::vector<long> first_grid;  // grid number at which each field begins
  long total = 0;                // grids of all fields
  // Coordinates of foreign files.
  std::vector<double> lat, lon, level, hours;  // level values, forecast hours / times
  int lat_dim = -1, lon_dim = -1, level_dim = -1, time_dim = -1;
  std::vector<double> time_sec;  // CF: seconds since 1970 of each time, or empty
  std::vector<Axis> levels;      // CF: the vertical coordinates in use
  double ref_sec = 0;            // CF: forecast reference time, when has_ref
  bool has_ref = false;
  int center_var = -1, model_var = -1;
  Date ref{};  // reference date of model output
};

File *state(grd::Slot &slot);

// A read that failed part-way: the file is marked failed and, when values
// were asked for, the grid array is freed. Always -1.
inline int read_failed(grd::Slot &slot, GRD_report *grd, int rep_type) {
  slot.failed = true;
  if (rep_type == 0) {
    std::free(grd->grid);
    grd->grid = nullptr;
  }
  return -1;
}

// The field that holds grid n (fields hold consecutive runs of grids).
inline size_t field_of(const File &f, long n) {
  size_t fi = 0;
  while (fi + 1 < f.fields.size() && n >= f.first_grid[fi + 1]) ++fi;
  return fi;
}

// The format row's schema members.
int own_putinfo(grd::Slot &slot, const GRD_info *info);
int own_write(grd::Slot &slot, GRD_report *grd, int rep_type, int *grd_num);
int own_getinfo(grd::Slot &slot, GRD_info *info);
int own_read(grd::Slot &slot, GRD_report *grd, int rep_type, int *grdnum);
// True when the file is of the older model-output kind.
bool model_recognise(int nc);
int model_getinfo(grd::Slot &slot, GRD_info *info);
int model_read(grd::Slot &slot, GRD_report *grd, int rep_type, int *grdnum);
int cf_getinfo(grd::Slot &slot, GRD_info *info);
int cf_read(grd::Slot &slot, GRD_report *grd, int rep_type, int *grdnum);

// Allocates grd->grid for nx * ny values (the old array freed); false with a
// message when the size is refused or memory runs out.
bool size_grid(GRD_report *grd, long nx, long ny, const char *file);
// Reverses the row order of an nx * ny array in place.
void flip_rows(float *v, size_t nx, size_t ny);
// Copies a text into a fixed field, cut to fit.
void put_text(char *dst, size_t room, const std::string &src);

}  // namespace kav::cdf

#endif

// Grid files inside the library: the private state of an open file and the
// table of formats that the calls of grd_read.h dispatch through.
#ifndef KAV_GRID_GRD_READ_INT_HPP
#define KAV_GRID_GRD_READ_INT_HPP

#include <kav/grd_read.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "console/files_out.hpp"

namespace kav::grd {

// Where a stream file stands: the grid that follows and the one read last.
struct Position {
  int next_index = 0;    // number of the grid that begins at next_offset
  long next_offset = 0;  // offset of that grid
  int next_part = 0;     // character grids: component of a wind pair
  int last_index = -1;   // number of the grid read last, -1 none
  long last_offset = 0;  // offset at which it began
  int last_part = 0;     // its wind component
};

// One open file: the public record and what the formats keep beside it.
struct Slot {
  GRD_file rec{};                  // the record GRD_get_gfile hands out
  std::string name;                // file name as given (for messages)
  std::string dir;                 // directory of the file, for referenced value files
  int access = 0;                  // 0 read, 1 create, 2 append
  bool stdio = false;              // standard input or output
  bool appending_content = false;  // appended to a file that had content
  long data_start = 0;             // offset of grid 0
  Position pos;                    // reading position
  std::string pending_label;       // standard input: grid 0's label, read by getinfo
  bool pending = false;
  bool failed = false;        // the last read failed: a malformed grid or a failed read
  std::shared_ptr<void> ext;  // what the format keeps beside (netCDF: kav::cdf::File)
  kav::OutFile out;           // stream formats written: replaced whole at the close
  kav::Replacement made;      // netCDF file created: replaced whole at the close
};

// One grid format: how it is recognised and each call it serves. A null
// entry means the format does not do that (the call fails with a message).
struct Format {
  int code;
  const char *name;
  bool writable;
  // 1 when the first len bytes of a file (len may be short) are this format.
  int (*detect)(const unsigned char *head, size_t len);
  // A second, weaker test tried only after every format's detect has failed.
  int (*detect_late)(const unsigned char *head, size_t len);
  int (*open)(Slot &slot, const char *name, int access);
  int (*getinfo)(Slot &slot, GRD_info *info);
  int (*read)(Slot &slot, GRD_report *grd, int rep_type, int *grdnum);
  int (*putinfo)(Slot &slot, const GRD_info *info);
  int (*write)(Slot &slot, GRD_report *grd, int rep_type, int *grd_num);
  int (*rewind)(Slot &slot);
  int (*close)(Slot &slot);
};

// The table of formats, in the order detection tries them.
const Format *formats(size_t *count);
const Format *find_format(int code);

// Shared reading position of the process.
struct SharedPos {
  long cur_pos = 0;   // offset at which the last grid read began
  long new_pos = -1;  // offset just past it, -1 when not set
  bool use_hdrfile = false;
  std::string format;  // value format for text output; empty: "%14.8e"
};
SharedPos &shared();

// Rows of the table, one file per format family.
int text_detect_plain(const unsigned char *head, size_t len);
int text_detect_text(const unsigned char *head, size_t len);
int text_detect_header(const unsigned char *head, size_t len);
int stream_open(Slot &slot, const char *name, int access);
int text_getinfo(Slot &slot, GRD_info *info);
int text_read(Slot &slot, GRD_report *grd, int rep_type, int *grdnum);
int text_putinfo(Slot &slot, const GRD_info *info);
int text_write(Slot &slot, GRD_report *grd, int rep_type, int *grd_num);
int text_rewind(Slot &slot);
int stream_close(Slot &slot);

int char_detect(const unsigned char *head, size_t len);
int char_getinfo(Slot &slot, GRD_info *info);
int char_read(Slot &slot, GRD_report *grd, int rep_type, int *grdnum);
int char_rewind(Slot &slot);

int grib_detect(const unsigned char *head, size_t len);
int grib_detect_late(const unsigned char *head, size_t len);
int grib_open(Slot &slot, const char *name, int access);
int grib_getinfo(Slot &slot, GRD_info *info);
int grib_read(Slot &slot, GRD_report *grd, int rep_type, int *grdnum);
int grib_write(Slot &slot, GRD_report *grd, int rep_type, int *grd_num);
int grib_rewind(Slot &slot);

int cdf_detect(const unsigned char *head, size_t len);
int cdf_open(Slot &slot, const char *name, int access);
int cdf_getinfo(Slot &slot, GRD_info *info);
int cdf_read(Slot &slot, GRD_report *grd, int rep_type, int *grdnum);
int cdf_putinfo(Slot &slot, const GRD_info *info);
int cdf_write(Slot &slot, GRD_report *grd, int rep_type, int *grd_num);
int cdf_rewind(Slot &slot);
int cdf_close(Slot &slot);

// Helpers shared by the readers.
void copy_text(char *dst, size_t room, const std::string &src);
// Frees grd->grid and stores values (malloc'ed here); false when memory runs out.
bool store_values(GRD_report *grd, const float *values, size_t count);
// Bytes from the stream's position to its end, or -1 when unknown.
long remaining_bytes(FILE *fp);
// Stream position, or -1.
long tell(FILE *fp);
bool seek(FILE *fp, long offset);

}  // namespace kav::grd

#endif

// The GRIB decoder inside the library: the one current message of the
// process, its sections and the state the section decoders hand on.
#ifndef KAV_GRID_GRIB_INT_HPP
#define KAV_GRID_GRIB_INT_HPP

#include <kav/grib.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kav::grib {

// Mark of the current message.
enum class Mark { None, Grib, Grid, Bufr };

// Where a file stands, beside its GRD_file record.
struct FileState {
  const void *owner = nullptr;  // the slot record this state belongs to
  int at_index = 0;             // number of the grid whose search begins at at_off
  long at_off = 0;              // where that search begins
  int at_product = 0;           // product of that grid's message (edition 2)
  long next_off = -1;           // offset past the message read last, -1 unknown
  int index_no = -1;            // number of the index line read last
  long index_off = -1;          // its offset
  std::string index_desc;       // its description
};

// The decoder's state: one set per process.
struct Decoder {
  int version = -1;                // edition of the current message
  Mark mark = Mark::None;          // its mark
  std::string wmo_header;          // its transmission header, at most 30 characters
  long msg_off = -1;               // offset of its mark
  long length = 0;                 // its length in octets (from its sections for edition 0)
  long env_end = -1;               // envelope 3: offset where the message ends
  int env_kind = 4;                // envelope the message was found behind
  int discipline = -1;             // edition 2: discipline
  std::vector<unsigned char> msg;  // the message, mark first (loaded on demand)
  bool loaded = false;             // msg holds the current message
  size_t pds = 0, gds = 0, bms = 0, bds = 0;  // section offsets in msg (0: none)
  size_t pds_len = 0, gds_len = 0, bms_len = 0, bds_len = 0;
  int grid_id = 0;  // PDS octet 7
  int flag = 0;     // PDS octet 8: 0x80 GDS present, 0x40 BMS present
  int centre = 0;
  // Layout of the values.
  int ydir = 1;               // 1 rows stored south to north, -1 north to south
  int xdir = 1;               // 1 columns west to east, -1 east to west
  bool by_columns = false;    // adjacent points run along j
  bool pole = false;          // predefined grid storing each pole as one value
  float lat = 0;              // latitude of the first stored row
  bool thin = false;          // quasi-regular rows
  std::vector<int> thin_ptr;  // points of each row
  double ref = 0, sfac = 1, dscale = 1;
  int bpval = 0;
  // Bit reader over the data section's packed values.
  size_t bit_pos = 0, bit_end = 0;  // bit offsets in msg
  // Bit map.
  const unsigned char *bmb = nullptr;  // first octet of the map (inside msg), or null
  size_t bm_bits = 0, bmoff = 0;
  // Corruption watch.
  bool bad = false;
  long bad_limit = 0;
  int bad_max = 0;
  bool bad_test = false;  // the first data section of the process is still to come
  std::array<unsigned char, 20> valid_data{};
  int valid_pos = 0;
  // Ensemble extension of the current PDS.
  int ens = 0, ens_type = 0, ens_id = 0, ens_prod = 0, ens_smooth = 0;
  int ens_prob_var = 0, ens_prob_type = 0;
  float ens_prob_low = 0, ens_prob_up = 0;
  std::array<FileState, GRD_MAX_FILES> files{};
};
Decoder &dec();

// Copies text into a buffer of room bytes, cut to fit.
inline void put_text(char *dst, size_t room, const std::string &src) {
  const size_t n = src.size() < room - 1 ? src.size() : room - 1;
  src.copy(dst, n);
  dst[n] = '\0';
}

// Big-endian readers over a bounded range.
inline unsigned u2(const unsigned char *p) { return (unsigned(p[0]) << 8) | p[1]; }
inline unsigned u3(const unsigned char *p) {
  return (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
}
// Sign-and-magnitude numbers.
inline int s2(const unsigned char *p) {
  const int v = int(u2(p) & 0x7FFFu);
  return (p[0] & 0x80) ? -v : v;
}
inline int s3(const unsigned char *p) {
  const int v = int(u3(p) & 0x7FFFFFu);
  return (p[0] & 0x80) ? -v : v;
}

// An IBM single-precision float and 2 to the power of a binary scale factor.
double ibm_double(const unsigned char *pc);
double scale_double(const unsigned char *pc);
// Decodes a product definition section of len octets into grd (edition 0
// or 1). GRIB_OK or GRIB_REJECT.
int decode_pds(const unsigned char *p, size_t len, int version, GRD_report *grd);

// Loads the rest of the current message into dec().msg (after GRIB_header)
// and finds its sections. GRIB_OK, GRIB_REJECT or GRIB_FAIL.
int load_message(int grd_fd, const char *caller);
// The date of an edition-0/1 PDS: century octet when present.
void pds_date(const unsigned char *pds, size_t len, Date *date);
// Stream of a GRIB file, or null.
FILE *stream_of(int grd_fd);
// Clears the per-file state when a file is opened or rewound.
void reset_file(int grd_fd);
// The state of a file (reset when it belongs to another record).
FileState &file_state(int grd_fd);
// Reads index line number n of the file's index (rewinding when needed);
// 0, or -1 at its end.
int index_line(int grd_fd, int n);
// A header-only read from the index description: fills grd.
int index_header(int grd_fd, GRD_report *grd);

}  // namespace kav::grib

#endif

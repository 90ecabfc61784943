// GRIB edition 2 inside the library: the bounded view of a message's
// sections, the three template families (grid, product, data) with their
// registry tables, the bit reader and the two code-stream adapters.
#ifndef KAV_GRID_GRIB2_TMPL_HPP
#define KAV_GRID_GRIB2_TMPL_HPP

#include <kav/grd_read.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace kav::grib2 {

constexpr float kMiss = -9999.0f;

// Copies text into a buffer of room bytes, cut to fit.
inline void put(char *dst, size_t room, const std::string &src) {
  if (!dst || room == 0) return;
  const size_t n = src.size() < room - 1 ? src.size() : room - 1;
  src.copy(dst, n);
  dst[n] = '\0';
}

// One section of a message: its first octet (octet 1 of the section) and
// length. Octet n of the section (numbered from 1 as the standard does) is
// at(n); has(n) says whether octets 1..n lie inside it.
struct Sect {
  const unsigned char *p = nullptr;
  size_t len = 0;
  bool has(size_t n) const { return n <= len; }
  const unsigned char *at(size_t n) const { return p + (n - 1); }
  unsigned u1(size_t n) const { return p[n - 1]; }
  unsigned u2(size_t n) const { return (unsigned(p[n - 1]) << 8) | p[n]; }
  uint32_t u4(size_t n) const {
    return (uint32_t(p[n - 1]) << 24) | (uint32_t(p[n]) << 16) | (uint32_t(p[n + 1]) << 8) |
           p[n + 2];
  }
  // Sign-and-magnitude numbers of 1, 2 and 4 octets.
  int s1(size_t n) const { return (p[n - 1] & 0x80) ? -int(p[n - 1] & 0x7F) : int(p[n - 1]); }
  int s2(size_t n) const {
    const int v = int(u2(n) & 0x7FFFu);
    return (p[n - 1] & 0x80) ? -v : v;
  }
  long s4(size_t n) const {
    const long v = long(u4(n) & 0x7FFFFFFFu);
    return (p[n - 1] & 0x80) ? -v : v;
  }
  // An IEEE single-precision number, most significant octet first.
  float ieee(size_t n) const {
    const uint32_t u = u4(n);
    float f;
    std::memcpy(&f, &u, sizeof f);
    return f;
  }
};

// The grid of a product, from section 3.
struct Grid {
  int tmpl = -1;          // grid definition template
  Domain dom{};           // the record's domain
  int type = 0;           // the record's grid code
  long npts = 0;          // points the data cover (sum of rows when quasi-regular)
  int scan = 0;           // scanning mode octet
  std::vector<int> rows;  // quasi-regular: points of each stored row; empty when regular
  bool circle = false;    // quasi-regular rows of full circles: point k at k * 360 / count
};

// A grid template: reads section 3 into g. 0, or -1 with a message.
struct GridTemplate {
  int number;
  const char *name;
  int (*decode)(const Sect &s3, Grid &g);
};

// The keys of a product, from section 4.
struct Product {
  int tmpl = -1;
  int model = 0, ltype = KAV_IMISSING, level = KAV_IMISSING, time = KAV_IMISSING;
  int var = KAV_IMISSING;
  char units[GRD_UNITS_LEN] = "";
  // Ensemble and probability.
  int ens = 0, ens_type = 0, ens_id = 0, ens_prod = 0;
  int ens_prob_var = 0, ens_prob_type = 0;
  float ens_prob_low = kMiss, ens_prob_up = kMiss;
};

// What a product template needs besides section 4.
struct ProductContext {
  int centre = 0;
  int discipline = 0;
  int ref_year = 0, ref_month = 0, ref_day = 0, ref_hour = 0, ref_min = 0;
};

// A product template: reads section 4 into pr. 0, or -1 with a message.
struct ProductTemplate {
  int number;
  const char *name;
  int (*decode)(const Sect &s4, const ProductContext &ctx, Product &pr);
};

// What a data template decodes: npacked values (section 5 octets 6-9) in
// stored order into out, which has room for npacked values. A missing value
// is kMiss. The values are then laid out by the bit map and scanning mode.
struct DataJob {
  Sect s5, s7;
  size_t npacked = 0;
  float *out = nullptr;
};

// A data template: 0, or -1 with a message naming what is wrong.
struct DataTemplate {
  int number;
  const char *name;
  int (*decode)(const DataJob &job);
};

// The registry tables, walked by the decoder and the tests; each ends with a
// row whose name is null.
extern const GridTemplate kGridTemplates[];
extern const ProductTemplate kProductTemplates[];
extern const DataTemplate kDataTemplates[];
const GridTemplate *find_grid(int number);
const ProductTemplate *find_product(int number);
const DataTemplate *find_data(int number);

// Grid templates.
int grid_latlon(const Sect &s3, Grid &g);    // 3.0
int grid_mercator(const Sect &s3, Grid &g);  // 3.10
int grid_polar(const Sect &s3, Grid &g);     // 3.20
int grid_lambert(const Sect &s3, Grid &g);   // 3.30
// The centre of a projected grid from its first point; false when the
// projection refuses it. Leaves the process's projection as it was.
bool centre_from_corner(Domain &dom, float lat1, float lon1, int xdir, int ydir);
// The grid code from the template, the first point and a last field.
int grid_code(int tmpl, long la1, long lo1, long ni, long c);
// A longitude in millionths of a degree, in degrees within [-180, 180].
float lon_deg(long micro);

// Product templates.
int product_fixed(const Sect &s4, const ProductContext &ctx, Product &pr);  // 4.0 4.1 4.2 4.5
int product_range(const Sect &s4, const ProductContext &ctx, Product &pr);  // 4.8 4.9 4.11 4.12
int product_local50008(const Sect &s4, const ProductContext &ctx, Product &pr);
// The level of a product (both surfaces at octets 23-34); variant_b for the
// templates over a time range.
void product_level(const Sect &s4, bool variant_b, Product &pr);
// Hours of a forecast time in a time unit (code table 4.4); unknown units
// keep the number.
long to_hours(int unit, long value);

// Data templates.
int data_simple(const DataJob &job);   // 5.0
int data_complex(const DataJob &job);  // 5.2 and 5.3
int data_jpeg(const DataJob &job);     // 5.40 and 5.40000
int data_ccsds(const DataJob &job);    // 5.42
int data_rle(const DataJob &job);      // 5.200

// The reference value, binary and decimal scale of simple packing (section
// 5 octets 12-19): value = ref + n * step.
struct Scaling {
  double ref = 0, step = 1;
  int nbits = 0;
};
Scaling read_scaling(const Sect &s5);
// Unpacks n values of nbits bits from bit offset pos of buf (len octets)
// into out as ref + v * step. The caller has checked that they lie inside.
void unpack_scaled(const unsigned char *buf, size_t len, size_t pos, int nbits, size_t n,
                   double ref, double step, float *out);
// Unpacks n unsigned values of nbits (0-32) bits from bit offset pos.
void unpack_uint(const unsigned char *buf, size_t len, size_t pos, int nbits, size_t n,
                 uint32_t *out);

// Code-stream adapters. JPEG 2000: decodes the code stream of len octets and
// hands the samples of its first component (row after row), with the
// image's width and height, to take while the decoder still holds them (no
// copy is made); false with a message when it cannot. At most max_samples
// are accepted. take returns false to refuse the image.
bool jpeg2000_decode(
    const unsigned char *data, size_t len, size_t max_samples,
    const std::function<bool(const int32_t *samples, int width, int height)> &take);
// CCSDS (adaptive entropy coding): decodes n samples of nbits bits with the
// given flags, block size and reference sample interval into dest, which
// holds 4 n octets, each sample in the returned count of octets (1 to 4),
// most significant first when the flags say so (AEC_DATA_MSB, 4), else least
// significant first. 0 with a message when it cannot.
size_t ccsds_decode(const unsigned char *data, size_t len, int nbits, int flags, int block, int rsi,
                    size_t n, unsigned char *dest);
// Whether each adapter has a library behind it.
bool jpeg2000_available();
bool ccsds_available();

// One product's sections, as the section walk finds them.
struct Found {
  Sect s1, s3, s4, s5, s6, s7;
  Sect bitmap;  // the bit map in force (section 6 with indicator 0), or none
};

// The steps of a product: identification (section 1) into the record's
// version, source and date and the product context; the grid (section 3);
// the keys (section 4, with the record's info and label); the values
// (sections 5-7 with the bit map in force, grd->grid made anew). Each
// returns 0, or GRIB_REJECT with a message.
int decode_ids(const Sect &s1, int discipline, GRD_report *grd, ProductContext &ctx);
int decode_grid(const Sect &s3, Grid &g);
int decode_keys(const Sect &s4, const ProductContext &ctx, GRD_report *grd);
int decode_values(const Found &f, const Grid &g, GRD_report *grd);

// Parameter lookup: the row of (centre, discipline, category, number) in
// grib2_var.lup (read once per process); false when none matches.
struct Param {
  int ind = KAV_IMISSING;
  char name[20] = "";
  char units[30] = "";
  char lname[80] = "";
};
bool param_lookup(int centre, int disc, int cat, int num, Param &out);
// The variable code and units of a parameter: the package's variable number
// of its name, else discipline * 1000000 + category * 1000 + number.
int param_var(int centre, int disc, int cat, int num, char *units, size_t room);

}  // namespace kav::grib2

#endif

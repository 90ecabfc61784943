// A small builder of GRIB edition 0 and 1 messages for the tests, the fuzz
// corpus and the benchmark: simple packing of given integer codes.
#ifndef KAV_TESTS_GRIBBUILD_H
#define KAV_TESTS_GRIBBUILD_H

#include <cstdint>
#include <string>
#include <vector>

namespace kavtest {

struct GribSpec {
  int edition = 1;
  int table = 2, centre = 7, process = 89, grid_id = 255, param = 11, ltype = 100, level = 500;
  int year = 24, month = 3, day = 15, hour = 12, minute = 0;
  int unit = 1, p1 = 6, p2 = 0, range = 0, century = 21, subcentre = 0;
  int dscale = 0;                  // D
  int pds_len = 28;                // 45 or more carries the extension octets below
  std::vector<uint8_t> pds_extra;  // octets 41 onward (index 0 = octet 41)
  bool gds = true;
  int rep = 0;                                         // representation type
  int ni = 4, nj = 3;                                  // Ni (65535 for thinned rows), Nj
  int la1 = 60000, lo1 = 0, la2 = 50000, lo2 = 15000;  // millidegrees
  int di = 5000, dj = 5000, res = 0x80, scan = 0;
  int lov = -95000, dxm = 60000, dym = 60000, centre_flag = 0, latin1 = 25000, latin2 = 25000;
  std::vector<float> pv;    // vertical coordinates before the row counts
  std::vector<int> rows;    // thinned row counts
  std::vector<int> bitmap;  // one entry per point; empty: no bit map
  int bitmap_table = 0;     // predefined bit map number
  int bds_flag = 0;
  int binary_scale = 0;  // E
  double ref = 0;        // R
  int bits = 8;
  std::vector<uint32_t> codes;  // packed integers
  int cut_bds = 0;              // octets removed from the end of the data
};

// IBM single-precision float of v.
void ibm_float(double v, uint8_t out[4]);
// The message (from "GRIB" through "7777").
std::string build_grib(const GribSpec &s);

}  // namespace kavtest

#endif

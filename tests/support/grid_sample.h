// A small grid report for the writers' tests.
#ifndef KAV_TESTS_GRID_SAMPLE_H
#define KAV_TESTS_GRID_SAMPLE_H

#include <kav/grd_read.h>

namespace kavtest {

// grd becomes a 4 x 3 latitude/longitude grid of 500 hPa variable 1, 1.5
// degrees apart about 40N 100W, whose values 0, 0.5, ... are values.
inline void sample_grid(GRD_report &grd, float (&values)[12]) {
  GRD_init(&grd);
  grd.ltype = 100;
  grd.level = 500;
  grd.time = 0;
  grd.var = 1;
  Domain &d = grd.domain;
  d.proj = 1;
  d.clat = 40;
  d.clon = -100;
  d.dx = d.dy = 1.5f;
  d.nx = 4;
  d.ny = 3;
  for (int k = 0; k < 12; ++k) values[k] = static_cast<float>(k) * 0.5f;
  grd.grid = values;
}

}  // namespace kavtest

#endif

// Shared by the grid file harnesses: writes the input to a file and reads
// every grid of it in several orders through the format asked for.
#ifndef KAV_TESTS_FUZZ_GRD_FUZZ_COMMON_HPP
#define KAV_TESTS_FUZZ_GRD_FUZZ_COMMON_HPP

#include <kav/grd_read.h>
#include <kav/mess.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.hpp"

namespace grdfuzz {

inline void read_all(const uint8_t *data, size_t size, int code) {
  MESS_set(0, 0);  // quiet: the warnings are expected
  const std::string file = fuzzscratch::write("input.grd", data, size);
  GRD_chktype(file.c_str());
  int type = code;
  const int fd = GRD_open(file.c_str(), 0, &type);
  if (fd < 0) return;
  GRD_info info;
  GRD_getinfo(fd, &info);
  GRD_report g;
  GRD_init(&g);
  int n = 0;
  for (; n < 16; ++n) {
    int num = n;
    if (GRD_read(fd, &g, n % 2, &num) != 0) break;
  }
  for (int want : {n, 1, 0, 0, n - 1, 2}) {  // back, again and forward
    int num = want;
    GRD_read(fd, &g, 0, &num);
  }
  char header[GRD_HEADER_LEN];
  GRD_get_header(fd, header);
  GRD_rewind(fd);
  int num = 0;
  GRD_read(fd, &g, 0, &num);
  std::free(g.grid);
  GRD_close(fd);
  std::remove(file.c_str());
}

}  // namespace grdfuzz

#endif

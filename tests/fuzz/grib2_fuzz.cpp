// Fuzzes the GRIB edition-2 decoder: the input is decoded as one message
// held in memory (closed with "7777" when it does not end so), every product
// header only and in full; then it is written to a file and read grid by
// grid through the grid layer. Any result is fine; a crash, a hang or a read
// outside a buffer is not.
#include <kav/grd_read.h>
#include <kav/grib.h>
#include <kav/mess.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_scratch.hpp"
#include "grid/grib2_int.hpp"

namespace {

void decode_in_memory(const uint8_t *data, size_t size) {
  std::vector<unsigned char> msg(data, data + size);
  if (size < 4 || std::memcmp(data + size - 4, "7777", 4) != 0)
    msg.insert(msg.end(), {'7', '7', '7', '7'});
  if (msg.size() < 8 || std::memcmp(msg.data(), "GRIB", 4) != 0) return;
  msg[7] = 2;
  const int count = kav_grib2_decode(msg.data(), msg.size(), 0, nullptr, 1);
  GRD_report grd;
  GRD_init(&grd);
  for (int p = 0; p < count && p < 16; ++p) {
    kav_grib2_decode(msg.data(), msg.size(), p, &grd, 1);
    kav_grib2_decode(msg.data(), msg.size(), p, &grd, 0);
  }
  std::free(grd.grid);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);  // quiet: the warnings are expected
  decode_in_memory(data, size);
  const std::string file = fuzzscratch::write("input.grb2", data, size);
  int type = GRD_GRIB;
  const int fd = GRD_open(file.c_str(), 0, &type);
  if (fd < 0) return 0;
  GRD_info info{};
  if (GRD_getinfo(fd, &info) == 0) {
    GRD_report grd;
    GRD_init(&grd);
    const int most = static_cast<int>(size / 16) + 1;
    for (int n = 0; n < most && n < 64; ++n) {
      int num = n;
      if (GRD_read(fd, &grd, 1, &num) == -1) break;
      num = n;
      GRD_read(fd, &grd, 0, &num);
    }
    std::free(grd.grid);
  }
  GRD_close(fd);
  std::remove(file.c_str());
  return 0;
}

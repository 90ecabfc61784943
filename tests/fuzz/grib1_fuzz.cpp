// Fuzzes the GRIB reader: the input is written to a file, opened as a GRIB
// file and read grid by grid, header only and in full; then the decoder's
// section calls run on what it found. Any result is fine; a crash, a hang or
// a read outside a buffer is not.
#include <kav/grd_read.h>
#include <kav/grib.h>
#include <kav/mess.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::string &input_file() {
  static std::string name = [] {
    char dir[] = "/tmp/grib1_fuzz.XXXXXX";
    const char *made = mkdtemp(dir);
    return std::string(made ? made : "/tmp") + "/input.grb";
  }();
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);  // quiet: the warnings are expected
  const std::string &file = input_file();
  if (FILE *fp = std::fopen(file.c_str(), "wb")) {
    std::fwrite(data, 1, size, fp);
    std::fclose(fp);
  }
  int type = GRD_GRIB;
  const int fd = GRD_open(file.c_str(), 0, &type);
  if (fd < 0) return 0;
  GRD_info info{};
  if (GRD_getinfo(fd, &info) == 0) {
    GRD_report grd;
    GRD_init(&grd);
    // At most one grid per 16 octets: every read moves on through the file.
    const int most = static_cast<int>(size / 16) + 1;
    for (int n = 0; n < most && n < 64; ++n) {
      int num = n;
      const int r = GRD_read(fd, &grd, 1, &num);
      if (r == -1) break;
      num = n;
      GRD_read(fd, &grd, 0, &num);
      unsigned char *raw = nullptr;
      long raw_size = 0;
      GRIB_get_raw(fd, &raw, &raw_size);
      std::free(raw);
    }
    int again = 0;
    GRD_read(fd, &grd, 0, &again);  // back to the start
    std::free(grd.grid);
  }
  GRD_close(fd);
  std::remove(file.c_str());
  return 0;
}

// The sounding text readers under arbitrary bytes: the input is written to a
// scratch file and read as a KAVRAW file (the tag is put in front when the
// first byte is even) and as the tabular %RAW% form; every level read back
// must be finite or missing and the level counts bounded.
#include <kav/calc.h>
#include <kav/mess.h>
#include <kav/ua_calc.h>
#include <kav/ua_read.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.hpp"

namespace {

bool sane(float v) { return v == KAV_MISSING || std::isfinite(v); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);
  std::string text(reinterpret_cast<const char *>(data), size);
  if (size > 0 && data[0] % 2 == 0) text = "KAVRAW\n" + text;
  bool written = false;
  const std::string file = fuzzscratch::write("sounding.txt", text.data(), text.size(), &written);
  if (!written) return 0;

  int fd = UPA_raw_open(file.c_str());
  if (fd >= 0) {
    char station[6];
    float pres, value;
    int field;
    long reports = 0;
    while (UPA_raw_read(fd, station, &pres, &field, &value) == 0) {
      if (!sane(pres) || !sane(value) || field < 2 || field > 6 || station[5] != '\0') abort();
      if (++reports > static_cast<long>(size) * 5 + 10) abort();  // bounded by the input
    }
    UPA_raw_close(fd);
  }

  static UPA_level levels[50];
  char id[20];
  Date date;
  int n = UPA_read_text(file.c_str(), levels, 50, id, sizeof id, &date);
  if (n > 50) abort();
  for (int i = 0; i < n; ++i) {
    const UPA_level &l = levels[i];
    if (!(l.p > 0) || !sane(l.h) || !sane(l.t) || !sane(l.td) || !sane(l.dir) || !sane(l.spd))
      abort();
    if (i > 0 && !(l.p < levels[i - 1].p)) abort();
  }
  return 0;
}

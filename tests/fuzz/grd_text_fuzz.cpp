// Fuzzes the reader of the text and binary grid files (formats 1, 2, 3): the
// first byte picks the format, the rest is the file.
#include "grd_fuzz_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  grdfuzz::read_all(data + 1, size - 1, 1 + data[0] % 3);
  return 0;
}

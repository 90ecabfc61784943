// Fuzzes the reader of the character grid files (format 22).
#include "grd_fuzz_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  grdfuzz::read_all(data, size, GRD_CHAR);
  return 0;
}

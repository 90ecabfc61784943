// Fuzzes the reader of the grid header files (format 4) and their domain
// texts and value file references.
#include "grd_fuzz_common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  grdfuzz::read_all(data, size, GRD_HEADER);
  return 0;
}

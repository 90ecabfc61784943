// Fuzzes the unit table reader and the unit and label parsers. The input's
// first line is the input unit, its second the output unit, and the rest the
// table file "units.lup".
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/unittool.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_scratch.hpp"

namespace {

std::string take_line(std::string &text) {
  const size_t nl = text.find('\n');
  std::string line = text.substr(0, nl);
  text = (nl == std::string::npos) ? std::string() : text.substr(nl + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);  // quiet: the warnings are expected
  std::string text(reinterpret_cast<const char *>(data), size);
  const std::string iunit = take_line(text).c_str();  // stop at any NUL
  const std::string ounit = take_line(text).c_str();

  const std::string file = fuzzscratch::write("units.lup", text.data(), text.size());
  RES_put("file_path", fuzzscratch::dir());

  UNIT_cvt(1.0f, "fuzz_reset_a", "fuzz_reset_b");  // reads the table afresh
  UNIT_cvt(12.5f, iunit.c_str(), ounit.c_str());
  UNIT_cvt(-3.0f, iunit.c_str(), ounit.c_str());  // from the cache

  char out[64];
  UNIT_scale(iunit.c_str(), 0.001f, ounit.c_str(), out);
  char var[64], units[64];
  UNIT_parse(iunit.c_str(), var, units);
  char label[130];
  std::snprintf(label, sizeof label, "%s", iunit.c_str());
  UNIT_change(label, ounit.c_str());
  std::remove(file.c_str());
  return 0;
}

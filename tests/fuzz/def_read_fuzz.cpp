// Definition-file reader under arbitrary bytes: the first line holds tags
// (blank-separated), the rest is read as a definition file; every entry's key
// is matched as a pattern against its own name and the program.
#include <kav/def_read.h>
#include <kav/mess.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);
  std::string text(reinterpret_cast<const char *>(data), size);
  size_t eol = text.find('\n');
  std::string tags = text.substr(0, eol == std::string::npos ? 0 : eol);

  DEF_clr_tag();
  DEF_name(size % 3 == 0 ? "" : size % 3 == 1 ? "title" : "+sub");
  size_t pos = 0;
  static std::string kept[DEF_MAX_TAG + 2];
  for (int i = 0; i < DEF_MAX_TAG + 2 && pos < tags.size(); ++i) {
    size_t end = tags.find(' ', pos);
    kept[i] = tags.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    DEF_tag(kept[i].c_str());
    pos = end == std::string::npos ? tags.size() : end + 1;
  }

  bool written = false;
  const std::string file = fuzzscratch::write("defaults", data, size, &written);
  if (!written) return 0;
  if (DEF_open(file.c_str()) != 0) return 0;
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE], name[DEF_KEY_SIZE];
  while (DEF_get(key, value) == 1) {
    DEF_parse_name(key, name);
    DEF_cmp(name, key);
    DEF_cmp(value, key);
    DEF_valid(key);
  }
  DEF_close();
  return 0;
}

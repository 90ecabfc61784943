// Fuzzes the reader of the variable description table "variable.lup" and
// the labels composed from it: the first 16 bytes give the keys of a field,
// the rest is the table.
#include <kav/mess.h>
#include <kav/plot_label.h>
#include <kav/resrc.h>
#include <kav/var_tool.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz_scratch.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);
  int keys[4] = {0, 0, 0, 0};
  const size_t head = size < sizeof keys ? size : sizeof keys;
  std::memcpy(keys, data, head);
  const std::string file = fuzzscratch::write("variable.lup", data + head, size - head);
  RES_put("file_path", fuzzscratch::dir());
  VAR_read_varfile();
  char out[VAR_LABEL_LEN];
  for (int type : {0, -1, 2}) {
    PLT_set_label_type(type);
    VAR_make_datatype(keys[0], keys[1] % 300, keys[2], keys[3], "units", out);
    VAR_make_datatype(keys[0], keys[1], keys[2], keys[3] % 1000, nullptr, out);
  }
  PLT_set_label_type(0);
  VAR_abbr(out, keys[3]);
  VAR_search_var_num("TMP");
  std::remove(file.c_str());
  return 0;
}

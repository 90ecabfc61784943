// Fuzzes the domain texts, the region files and the projections. The input's
// first line is a domain text, the rest the region file "kav.reg": the text
// is decoded (its region references resolved through the file), printed and
// decoded again, the file's menu read, and the domain made current and
// transformed both ways.
#include <kav/maptran.h>
#include <kav/mess.h>
#include <kav/region.h>
#include <kav/resrc.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  // The "var" region asks for its centre: answer from an empty input.
  static const bool quiet_input = std::freopen("/dev/null", "r", stdin) != nullptr;
  (void)quiet_input;
  MESS_set(0, 0);  // quiet: the warnings are expected
  std::string text(reinterpret_cast<const char *>(data), size);
  const size_t nl = text.find('\n');
  const std::string domain_text = text.substr(0, nl).c_str();  // stop at any NUL
  const std::string file = nl == std::string::npos ? std::string() : text.substr(nl + 1);

  fuzzscratch::write("kav.reg", file.data(), file.size());
  RES_put("file_path", fuzzscratch::dir());

  Domain d;
  if (DOM_decode(domain_text.c_str(), &d) >= 1) {
    DOM_print(M_PRINT, &d);
    if (MAP_domain(&d) == 0) {
      float x, y, lat, lon;
      MAP_tran_center(&x, &y);
      MAP_untran(x, y, &lat, &lon);
      MAP_tran(45, 190, &x, &y);
      MAP_grid_tran(1, 1, &x, &y);
      MAP_untran(x, y, &lat, &lon);
      MAP_dir_adj(30, x, y);
      MAP_set_plot_limit(2);
      MAP_plot_grid_init();
      MAP_plot_grid(x, y);
      MAP_set_plot_limit(0);
    }
  }
  char found[DOM_TEXT_LEN];
  DOM_search_file("kav.reg", domain_text.c_str(), found);
  DOM_read_menu("kav.reg");
  return 0;
}

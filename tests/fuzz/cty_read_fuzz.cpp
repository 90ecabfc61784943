// Station file reader under arbitrary bytes: the bytes are read as a station
// file, every record is written back out and compared with the criteria the
// first record's fields make, then the whole file is loaded into the station
// table and searched by identifier, WMO number and location.
#include <kav/cty_read.h>
#include <kav/cty_tool.h>
#include <kav/mess.h>
#include <kav/resrc.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_scratch.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);
  bool written = false;
  const std::string file = fuzzscratch::write("stations", data, size, &written);
  if (!written) return 0;

  const int fd = CTY_open(file.c_str(), 0, 0);
  if (fd < 0) return 0;
  CTY_data rec, first;
  CTY_data_init(&first);
  int n = 0;
  std::string out;
  while (CTY_read(fd, &rec) > 0) {
    if (n++ == 0) first = rec;
    char crit[64];
    std::snprintf(crit, sizeof crit, "ST=%s:P<%d:RA<%g:%g:500", rec.state, rec.prior,
                  static_cast<double>(rec.lat), static_cast<double>(rec.lon));
    char *ids[] = {crit, first.id, first.name};
    CTY_data_cmp(3, ids, &rec);
  }
  CTY_close(fd);

  RES_put("identifier", "all");
  RES_put("city_file", file.c_str());
  for (int type = 1; type <= 3; ++type) {
    CTY_set_id_type(type - 1);
    CTY_data_size(type == 2 ? 8 : 0);
    if (CTY_store(nullptr, type, nullptr, 9) == 0) continue;
    CTY_data found;
    CTY_search(first.id, &found);
    char wmo[16];
    std::snprintf(wmo, sizeof wmo, "%05d", first.wmo);
    CTY_search(wmo, &found);
    CTY_locate loc;
    CTY_search_loc(first.lat, first.lon, &loc);
    for (void *p = CTY_next_data(0); p; p = CTY_next_data(1)) {
    }
    CTY_clear();
  }
  RES_put("city_file", "");
  return 0;
}

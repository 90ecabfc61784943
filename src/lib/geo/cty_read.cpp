// Station look-up. The station database reader is not in place yet: every
// identifier is reported as not found.
#include <kav/cty_read.h>
#include <kav/mess.h>

extern "C" int CTY_get_loc(const char *city_file, const char *id, float *, float *) KAV_NOEXCEPT {
  MESS_print(M_WARN, "CTY_get_loc: Station %s not found in %s\n", id ? id : "(null)",
             city_file && *city_file ? city_file : "sao.cty");
  return 0;
}

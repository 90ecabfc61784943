// The date module's link to the resource layer: the decoding window comes
// from the decode_hour resource.
#include <kav/date.h>
#include <kav/resrc.h>

#include "console/date_int.hpp"

extern "C" {

int DATE_set_datim(const Date *date) KAV_NOEXCEPT {
  return kav_date_set_datim(date, RES_get("decode_hour"));
}

}  // extern "C"

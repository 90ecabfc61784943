// Internal to the date module: the all-missing date, and what the resource
// layer above it calls.
#ifndef KAV_DATE_INT_HPP
#define KAV_DATE_INT_HPP

#include <kav/date.h>

// A date with every field missing (-9999), as DATE_init leaves one.
inline constexpr Date kNoDate = {KAV_IMISSING, KAV_IMISSING, KAV_IMISSING, KAV_IMISSING,
                                 KAV_IMISSING, KAV_IMISSING, KAV_IMISSING, KAV_IMISSING};

// Sets the file date and its decoding window; dh is the decode_hour text
// (null or empty: no window text). Returns 0, or -1 for a null date.
int kav_date_set_datim(const Date *date, const char *dh);

#endif

/* The city and station database: station locations by identifier. */
#ifndef KAV_CTY_READ_H
#define KAV_CTY_READ_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Looks up station id in city_file (null: "sao.cty") and stores its
 * latitude and longitude: 1 when found, else 0 with a message and the
 * outputs untouched. */
KAV_API int CTY_get_loc(const char *city_file, const char *id, float *lat, float *lon) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

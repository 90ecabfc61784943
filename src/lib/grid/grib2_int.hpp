// GRIB edition 2 inside the library: the one call through which the framing
// of GRIB files hands over an edition-2 message.
#ifndef KAV_GRID_GRIB2_INT_HPP
#define KAV_GRID_GRIB2_INT_HPP

#include <kav/grd_read.h>

#include <cstddef>

// Decodes an edition-2 message. msg holds the whole message, len octets,
// from its "GRIB" mark to its "7777" end (the framing has checked the mark,
// the edition and that len is the message's stated length). product numbers
// a product (a field) of the message from 0. When grd is not null and product
// lies below the count of products, that product is decoded into grd:
// rep_type 0 the header and values (the values array is allocated, the old
// one freed), 1 and 2 the header only (the array left untouched), as
// GRD_read reads them.
// Returns the count of products the message holds (0: the message is
// skipped, and the scan goes on without numbering it), GRIB_REJECT when the
// message is refused (a message said why; it is skipped), or GRIB_FAIL.
int kav_grib2_decode(const unsigned char *msg, size_t len, int product, GRD_report *grd,
                     int rep_type);

#endif

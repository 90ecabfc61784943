// Helpers shared by the station file reader and the station table.
#ifndef KAV_GEO_CTY_INT_HPP
#define KAV_GEO_CTY_INT_HPP

#include <kav/cty_read.h>

#include <string>

namespace kav_cty {

// v, or 0 when it prints as zero at a precision of twice half_unit (so that
// no "-0" is printed).
float no_negative_zero(float v, float half_unit);

// One line of the station file format for a record, line end included.
std::string format_line(const CTY_data &c);

// True when a read of the open station file failed since it was opened or
// last rewound (CTY_read then gave -2): what was read is not the whole file.
bool read_failed();
// CTY_read without its guard: memory that runs out while the line is read
// leaves as std::bad_alloc instead of reading as the end of the file, so a
// caller loading the whole file can tell the two apart.
int read_record(int city_fd, CTY_data *city);

}  // namespace kav_cty

#endif

// Internal to the library: text built by the modules as std::string.
#ifndef KAV_BASE_STRING_INT_HPP
#define KAV_BASE_STRING_INT_HPP

#include <string>

namespace kav::text {

// The text printf would write for format and the values that follow, whole
// (no limit of a buffer). Empty for a null format or one printf refuses.
std::string format(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kav::text

#endif

// Internal to the library: text built by the modules as std::string.
#ifndef KAV_BASE_STRING_INT_HPP
#define KAV_BASE_STRING_INT_HPP

#include <string>

namespace kav::text {

// The text printf would write for format and the values that follow, whole
// (no limit of a buffer). Empty for a null format or one printf refuses.
std::string format(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Reads the decimal integer at p into *out and moves p past it. Blanks and
// tabs before it are passed over (p stays after them when no integer
// follows). False, with *out unchanged, when there is no integer or it lies
// outside the range of int.
bool next_int(const char *&p, int *out);

// Reads text that is one decimal integer and nothing else into *out. False,
// with *out unchanged, for a null or empty text, anything after the number,
// or a number outside the range of int.
bool whole_int(const char *text, int *out);

}  // namespace kav::text

#endif

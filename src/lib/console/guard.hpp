// Internal to the library: the guard of C interface functions from the
// console layer up. Memory that runs out inside one becomes its failure
// result and an error message naming it.
#ifndef KAV_GUARD_HPP
#define KAV_GUARD_HPP

#include <kav/mess.h>

#include "base/fault.hpp"

namespace kav {

// The message of a C interface function whose memory ran out. A short
// message needs no memory of its own, so it can still be printed.
inline void out_of_memory(const char *who) noexcept {
  MESS_print(M_ERROR, "%s: Out of memory\n", who);
}

// Runs body and returns its result, or fail after "<who>: Out of memory".
template <class T, class Body>
T guarded(const char *who, T fail, Body &&body) noexcept {
  return fault::guard(fail, body, [who] { out_of_memory(who); });
}

}  // namespace kav

#endif

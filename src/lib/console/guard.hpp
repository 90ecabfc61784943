// Internal to the library: the guard of C interface functions from the
// console layer up. Memory that runs out inside one becomes its failure
// result and an error message naming it.
#ifndef KAV_GUARD_HPP
#define KAV_GUARD_HPP

#include <kav/mess.h>

#include "base/fault.hpp"

namespace kav {

// Runs body and returns its result, or fail after "<who>: Out of memory".
template <class T, class Body>
T guarded(const char *who, T fail, Body &&body) noexcept {
  return fault::guard(fail, body, [who] { MESS_print(M_ERROR, "%s: Out of memory\n", who); });
}

}  // namespace kav

#endif

// The library's file opening and its failure seam.
#include "base/fault.hpp"

#include <cerrno>
#include <cstdio>

namespace kav::fault {
namespace {

// The armed failure: the call that fails and the error it reports.
struct FaultState {
  int fail_at = 0;  // call number that fails, counted from the arming; 0 none
  int calls = 0;    // calls since the arming
  int err = 0;      // errno of the failed call
};

FaultState &state() {
  static FaultState s;
  return s;
}

// Counts one call; true when it is the armed one.
bool strikes() {
  FaultState &s = state();
  ++s.calls;
  if (s.fail_at == 0 || s.calls != s.fail_at) return false;
  s.fail_at = 0;
  errno = s.err;
  return true;
}

}  // namespace

std::FILE *open(const char *name, const char *mode) {
  if (strikes()) return nullptr;
  return std::fopen(name, mode);
}

std::FILE *open_pipe(const char *command, const char *mode) {
  if (strikes()) return nullptr;
  return ::popen(command, mode);
}

void fail_open(int nth, int err) {
  FaultState &s = state();
  s.fail_at = nth < 0 ? 0 : nth;
  s.calls = 0;
  s.err = err;
}

int open_calls() { return state().calls; }

}  // namespace kav::fault

// Internal to the library: the one place its modules open files, with a seam
// through which tests make an open fail as a full disc, a missing file or a
// refused permission would, to check each reader's failure result and
// message.
#ifndef KAV_FAULT_HPP
#define KAV_FAULT_HPP

#include <cstdio>

namespace kav::fault {

// std::fopen, unless a failure is armed for this call: then null with errno
// set to the armed error.
std::FILE *open(const char *name, const char *mode);
// ::popen, with the same seam as open (the two share one call count).
std::FILE *open_pipe(const char *command, const char *mode);
// For a file that another library opens itself (netCDF): counts the open as
// open does and returns true, with errno set, when it is the armed failure.
bool refuse_open();

// Runs body and returns what it returns; when an exception leaves it (memory
// ran out inside), on_fail runs and fail is returned. The guard of every C
// interface function that builds C++ objects.
template <class T, class Body, class OnFail>
T guard(T fail, Body &&body, OnFail &&on_fail) noexcept {
  try {
    return body();
  } catch (...) {
    on_fail();
    return fail;
  }
}

// Test hook: the nth call of open or open_pipe from now fails (1 is the next
// call) with errno err; every later call succeeds again. 0 disarms.
void fail_open(int nth, int err);
// Test hook: the calls of open and open_pipe since the last fail_open.
int open_calls();

// Test hook: while armed, every file open() opens is unbuffered and its reads
// (or, with writes set, its writes) are counted over all such files; the nth
// from now (1 is the next) fails with errno err, as a damaged disc or a full
// one would. A later read succeeds again; a later write to the same file
// fails too (a full disc stays full). 0 disarms; files opened while armed
// stay counted until they are closed.
void fail_io(int nth, int err, bool writes);
// Test hook: the reads (or writes) counted since the last fail_io.
int io_calls();
// Test hook: true once the armed read or write has failed.
bool io_struck();

// fileno, also for a file that the seam opened: its descriptor.
int descriptor(std::FILE *fp);

}  // namespace kav::fault

#endif

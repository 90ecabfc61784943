// Failure injection for the tests: make the library's file opening or the
// process's memory allocation fail on a chosen call.
#ifndef KAV_TESTS_FAULT_H
#define KAV_TESTS_FAULT_H

#include <cerrno>
#include <cstddef>

namespace kavtest {

// While alive, the nth file the library opens from now (1 is the next) fails
// with errno err; the others open as usual.
class FailOpen {
 public:
  explicit FailOpen(int nth, int err = ENOENT);
  ~FailOpen();
  FailOpen(const FailOpen &) = delete;
  FailOpen &operator=(const FailOpen &) = delete;
  // Files opened (or refused) since the object was made.
  int calls() const;
};

// While alive, every file the library opens is unbuffered and counted, and
// the nth read from now (1 is the next) over all of them fails with errno
// err; with writes set, the nth write fails instead (ENOSPC: a full disc).
class FailIO {
 public:
  explicit FailIO(int nth, bool writes = false, int err = 0);
  ~FailIO();
  FailIO(const FailIO &) = delete;
  FailIO &operator=(const FailIO &) = delete;
  // Reads (or writes) made since the object was made.
  int calls() const;
  // True once the armed read or write has failed.
  bool struck() const;
};

// While alive, allocation fails from the nth call on (1 is the next call):
// operator new throws std::bad_alloc (the nothrow forms return null) and, in
// builds without a sanitizer, malloc, calloc and realloc return null. With
// once set, only the nth call fails. With new_only set, only operator new
// counts and fails (for libraries that do not survive a failing malloc).
class FailAlloc {
 public:
  explicit FailAlloc(int nth, bool once = false, bool new_only = false);
  ~FailAlloc();
  FailAlloc(const FailAlloc &) = delete;
  FailAlloc &operator=(const FailAlloc &) = delete;
  // Allocations asked for since the object was made.
  long calls() const;
  // True once an allocation has been refused.
  bool struck() const;
};

// While alive, a single allocation of more than bytes fails, as it would
// with memory running out: for checking that what a file states cannot make
// the library ask for more than the file warrants. Without a sanitizer malloc,
// calloc and realloc are capped too, with one only operator new.
class CapAlloc {
 public:
  explicit CapAlloc(size_t bytes);
  ~CapAlloc();
  CapAlloc(const CapAlloc &) = delete;
  CapAlloc &operator=(const CapAlloc &) = delete;
  // The largest allocation refused, 0 when none was.
  size_t refused() const;
};

// True when malloc, not only operator new, can be made to fail.
bool malloc_injection();

}  // namespace kavtest

#endif

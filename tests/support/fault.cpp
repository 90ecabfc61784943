// Failure injection: the library's open seam, and replacements of the global
// allocation functions behind an armed counter.
#include "support/fault.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "base/fault.hpp"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KAVTEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define KAVTEST_SANITIZED 1
#endif
#endif

namespace {

// The armed allocation failure. Plain globals: the allocation functions run
// before any constructor and after every destructor.
bool g_armed = false;     // a failure is armed
bool g_once = false;      // only the nth call fails
long g_nth = 0;           // the first call that fails
long g_calls = 0;         // calls counted since the arming
bool g_struck = false;    // a call has been refused
bool g_new_only = false;  // malloc, calloc and realloc are left alone
size_t g_cap = 0;         // a single allocation larger than this fails (0: none)
size_t g_capped = 0;      // the largest allocation refused by the cap

// Counts one allocation of size bytes; true when it must fail.
bool refuse(size_t size, bool by_malloc = false) {
  if (g_cap && size > g_cap) {
    if (size > g_capped) g_capped = size;
    return true;
  }
  if (!g_armed || (by_malloc && g_new_only)) return false;
  ++g_calls;
  bool fail = g_once ? g_calls == g_nth : g_calls >= g_nth;
  if (fail) g_struck = true;
  return fail;
}

}  // namespace

#ifndef KAVTEST_SANITIZED
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t n, size_t size);
void *__libc_realloc(void *p, size_t size);

void *malloc(size_t size) {
  if (refuse(size, true)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_malloc(size);
}

void *calloc(size_t n, size_t size) {
  if (refuse(n > 0 && size > SIZE_MAX / n ? SIZE_MAX : n * size, true)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_calloc(n, size);
}

void *realloc(void *p, size_t size) {
  if (refuse(size, true)) {
    errno = ENOMEM;
    return nullptr;
  }
  return __libc_realloc(p, size);
}
}
#define KAVTEST_RAW_ALLOC(n) __libc_malloc(n)
#else
#define KAVTEST_RAW_ALLOC(n) std::malloc(n)
#endif

namespace {

void *checked_new(size_t size) {
  if (refuse(size)) throw std::bad_alloc();
  void *p = KAVTEST_RAW_ALLOC(size ? size : 1);
  if (!p) throw std::bad_alloc();
  return p;
}

void *nothrow_new(size_t size) noexcept {
  if (refuse(size)) return nullptr;
  return KAVTEST_RAW_ALLOC(size ? size : 1);
}

}  // namespace

void *operator new(size_t size) { return checked_new(size); }
void *operator new[](size_t size) { return checked_new(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept { return nothrow_new(size); }
void *operator new[](size_t size, const std::nothrow_t &) noexcept { return nothrow_new(size); }
void operator delete(void *p) noexcept { std::free(p); }
void operator delete[](void *p) noexcept { std::free(p); }
void operator delete(void *p, size_t) noexcept { std::free(p); }
void operator delete[](void *p, size_t) noexcept { std::free(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { std::free(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { std::free(p); }

namespace kavtest {

FailOpen::FailOpen(int nth, int err) { kav::fault::fail_open(nth, err); }
FailOpen::~FailOpen() { kav::fault::fail_open(0, 0); }
int FailOpen::calls() const { return kav::fault::open_calls(); }

FailIO::FailIO(int nth, bool writes, int err) {
  kav::fault::fail_io(nth < 1 ? 1 : nth, err ? err : (writes ? ENOSPC : EIO), writes);
}
FailIO::~FailIO() { kav::fault::fail_io(0, 0, false); }
int FailIO::calls() const { return kav::fault::io_calls(); }
bool FailIO::struck() const { return kav::fault::io_struck(); }

FailAlloc::FailAlloc(int nth, bool once, bool new_only) {
  g_calls = 0;
  g_new_only = new_only;
  g_struck = false;
  g_nth = nth < 1 ? 1 : nth;
  g_once = once;
  g_armed = true;
}
FailAlloc::~FailAlloc() { g_armed = false; }
long FailAlloc::calls() const { return g_calls; }
bool FailAlloc::struck() const { return g_struck; }

CapAlloc::CapAlloc(size_t bytes) {
  g_capped = 0;
  g_cap = bytes;
}
CapAlloc::~CapAlloc() { g_cap = 0; }
size_t CapAlloc::refused() const { return g_capped; }

bool malloc_injection() {
#ifdef KAVTEST_SANITIZED
  return false;
#else
  return true;
#endif
}

}  // namespace kavtest

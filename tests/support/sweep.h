// The allocation sweep of the failure tests: a call is run with its 1st,
// 2nd, ... allocation refused in turn until it needs no refused one.
#ifndef KAV_TESTS_SWEEP_H
#define KAV_TESTS_SWEEP_H

#include <gtest/gtest.h>

#include <string>

#include "support/descriptors.h"
#include "support/fault.h"
#include "support/kavtest.h"

namespace kavtest {

// Runs call (true when it succeeded) with the nth allocation and every later
// one failing, for n = 1, 2, ... until a run is not struck, which must then
// succeed. A struck run may succeed or fail, but a failure must have printed
// a message; nothing may escape or abort. cleanup runs after each attempt,
// with memory back, and must close what a successful call leaves open: after
// it the process has the files open that it had before the sweep. With
// new_only, only operator new fails. Returns the number of struck runs.
template <class Call, class Cleanup>
int alloc_sweep(const char *what, Call call, Cleanup cleanup, bool new_only = false,
                int limit = 5000) {
  SCOPED_TRACE(what);
  const int descriptors = open_descriptors();
  for (int nth = 1; nth <= limit; ++nth) {
    bool struck = false, ok = false;
    const Captured cap = capture([&] {
      FailAlloc fail(nth, false, new_only);
      ok = call();
      struck = fail.struck();
    });
    cleanup();
    const int left = open_descriptors();
    if (left != descriptors) {
      ADD_FAILURE() << "allocation " << nth << (struck ? "" : " (not struck)") << " left "
                    << left - descriptors << " more files open: " << cap.err;
      return nth;
    }
    if (!struck) {
      EXPECT_TRUE(ok) << "the call fails without any allocation refused: " << cap.err;
      return nth - 1;
    }
    if (!ok) {
      EXPECT_FALSE(cap.err.empty()) << "allocation " << nth << " failed the call silently";
    }
  }
  ADD_FAILURE() << "still allocating after " << limit << " allocations";
  return limit;
}

template <class Call>
int alloc_sweep(const char *what, Call call) {
  return alloc_sweep(what, call, [] {});
}

// Runs call (true when it succeeded) with the nth read of the files the
// library opens failing, for n = 1, 2, ... until a run is not struck, which
// must then succeed. A struck run must fail with a message: data cut short by
// a read error is never taken for the whole. cleanup runs after each attempt.
// With writes, the nth write fails instead (a full disc). Returns the number
// of struck runs.
template <class Call, class Cleanup>
int io_sweep(const char *what, Call call, Cleanup cleanup, bool writes = false, int limit = 20000) {
  SCOPED_TRACE(what);
  for (int nth = 1; nth <= limit; ++nth) {
    bool struck = false, ok = false;
    const Captured cap = capture([&] {
      FailIO fail(nth, writes);
      ok = call();
      struck = fail.struck();
    });
    cleanup();
    if (!struck) {
      EXPECT_TRUE(ok) << "the call fails without any " << (writes ? "write" : "read")
                      << " refused: " << cap.err;
      return nth - 1;
    }
    EXPECT_FALSE(ok) << (writes ? "write " : "read ") << nth << " failed, yet the call succeeded";
    if (!ok) {
      EXPECT_FALSE(cap.err.empty())
          << (writes ? "write " : "read ") << nth << " failed the call silently";
    }
    if (::testing::Test::HasFailure()) return nth;
  }
  ADD_FAILURE() << "still reading after " << limit << " calls";
  return limit;
}

template <class Call>
int io_sweep(const char *what, Call call, bool writes = false) {
  return io_sweep(
      what, call, [] {}, writes);
}

// Runs call (true when it succeeded) with the nth file the library opens
// refused (errno err), for n = 1, 2, ... until a run opens fewer files, which
// must then succeed. A struck run must fail with a message. cleanup runs after
// each attempt. Returns the number of struck runs.
template <class Call, class Cleanup>
int open_sweep(const char *what, Call call, Cleanup cleanup, int err = ENOENT, int limit = 200) {
  SCOPED_TRACE(what);
  for (int nth = 1; nth <= limit; ++nth) {
    bool struck = false, ok = false;
    const Captured cap = capture([&] {
      FailOpen fail(nth, err);
      ok = call();
      struck = fail.calls() >= nth;
    });
    cleanup();
    if (!struck) {
      EXPECT_TRUE(ok) << "the call fails without any open refused: " << cap.err;
      return nth - 1;
    }
    EXPECT_FALSE(ok) << "open " << nth << " failed, yet the call succeeded";
    if (!ok) {
      EXPECT_FALSE(cap.err.empty()) << "open " << nth << " failed the call silently";
    }
    if (::testing::Test::HasFailure()) return nth;
  }
  ADD_FAILURE() << "still opening after " << limit << " calls";
  return limit;
}

template <class Call>
int open_sweep(const char *what, Call call) {
  return open_sweep(what, call, [] {});
}

}  // namespace kavtest

#endif

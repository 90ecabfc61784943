// The library's file opening and its failure seam.
#include "base/fault.hpp"

#include <sys/types.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>

namespace kav::fault {
namespace {

// A file opened while reads or writes are armed: the real stream, read and
// written through a cookie stream that counts the calls.
struct Counted {
  std::FILE *real = nullptr;  // the file itself
  std::FILE *fp = nullptr;    // the counted stream over it
  int write_err = 0;          // errno of a failed write: a full disc stays full
};

// The armed failures: the open that fails and the read or write that fails.
struct FaultState {
  int fail_at = 0;         // open call number that fails, counted from the arming; 0 none
  int calls = 0;           // open calls since the arming
  int err = 0;             // errno of the failed open
  bool io_armed = false;   // opens wrap their files in counted streams
  bool io_writes = false;  // writes are counted, not reads
  int io_fail_at = 0;      // read or write number that fails; 0 none
  int io_calls = 0;        // reads or writes counted since the arming
  int io_err = 0;          // errno of the failed read or write
  bool io_struck = false;  // the armed read or write has failed
  std::map<std::FILE *, std::FILE *> real;  // counted stream -> real stream
  std::mutex lock;                          // guards real
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

// Counts one read or write; true when it is the armed one.
bool io_strikes(bool writing) {
  FaultState &s = state();
  if (!s.io_armed || writing != s.io_writes) return false;
  ++s.io_calls;
  if (s.io_fail_at == 0 || s.io_calls != s.io_fail_at) return false;
  s.io_fail_at = 0;
  s.io_struck = true;
  errno = s.io_err;
  return true;
}

ssize_t counted_read(void *cookie, char *buf, size_t size) {
  auto *c = static_cast<Counted *>(cookie);
  if (io_strikes(false)) return -1;
  const size_t got = std::fread(buf, 1, size, c->real);
  if (got == 0 && std::ferror(c->real)) return -1;
  return static_cast<ssize_t>(got);
}

ssize_t counted_write(void *cookie, const char *buf, size_t size) {
  auto *c = static_cast<Counted *>(cookie);
  if (c->write_err == 0 && io_strikes(true)) c->write_err = errno;
  if (c->write_err != 0) {
    errno = c->write_err;
    return -1;
  }
  const size_t put = std::fwrite(buf, 1, size, c->real);
  if (put == 0 && size > 0) return -1;
  return static_cast<ssize_t>(put);
}

int counted_seek(void *cookie, off64_t *offset, int whence) {
  auto *c = static_cast<Counted *>(cookie);
  if (fseeko64(c->real, *offset, whence) != 0) return -1;
  *offset = ftello64(c->real);
  return *offset < 0 ? -1 : 0;
}

int counted_close(void *cookie) {
  auto *c = static_cast<Counted *>(cookie);
  {
    FaultState &s = state();
    const std::lock_guard<std::mutex> hold(s.lock);
    s.real.erase(c->fp);
  }
  const int rc = std::fclose(c->real);
  delete c;
  return rc;
}

// Wraps a real stream in a counted one, unbuffered so that every read or
// write of the library is a call of its own.
std::FILE *counted(std::FILE *real, const char *mode) {
  if (!real) return nullptr;
  auto *c = new (std::nothrow) Counted{real};
  if (!c) return real;
  const cookie_io_functions_t io{counted_read, counted_write, counted_seek, counted_close};
  std::FILE *fp = fopencookie(c, mode, io);
  if (!fp) {
    delete c;
    return real;
  }
  setvbuf(fp, nullptr, _IONBF, 0);
  c->fp = fp;
  FaultState &s = state();
  const std::lock_guard<std::mutex> hold(s.lock);
  s.real[fp] = real;
  return fp;
}

}  // namespace

std::FILE *open(const char *name, const char *mode) {
  if (strikes()) return nullptr;
  std::FILE *fp = std::fopen(name, mode);
  return state().io_armed ? counted(fp, mode) : fp;
}

std::FILE *open_pipe(const char *command, const char *mode) {
  if (strikes()) return nullptr;
  return ::popen(command, mode);
}

bool refuse_open() { return strikes(); }

void fail_open(int nth, int err) {
  FaultState &s = state();
  s.fail_at = nth < 0 ? 0 : nth;
  s.calls = 0;
  s.err = err;
}

int open_calls() { return state().calls; }

void fail_io(int nth, int err, bool writes) {
  FaultState &s = state();
  s.io_armed = nth > 0;
  s.io_fail_at = nth < 0 ? 0 : nth;
  s.io_calls = 0;
  s.io_err = err;
  s.io_writes = writes;
  s.io_struck = false;
}

int io_calls() { return state().io_calls; }

bool io_struck() { return state().io_struck; }

int descriptor(std::FILE *fp) {
  if (!fp) return -1;
  const int fd = fileno(fp);
  if (fd >= 0) return fd;
  FaultState &s = state();
  const std::lock_guard<std::mutex> hold(s.lock);
  const auto it = s.real.find(fp);
  return it == s.real.end() ? -1 : fileno(it->second);
}

}  // namespace kav::fault

// Output files replaced whole or not at all: a temporary beside the target,
// created exclusively, takes the target's place by rename once everything
// was written and closed.
#include "console/files_out.hpp"

#include <kav/files.h>
#include <kav/mess.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/fault.hpp"
#include "console/files_int.hpp"

namespace kav {
namespace {

// Links followed before a name is taken as a loop.
constexpr int kMaxLinks = 40;
// Temporary names tried before giving up on finding a free one.
constexpr int kTempTries = 100;
// Characters of the target's own name kept in the temporary's name.
constexpr size_t kTempBase = 200;

// The directory part of a path ("" for none) and its last component.
std::string dir_part(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_part(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char *shown(const std::string &name) { return name.empty() ? "-" : name.c_str(); }

}  // namespace

// ---- Replacement ----

Replacement::~Replacement() { abandon(); }

bool Replacement::prepare(const char *file) {
  if (!file || !file[0]) {
    errno = ENOENT;
    return false;
  }
  abandon();
  target_.clear();
  replaceable_ = true;
  existed_ = failed_ = false;
  old_size_ = 0;
  std::string name = kav_files::expand_user(file);
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (::lstat(name.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      // Not there yet: a new file, its directories made as for any output.
      target_ = name;
      existed_ = false;
      replaceable_ = true;
      FILE_make_dir(target_.c_str(), 1);
      return true;
    }
    if (S_ISLNK(st.st_mode)) {
      if (hops >= kMaxLinks) {
        errno = ELOOP;
        return false;
      }
      std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
      const ssize_t n = ::readlink(name.c_str(), buf.data(), buf.size());
      if (n < 0) return false;
      if (static_cast<size_t>(n) >= buf.size()) {
        errno = ENAMETOOLONG;
        return false;
      }
      const std::string link(buf.data(), static_cast<size_t>(n));
      const std::string dir = dir_part(name);
      name = link[0] == '/' || dir.empty() ? link : (dir == "/" ? "/" : dir + "/") + link;
      continue;
    }
    target_ = name;
    existed_ = true;
    replaceable_ = S_ISREG(st.st_mode);
    mode_ = st.st_mode & 0777;
    uid_ = st.st_uid;
    gid_ = st.st_gid;
    old_size_ = static_cast<long long>(st.st_size);
    return true;
  }
}

const std::string &Replacement::claim() {
  abandon();
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const unsigned long long mix = (static_cast<unsigned long long>(now.tv_nsec) * 2654435761ULL) ^
                                 (static_cast<unsigned long long>(::getpid()) << 20) ^
                                 (++serial_ * 40503ULL);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".kav%06llx", mix & 0xFFFFFFULL);
  const std::string dir = dir_part(target_);
  std::string base = base_part(target_);
  if (base.size() > kTempBase) base.resize(kTempBase);
  temp_ = (dir.empty() ? "" : (dir == "/" ? "/" : dir + "/")) + "." + base + suffix;
  pid_ = ::getpid();
  return temp_;
}

void Replacement::unclaim() { temp_.clear(); }

void Replacement::created(int fd) {
  if (!existed_ || temp_.empty()) return;
  // The old file's owner and permissions; an owner that cannot be given
  // (not privileged) stays the writer's, with the old group if it can.
  const char *temp = temp_.c_str();
  struct stat st {};
  const int got = fd >= 0 ? ::fstat(fd, &st) : ::stat(temp, &st);
  if (got == 0 && (st.st_uid != uid_ || st.st_gid != gid_)) {
    const uid_t keep = static_cast<uid_t>(-1);
    if (fd >= 0 ? ::fchown(fd, uid_, gid_) != 0 && ::fchown(fd, keep, gid_) != 0
                : ::chown(temp, uid_, gid_) != 0 && ::chown(temp, keep, gid_) != 0)
      errno = 0;
  }
  if ((fd >= 0 ? ::fchmod(fd, mode_) : ::chmod(temp, mode_)) != 0) errno = 0;
}

bool Replacement::commit() {
  if (temp_.empty()) return !failed_;
  if (failed_) {
    abandon();
    errno = EIO;
    return false;
  }
  if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
    const int err = errno;
    abandon();
    errno = err;
    return false;
  }
  temp_.clear();
  return true;
}

void Replacement::abandon() {
  if (temp_.empty()) return;
  // A child of a fork that ends its copy of the process leaves the parent's
  // temporary alone.
  if (pid_ == ::getpid()) ::unlink(temp_.c_str());
  temp_.clear();
}

// ---- OutFile ----

OutFile::~OutFile() { abandon(); }

int OutFile::descriptor() const { return fp_ ? kav::fault::descriptor(fp_) : -1; }

void OutFile::report(const char *who, const char *doing, int err) {
  if (reported_) return;
  reported_ = true;
  if (err != 0)
    MESS_print(M_WARN, "%s: Unable to %s %s: %s (%s)\n", who, doing, what_.c_str(), shown(name_),
               std::strerror(err));
  else
    MESS_print(M_WARN, "%s: Unable to %s %s: %s\n", who, doing, what_.c_str(), shown(name_));
}

bool OutFile::open(const char *who, const char *what, const char *file, bool append) {
  abandon();
  what_ = what;
  name_ = file ? file : "";
  failed_ = reported_ = had_content_ = direct_ = stdio_ = false;
  err_ = 0;
  auto refuse = [&] {
    failed_ = reported_ = true;
    MESS_print(M_WARN, "%s: Unable to open %s: %s\n", who, what, shown(name_));
    return false;
  };
  if (!file) return refuse();
  if (FILE_is_stdio(file) || file[0] == '|') {
    // Standard output and pipes cannot be replaced: written as they go.
    fp_ = FILE_open(file, "w");
    if (!fp_) return refuse();
    direct_ = true;
    stdio_ = fp_ == stdout;
    if (stdio_) std::clearerr(fp_);
    return true;
  }
  if (!rep_.prepare(file)) return refuse();
  if (!rep_.replaceable()) {
    // A device or a named pipe: written in place.
    fp_ = kav::fault::open(rep_.target().c_str(), append ? "a" : "w");
    if (!fp_) return refuse();
    direct_ = true;
    return true;
  }
  for (int tries = 0; !fp_; ++tries) {
    fp_ = kav::fault::open(rep_.claim().c_str(), "wx");
    if (fp_) {
      rep_.created(kav::fault::descriptor(fp_));
    } else {
      rep_.unclaim();  // taken by another, or not made at all
      if (errno != EEXIST || tries >= kTempTries) return refuse();
    }
  }
  if (append && rep_.had_content()) {
    // The old content first, so that a failed append leaves the old file.
    std::FILE *in = kav::fault::open(rep_.target().c_str(), "rb");
    if (!in) {
      abandon();
      return refuse();
    }
    std::vector<char> buf(65536);
    bool read_ok = true;
    for (;;) {
      const size_t got = std::fread(buf.data(), 1, buf.size(), in);
      if (got > 0 && std::fwrite(buf.data(), 1, got, fp_) != got) break;
      if (got < buf.size()) {
        read_ok = !std::ferror(in);
        break;
      }
    }
    const int read_err = errno;
    std::fclose(in);
    if (!read_ok) {
      failed_ = true;
      report(who, "read", read_err);
      abandon();
      return false;
    }
    if (!check(who)) {
      abandon();
      return false;
    }
    had_content_ = true;
  }
  return true;
}

bool OutFile::check(const char *who) {
  if (!failed_ && fp_ && (std::ferror(fp_) || std::fflush(fp_) != 0)) {
    failed_ = true;
    err_ = errno;
  }
  if (!failed_ && !fp_) return true;
  if (failed_) report(who, "write", err_);
  return !failed_;
}

bool OutFile::close(const char *who) {
  if (!fp_) {
    rep_.abandon();
    return !failed_;
  }
  bool ok = check(who);
  std::FILE *fp = fp_;
  fp_ = nullptr;
  if (stdio_) {
    // Standard output stays open for the rest of the program.
  } else if (direct_) {
    if (FILE_close(fp) != 0 && ok) {
      failed_ = true;
      err_ = errno;
      report(who, "write", err_);
      ok = false;
    }
  } else if (std::fclose(fp) != 0 && ok) {
    failed_ = true;
    err_ = errno;
    report(who, "write", err_);
    ok = false;
  }
  if (direct_) return ok;
  if (!ok) {
    rep_.abandon();
    return false;
  }
  if (!rep_.commit()) {
    failed_ = true;
    err_ = errno;
    report(who, "replace", err_);
    return false;
  }
  return true;
}

void OutFile::abandon() {
  if (fp_) {
    if (stdio_)
      std::fflush(fp_);
    else if (direct_)
      FILE_close(fp_);
    else
      std::fclose(fp_);
    fp_ = nullptr;
  }
  rep_.abandon();
}

}  // namespace kav

// File-system services and the module state of the file layer: names with
// ~ and ~user expanded, standard streams, command pipes, directories made on
// demand, the package's file kinds, and the current name, fixed date fields
// and template keys that the name conventions (files_conv.cpp) work with.
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/system.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "base/fault.hpp"
#include "console/files_int.hpp"
#include "console/guard.hpp"

namespace kav_files {

FileState &state() {
  static FileState s;
  return s;
}

std::string cut(const std::string &s, size_t size) {
  return s.size() < size ? s : s.substr(0, size - 1);
}

void copy_out(char *dst, const std::string &s, size_t size) {
  if (!dst || size == 0) return;
  const size_t n = s.size() < size ? s.size() : size - 1;
  std::memcpy(dst, s.data(), n);
  dst[n] = '\0';
}

std::string expand_user(const std::string &name) {
  if (name.empty() || name[0] != '~') return name;
  const size_t slash = name.find('/');
  const std::string user =
      name.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
  const std::string rest = slash == std::string::npos ? "" : name.substr(slash);
  std::string home;
  if (user.empty()) {
    const char *h = std::getenv("HOME");
    if (h && *h) {
      home = h;
    } else if (const struct passwd *pw = getpwuid(getuid())) {
      if (pw->pw_dir) home = pw->pw_dir;
    }
  } else if (const struct passwd *pw = getpwnam(user.c_str())) {
    if (pw->pw_dir) home = pw->pw_dir;
  }
  if (home.empty()) return name;
  return home + rest;
}

bool is_stdio(const char *name) {
  if (!name) return false;
  return !*name || std::strcmp(name, "-") == 0 || stricmp(name, "std") == 0 ||
         stricmp(name, "stdn") == 0;
}

}  // namespace kav_files

using namespace kav_files;

namespace {

// stat of a user's file name; false when it fails (or memory ran out).
bool stat_of(const char *file, struct stat &st) {
  if (!file) return false;
  return kav::guarded("FILE_exist", false, [&] {
    const std::string name = expand_user(file);
    return ::stat(name.c_str(), &st) == 0;
  });
}

// The part of dir left when its last flag components are dropped.
std::string leading_dirs(std::string dir, int flag) {
  for (int i = 0; i < flag; ++i) {
    const size_t slash = dir.rfind('/');
    if (slash == std::string::npos) return "";
    dir.resize(slash);
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

bool dir_exists(const std::string &dir) {
  struct stat st;
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct Kind {
  const char *lead;  // leading characters of the file
  int kind;          // the kind code
};
const Kind kinds[] = {{"KAVSFC", FILE_KIND_SFC},   {"KAVUPA", FILE_KIND_UPA},
                      {"KAVRAW", FILE_KIND_RAW},   {"KAVGRID", FILE_KIND_GRID},
                      {"KAVMETA", FILE_KIND_META}, {"KAVIMG", FILE_KIND_IMG}};

// Reads the first characters of a plain file; false when it cannot be opened
// or read.
// Anything but a regular file reads as empty: reading a named pipe or a
// terminal could wait for ever and would take bytes from their real reader.
bool read_lead(const std::string &name, std::string &lead) {
  lead.clear();
  struct stat st;
  if (::stat(name.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) return true;
  FILE *fp = kav::fault::open(name.c_str(), "rb");
  if (!fp) {
    MESS_print(M_WARN, "FILE_type: Unable to open file: %s\n", name.c_str());
    return false;
  }
  char buf[10];
  const size_t n = std::fread(buf, 1, sizeof buf, fp);
  const bool failed = n < sizeof buf && std::ferror(fp);
  std::fclose(fp);
  if (failed) {
    // Unknown, not some other kind: the lead that was read may be cut short.
    MESS_print(M_WARN, "FILE_type: Unable to read file: %s\n", name.c_str());
    return false;
  }
  lead.assign(buf, n);
  return true;
}

}  // namespace

extern "C" {

FILE *FILE_open(const char *file, const char *access) KAV_NOEXCEPT {
  if (!file || !access || !*access) return nullptr;
  if (is_stdio(file)) return access[0] == 'r' ? stdin : stdout;
  const auto out_of_memory = [] {
    kav::out_of_memory("FILE_open");
    errno = ENOMEM;  // so that no caller takes the file for a missing one
  };
  return kav::fault::guard(
      static_cast<FILE *>(nullptr),
      [&]() -> FILE * {
        if (file[0] == '|') {
          if (!file[1]) return nullptr;
          FILE *fp = kav::fault::open_pipe(file + 1, access[0] == 'r' ? "r" : "w");
          if (!fp) return nullptr;
          try {
            state().pipes.insert(fp);
          } catch (...) {
            ::pclose(fp);
            throw;
          }
          return fp;
        }
        const std::string name = expand_user(file);
        if (access[0] == 'w' || access[0] == 'a') FILE_make_dir(name.c_str(), 1);
        FILE *fp = kav::fault::open(name.c_str(), access);
        // A file missing or refused is the caller's to report (or to pass over);
        // memory running out inside the open is said here, whoever called.
        if (!fp && errno == ENOMEM) out_of_memory();
        return fp;
      },
      out_of_memory);
}

int FILE_close(FILE *fp) KAV_NOEXCEPT {
  if (!fp || fp == stdin || fp == stdout || fp == stderr) {
    if (fp) std::fflush(fp);
    return 0;
  }
  auto &pipes = state().pipes;
  if (pipes.erase(fp)) return ::pclose(fp) == -1 ? -1 : 0;
  return std::fclose(fp);
}

int FILE_exist(const char *file) KAV_NOEXCEPT {
  if (is_stdio(file)) return 1;
  struct stat st;
  return stat_of(file, st) ? 1 : 0;
}

int FILE_is_dir(const char *file) KAV_NOEXCEPT {
  struct stat st;
  return stat_of(file, st) && S_ISDIR(st.st_mode) ? 1 : 0;
}

int FILE_is_file(const char *file) KAV_NOEXCEPT {
  struct stat st;
  return stat_of(file, st) && S_ISREG(st.st_mode) ? 1 : 0;
}

int FILE_is_fifo(const char *file) KAV_NOEXCEPT {
  struct stat st;
  return stat_of(file, st) && S_ISFIFO(st.st_mode) ? 1 : 0;
}

int FILE_is_device(const char *file) KAV_NOEXCEPT {
  struct stat st;
  return stat_of(file, st) && (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) ? 1 : 0;
}

long FILE_size(const char *file) KAV_NOEXCEPT {
  struct stat st;
  return stat_of(file, st) ? static_cast<long>(st.st_size) : -1;
}

int64_t FILE_modtime(const char *file) KAV_NOEXCEPT {
  struct stat st;
  return stat_of(file, st) ? static_cast<int64_t>(st.st_mtime) : -1;
}

int FILE_delete(const char *file) KAV_NOEXCEPT {
  return kav::guarded("FILE_delete", -1, [&]() -> int {
    if (!file) return -1;
    return ::unlink(expand_user(file).c_str());
  });
}

int FILE_make_dir(const char *dir, int flag) KAV_NOEXCEPT {
  return kav::guarded("FILE_make_dir", -1, [&]() -> int {
    if (!dir) return -1;
    std::string name = dir;
    for (char &c : name)
      if (c == '\\') c = '/';
    name = expand_user(name);
    const std::string target = leading_dirs(name, flag < 0 ? 0 : flag);
    if (target.empty() || dir_exists(target)) return 1;
    for (size_t pos = target.find('/', 1); pos != std::string::npos;
         pos = target.find('/', pos + 1)) {
      const std::string part = target.substr(0, pos);
      if (!dir_exists(part) && ::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    }
    if (::mkdir(target.c_str(), 0755) != 0 && errno != EEXIST) return -1;
    return dir_exists(target) ? 0 : -1;
  });
}

int FILE_fullpath(const char *name) KAV_NOEXCEPT {
  return name && (name[0] == '/' || name[0] == '.' || name[0] == '~') ? 1 : 0;
}

char *FILE_add_path(const char *path, const char *file, char *dst) KAV_NOEXCEPT {
  // dst may be file itself: it is only emptied once memory has run out.
  return kav::fault::guard(
      static_cast<char *>(nullptr),
      [&]() -> char * {
        if (!dst || !file) return nullptr;
        std::string out;
        if (is_stdio(file) || FILE_fullpath(file) || !path || !*path) {
          out = file;
        } else {
          out = path;
          if (out.back() != '/') out += '/';
          out += file;
        }
        copy_out(dst, out, FILE_NAME_LEN);
        return dst;
      },
      [&] {
        kav::out_of_memory("FILE_add_path");
        if (dst) dst[0] = '\0';
      });
}

int FILE_add_path_delim(char *path) KAV_NOEXCEPT {
  if (!path) return -1;
  const size_t n = std::strlen(path);
  if (n > 0 && path[n - 1] != '/') {
    path[n] = '/';
    path[n + 1] = '\0';
  }
  return 0;
}

char *FILE_add_user_path(const char *file, char *filename) KAV_NOEXCEPT {
  // filename may be file itself: it is only emptied once memory has run out.
  return kav::fault::guard(
      static_cast<char *>(nullptr),
      [&]() -> char * {
        if (!filename) return nullptr;
        copy_out(filename, file ? expand_user(file) : std::string(), FILE_NAME_LEN);
        return filename;
      },
      [&] {
        kav::out_of_memory("FILE_add_user_path");
        if (filename) filename[0] = '\0';
      });
}

int FILE_is_stdio(const char *name) KAV_NOEXCEPT { return is_stdio(name) ? 1 : 0; }

int FILE_type(const char *filename) KAV_NOEXCEPT {
  return kav::guarded("FILE_type", -1, [&]() -> int {
    if (!filename || is_stdio(filename) || filename[0] == '|') return -1;
    std::string name = expand_user(filename);
    std::string lead;
    if (!read_lead(name, lead)) {
      // The dash is looked for in the last component: directories keep theirs.
      const size_t slash = name.rfind('/');
      const size_t base = slash == std::string::npos ? 0 : slash + 1;
      const size_t dash = name.find('-', base);
      if (dash == std::string::npos || dash == base || !read_lead(name.substr(0, dash), lead))
        return -1;
    }
    for (const Kind &k : kinds)
      if (lead.compare(0, std::strlen(k.lead), k.lead) == 0) return k.kind;
    return -1;
  });
}

int FILE_set_filename(const char *str) KAV_NOEXCEPT {
  return kav::guarded("FILE_set_filename", -1, [&]() -> int {
    FileState &s = state();
    s.filename = cut(str ? str : "", FILE_NAME_LEN);
    s.filename_type = 1;
    return 0;
  });
}

const char *FILE_get_filename(char *str) KAV_NOEXCEPT {
  const FileState &s = state();
  copy_out(str, s.filename, FILE_NAME_LEN);
  return s.filename.c_str();
}

int FILE_set_name_conv(const char *str) KAV_NOEXCEPT {
  return kav::guarded("FILE_set_name_conv", -1, [&]() -> int {
    if (!str) return -1;
    FileState &s = state();
    int late = s.late_off;
    char conv[FILE_NAME_LEN] = "", hconv[FILE_NAME_LEN] = "";
    if (std::sscanf(str, "%d %159s %159s", &late, conv, hconv) < 1) return -1;
    s.late_off = late;
    s.conv = conv;
    s.hconv = hconv;
    return 0;
  });
}

int FILE_get_name_conv(char *str) KAV_NOEXCEPT {
  if (!str) return -1;
  const FileState &s = state();
  std::snprintf(str, FILE_CONV_LEN, "%d %s %s", s.late_off, s.conv.c_str(), s.hconv.c_str());
  return 0;
}

int FILE_save_name_conv(void) KAV_NOEXCEPT {
  return kav::guarded("FILE_save_name_conv", -1, [&]() -> int {
    FileState &s = state();
    s.saved = {s.late_off, s.conv, s.hconv, s.filename, s.filename_type};
    return 0;
  });
}

int FILE_restore_name_conv(void) KAV_NOEXCEPT {
  return kav::guarded("FILE_restore_name_conv", -1, [&]() -> int {
    FileState &s = state();
    s.late_off = s.saved.late_off;
    s.conv = s.saved.conv;
    s.hconv = s.saved.hconv;
    s.filename = s.saved.filename;
    s.filename_type = s.saved.filename_type;
    return 0;
  });
}

int FILE_set_late_off(int val) KAV_NOEXCEPT {
  state().late_off = val;
  return 0;
}

int FILE_get_late_off(void) KAV_NOEXCEPT { return state().late_off; }

int FILE_set_min_size(int val) KAV_NOEXCEPT {
  state().rmin_size = val;
  return 0;
}

int FILE_get_min_size(void) KAV_NOEXCEPT {
  const FileState &s = state();
  return s.rmin_size != 0 ? s.rmin_size : s.min_size;
}

int FILE_set_time(const Date *datim) KAV_NOEXCEPT {
  if (!datim) return -1;
  state().set = *datim;
  return 0;
}

int FILE_get_time(Date *datim) KAV_NOEXCEPT {
  if (!datim) return -1;
  *datim = state().set;
  return 0;
}

int FILE_reset_time(void) KAV_NOEXCEPT {
  Date &d = state().set;
  d.year = d.month = d.day = d.hour = d.min = KAV_IMISSING;
  return 0;
}

int FILE_get_date(Date *date) KAV_NOEXCEPT {
  if (!date) return -1;
  *date = state().file_date;
  return 0;
}

int FILE_set_key(int key, const char *str) KAV_NOEXCEPT {
  return kav::guarded("FILE_set_key", -1, [&]() -> int {
    if (key < 0 || key > 255) return -1;
    std::string v = cut(str ? str : "", FILE_KEY_LEN);
    for (char &c : v)
      if (c == ' ') c = '_';
    state().keys[static_cast<size_t>(key)] = v;
    return 0;
  });
}

int FILE_get_key(int key, char *str) KAV_NOEXCEPT {
  if (key < 0 || key > 255) {
    copy_out(str, "", FILE_KEY_LEN);
    return 0;
  }
  copy_out(str, state().keys[static_cast<size_t>(key)], FILE_KEY_LEN);
  return 0;
}

int FILE_set_type(int kind) KAV_NOEXCEPT {
  state().file_type = kind;
  return 0;
}

int FILE_get_type(void) KAV_NOEXCEPT { return state().file_type; }

int FILE_set_header(int val) KAV_NOEXCEPT {
  state().header = val;
  return 0;
}

int FILE_set_ext_info(const char *str) KAV_NOEXCEPT {
  return kav::guarded("FILE_set_ext_info", -1, [&]() -> int {
    state().ext_info = cut(str ? str : "", FILE_EXT_INFO_LEN);
    return 0;
  });
}

const char *FILE_get_ext_info(void) KAV_NOEXCEPT { return state().ext_info.c_str(); }

int FILE_extract_extra_info(char *file) KAV_NOEXCEPT {
  return kav::guarded("FILE_extract_extra_info", -1, [&]() -> int {
    if (!file || std::strlen(file) < 3) return 0;
    char *p = std::strpbrk(file + 2, "#-+:");
    if (!p) return 0;
    state().ext_info = cut(p, FILE_EXT_INFO_LEN);
    *p = '\0';
    return 1;
  });
}

int KAV_share(int mode) KAV_NOEXCEPT {
  state().shared = mode;
  return 0;
}

}  // extern "C"

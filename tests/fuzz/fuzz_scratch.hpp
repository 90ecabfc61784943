// Shared by the harnesses that read files: a scratch directory of the
// process's own, removed with everything in it when the process ends, and
// the input written into it.
#ifndef KAV_TESTS_FUZZ_FUZZ_SCRATCH_HPP
#define KAV_TESTS_FUZZ_FUZZ_SCRATCH_HPP

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzzscratch {

// The directory, made at the first call below TMPDIR when that names a
// directory by a full path (a campaign points it at a memory file system,
// sparing the disc a file for every input), else below /tmp ("/tmp" itself
// when none can be made). Its name lives in storage that outlasts the exit
// handler removing it.
inline const char *dir() {
  static char name[4096] = "";
  static const bool made = [] {
    const char *base = std::getenv("TMPDIR");
    std::error_code bad;
    if (!base || base[0] != '/' || std::strlen(base) > sizeof name - 32 ||
        !std::filesystem::is_directory(base, bad))
      base = "/tmp";
    std::snprintf(name, sizeof name, "%s/kav_fuzz.XXXXXX", base);
    if (!mkdtemp(name)) return false;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(name, ec);
    });
    return true;
  }();
  return made ? name : "/tmp";
}

// The full name of file in the directory.
inline std::string path(const char *file) { return std::string(dir()) + "/" + file; }

// Writes size bytes of data to file in the directory and returns its full
// name. False in *written (when given) when the file could not be written.
inline std::string write(const char *file, const void *data, size_t size, bool *written = nullptr) {
  const std::string name = path(file);
  bool ok = false;
  if (FILE *fp = std::fopen(name.c_str(), "wb")) {
    ok = std::fwrite(data, 1, size, fp) == size;
    ok = std::fclose(fp) == 0 && ok;
  }
  if (written) *written = ok;
  return name;
}

}  // namespace fuzzscratch

#endif

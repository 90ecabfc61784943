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
#include <filesystem>
#include <string>
#include <system_error>

namespace fuzzscratch {

// The directory, made below /tmp at the first call ("/tmp" itself when none
// can be made). Its name lives in storage that outlasts the exit handler
// removing it.
inline const char *dir() {
  static char name[] = "/tmp/kav_fuzz.XXXXXX";
  static const bool made = [] {
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

// The directory of the package's data files (units.lup, name_conv, kav.reg,
// ...) when the file_path resource is not set. Looked for, in order: the
// kavfile environment variable; share/kav beside the installation the code
// was loaded from (<libdir>/../share/kav for the shared library,
// <bindir>/../share/kav for a program; an uninstalled build's share/kav
// links to the source tree's data/); the data directory the build was
// configured to install into. The search runs once per process.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "console/files_int.hpp"

// The data directory relative to the library's and the programs' install
// directories, and its absolute configured place (set by the build).
#ifndef KAV_DATA_FROM_LIBDIR
#define KAV_DATA_FROM_LIBDIR "../share/kav"
#endif
#ifndef KAV_DATA_FROM_BINDIR
#define KAV_DATA_FROM_BINDIR "../share/kav"
#endif
#ifndef KAV_INSTALL_DATA_DIR
#define KAV_INSTALL_DATA_DIR "/usr/local/share/kav"
#endif

namespace kav_files {
namespace {

// The canonical absolute form of name; empty when it does not exist.
std::string real_path(const std::string &name) {
  if (name.empty()) return {};
  char *p = realpath(name.c_str(), nullptr);
  if (!p) return {};
  std::string s = p;
  std::free(p);
  return s;
}

std::string parent(const std::string &file) {
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

bool is_dir(const std::string &name) {
  struct stat st {};
  return stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string search() {
  const std::string exe = real_path("/proc/self/exe");
  std::vector<std::string> candidates;
  // The object this function lives in: the shared library, or the program
  // itself when the library was linked in statically.
  Dl_info info{};
  if (dladdr(reinterpret_cast<void *>(&data_dir), &info) != 0 && info.dli_fname) {
    const std::string lib = real_path(info.dli_fname);
    if (!lib.empty() && lib != exe) candidates.push_back(parent(lib) + "/" KAV_DATA_FROM_LIBDIR);
  }
  if (!exe.empty()) candidates.push_back(parent(exe) + "/" KAV_DATA_FROM_BINDIR);
  candidates.emplace_back(KAV_INSTALL_DATA_DIR);
  for (const std::string &c : candidates) {
    const std::string dir = real_path(c);
    if (!dir.empty() && is_dir(dir)) return dir;
  }
  return {};
}

}  // namespace

const char *data_dir() {
  if (const char *env = std::getenv("kavfile")) return env;
  static const std::string found = search();
  return found.empty() ? nullptr : found.c_str();
}

}  // namespace kav_files

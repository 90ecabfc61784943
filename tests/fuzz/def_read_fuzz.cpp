// Definition-file reader under arbitrary bytes: the first line holds tags
// (blank-separated), the rest is read as a definition file; every entry's key
// is matched as a pattern against its own name and the program.
#include <kav/def_read.h>
#include <kav/mess.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The scratch file's name, in storage that outlives every exit handler (a
// static std::string would be destroyed before the handler that unlinks it).
char g_scratch[] = "/tmp/def_read_fuzz-XXXXXX";

const char *scratch_name() {
  static const bool made = [] {
    int fd = mkstemp(g_scratch);
    if (fd >= 0) close(fd);
    std::atexit([] { unlink(g_scratch); });
    return fd >= 0;
  }();
  (void)made;
  return g_scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MESS_set(0, 0);
  std::string text(reinterpret_cast<const char *>(data), size);
  size_t eol = text.find('\n');
  std::string tags = text.substr(0, eol == std::string::npos ? 0 : eol);

  DEF_clr_tag();
  DEF_name(size % 3 == 0 ? "" : size % 3 == 1 ? "title" : "+sub");
  size_t pos = 0;
  static std::string kept[DEF_MAX_TAG + 2];
  for (int i = 0; i < DEF_MAX_TAG + 2 && pos < tags.size(); ++i) {
    size_t end = tags.find(' ', pos);
    kept[i] = tags.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    DEF_tag(kept[i].c_str());
    pos = end == std::string::npos ? tags.size() : end + 1;
  }

  std::FILE *f = std::fopen(scratch_name(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  if (DEF_open(scratch_name()) != 0) return 0;
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE], name[DEF_KEY_SIZE];
  while (DEF_get(key, value) == 1) {
    DEF_parse_name(key, name);
    DEF_cmp(name, key);
    DEF_cmp(value, key);
    DEF_valid(key);
  }
  DEF_close();
  return 0;
}

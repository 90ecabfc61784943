// Fuzz entry for the command-text splitters and the other readers of typed
// text in the string module. The input up to its first line feed is the
// command, the rest the arguments; every result is checked for the shape the
// callers rely on, and any breach aborts.
#include <kav/string.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Reports the broken condition before aborting, so a replayed corpus names it.
#define check(cond)                                                                               \
  do {                                                                                            \
    if (!(cond)) {                                                                                \
      std::fprintf(stderr, "parse_command_fuzz: check failed at line %d: %s\n", __LINE__, #cond); \
      std::abort();                                                                               \
    }                                                                                             \
  } while (0)

// argc words, a closing null, every word inside the one buffer of element 0.
void check_words(int result, int argc, char **argv, size_t text_len) {
  if (result != 0) {
    check(argc == 0 && argv == nullptr);
    return;
  }
  check(argc >= 1 && argv != nullptr && argv[argc] == nullptr);
  const char *begin = argv[0];
  for (int i = 0; i < argc; ++i) {
    check(argv[i] >= begin && argv[i] <= begin + text_len);
    check(std::strlen(argv[i]) <= text_len);
  }
  free_parsed_array(argc, argv);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const std::string text = bytes.substr(0, bytes.find('\0'));  // a C string ends at a NUL

  int argc = -1;
  char **argv = nullptr;
  int r = parse_command(text.c_str(), &argc, &argv);
  check_words(r, argc, argv, text.size());

  const size_t cut = text.find('\n');
  const std::string command = text.substr(0, cut);
  const std::string rest = cut == std::string::npos ? "" : text.substr(cut + 1);
  argc = -1;
  r = parse_command_line(command.c_str(), rest.c_str(), &argc, &argv);
  check_words(r, argc, argv, command.size() + 1 + rest.size());

  if (!text.empty()) {
    argc = -1;
    r = parse_string(text.c_str() + 1, text[0], &argc, &argv);
    check_words(r, argc, argv, text.size());
  }

  // The typed-answer and formatting helpers on the same text.
  const char *names[] = {"alpha", "beta", "gamma"};
  const int choice = chk_arg(text.c_str(), names, 3);
  check(choice == -9999 || (choice >= 0 && choice <= 3));
  float x = 0;
  if (size >= sizeof x) std::memcpy(&x, data + size - sizeof x, sizeof x);
  char number[64];
  set_num(number, text.c_str(), x);
  check(std::strlen(number) < sizeof number);

  // The in-place editors never grow the text.
  std::string edit = text;
  strip_escape(edit.data());
  check(std::strlen(edit.c_str()) <= text.size());
  edit = text;
  strip_spaces(edit.data());
  check(std::strlen(edit.c_str()) <= text.size());
  edit = text;
  clean_line(edit.data());
  check(std::strlen(edit.c_str()) <= text.size());
  return 0;
}

// The console prompts: print a question, read one line, scan it; lines that
// are commands are carried out and the question is asked again.
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/system.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "console/guard.hpp"

namespace {

// A typed line holds at most this many characters; the rest of a longer line
// is read and dropped so that it cannot answer the next question.
constexpr int kLineLength = 79;

// Prints the prompt and reads one answer into line. False at the end of the
// input: the caller ends its loop as for an empty answer.
bool read_answer(const char *prompt, char (&line)[kLineLength + 1]) {
  MESS_print(M_PRINT, "%s", prompt ? prompt : "");
  std::fflush(stdout);
  if (!std::fgets(line, sizeof line, stdin)) {
    line[0] = '\0';
    return false;
  }
  if (!std::strchr(line, '\n')) {
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
  }
  wstrim_string(line);
  return true;
}

// The shared loop: scan(line) gives the sscanf result. Returns true when a
// value was scanned, false when the answer was empty or the input ended.
template <typename Scan>
bool prompt_loop(const char *prompt, Scan scan) {
  char line[kLineLength + 1];
  for (;;) {
    if (!read_answer(prompt, line)) return false;
    int n = scan(line);
    if (KAV_set_command(line)) continue;
    if (n == EOF) return false;
    if (n >= 1) return true;
  }
}

}  // namespace

extern "C" {

float KAV_promptf(const char *prompt) KAV_NOEXCEPT {
  float value = 0;
  prompt_loop(prompt, [&](const char *line) {
    value = 0;
    int n = std::sscanf(line, "%f", &value);
    // "nan", "inf" or a number beyond the float range is no answer: ask again.
    if (n == 1 && !std::isfinite(value)) {
      MESS_print(M_WARN, "KAV_promptf: Not a usable number: %s\n", line);
      value = 0;
      return 0;
    }
    return n;
  });
  return value;
}

int KAV_promptd(const char *prompt) KAV_NOEXCEPT {
  int value = 0;
  prompt_loop(prompt, [&](const char *line) {
    value = 0;
    return std::sscanf(line, "%d", &value);
  });
  return value;
}

char *KAV_promptl(const char *prompt, char *str) KAV_NOEXCEPT {
  if (!str) {
    str = static_cast<char *>(std::calloc(81, 1));
    if (!str) return nullptr;
  }
  char word[20];
  if (prompt_loop(prompt, [&](const char *line) { return std::sscanf(line, "%19s", word); }))
    std::memcpy(str, word, std::strlen(word) + 1);
  return str;
}

char *KAV_prompts(const char *prompt, char *str, int length) KAV_NOEXCEPT try {
  if (length < 2) length = 2;
  if (!str) {
    str = static_cast<char *>(std::calloc(static_cast<size_t>(length) + 1, 1));
    if (!str) return nullptr;
  }
  char format[24];
  std::snprintf(format, sizeof format, "%%%ds", length - 1);
  std::string word(static_cast<size_t>(length), '\0');
  // The conversion is built from the length at run time.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  auto scan = [&](const char *line) { return std::sscanf(line, format, word.data()); };
#pragma GCC diagnostic pop
  if (prompt_loop(prompt, scan)) std::memcpy(str, word.c_str(), std::strlen(word.c_str()) + 1);
  return str;
} catch (...) {
  kav::out_of_memory("KAV_prompts");
  return nullptr;
}

}  // extern "C"

#include "lib/string.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

extern "C" {

int parse_string(const char *string, char delim, int *argc, char ***argv) {
  if (argc) *argc = 0;
  if (argv) *argv = nullptr;
  if (!string || !*string || !argc || !argv) return -1;

  size_t len = std::strlen(string);
  char *buf = static_cast<char *>(std::malloc(len + 1));
  if (!buf) return -1;
  std::memcpy(buf, string, len + 1);
  // Trailing delimiters are dropped, but a text of delimiters keeps one token.
  while (len > 0 && buf[len - 1] == delim) buf[--len] = '\0';

  int count = 1;
  for (size_t i = 0; i < len; ++i)
    if (buf[i] == delim) ++count;

  char **list = static_cast<char **>(std::malloc(sizeof(char *) * (static_cast<size_t>(count) + 1)));
  if (!list) {
    std::free(buf);
    return -1;
  }
  int n = 0;
  list[n++] = buf;
  for (size_t i = 0; i < len; ++i) {
    if (buf[i] == delim) {
      buf[i] = '\0';
      list[n++] = buf + i + 1;
    }
  }
  list[n] = nullptr;
  *argc = count;
  *argv = list;
  return 0;
}

void free_parsed_array(int argc, char **argv) {
  if (argc == 0 || !argv) return;
  std::free(argv[0]);
  std::free(argv);
}

int stricmp(const char *s1, const char *s2) {
  if (!s1 || !s2) return 1;
  for (;; ++s1, ++s2) {
    int c1 = std::tolower(static_cast<signed char>(*s1));
    int c2 = std::tolower(static_cast<signed char>(*s2));
    if (c1 != c2 || c1 == 0) return c1 - c2;
  }
}

int strnicmp(const char *s1, const char *s2, int n) {
  if (!s1 || !s2) return 1;
  if (n < 1) n = 1;
  for (int i = 0; i < n; ++i, ++s1, ++s2) {
    int c1 = std::tolower(static_cast<signed char>(*s1));
    int c2 = std::tolower(static_cast<signed char>(*s2));
    if (c1 != c2 || c1 == 0) return c1 - c2;
  }
  return 0;
}

int wsstrip_string(char *string) {
  if (!string) return 1;
  char *out = string;
  for (const char *in = string; *in; ++in)
    if (*in != '\n' && *in != '\r') *out++ = *in;
  *out = '\0';
  return 1;
}

int wstrim_string(char *string) {
  if (!string) return 1;
  wsstrip_string(string);
  size_t len = std::strlen(string);
  while (len > 0 && string[len - 1] == ' ') string[--len] = '\0';
  return 1;
}

}  // extern "C"

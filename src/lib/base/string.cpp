#include <kav/string.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/string_int.hpp"

namespace {

constexpr char kBlank = ' ';

// Folds one byte for the case-blind comparisons. tolower is only defined for
// unsigned-char values (and EOF), so the byte goes in unsigned; the folded
// value comes back as a signed character so that differences keep the sign
// of signed bytes.
int fold(char c) {
  const unsigned char uc = static_cast<unsigned char>(c);
  const int lower = std::tolower(uc);
  return static_cast<signed char>(static_cast<unsigned char>(lower));
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Copies a text into a new malloc'ed buffer.
char *heap_copy(const char *text, size_t len) {
  char *copy = static_cast<char *>(std::malloc(len + 1));
  if (!copy) return nullptr;
  std::memcpy(copy, text, len);
  copy[len] = '\0';
  return copy;
}

// Splits buf (len characters, already free of trailing blanks) in place into
// words and returns their starting offsets; element 0 is always offset 0.
// A blank that follows a non-blank (a terminator counts as a non-blank) is
// overwritten with a terminator; a word starts where a blank or terminator is
// followed by neither. A word starting with a double quote runs to the next
// quote, which is overwritten; what directly follows that quote starts the
// next word. One pass both stores and counts, so the two always agree.
std::vector<size_t> split_words(char *buf, size_t len) {
  std::vector<size_t> words;
  words.push_back(0);
  size_t i = 1;
  while (i < len) {
    const char c = buf[i];
    const char prev = buf[i - 1];
    if (c == kBlank) {
      if (prev != kBlank) buf[i] = '\0';
      ++i;
      continue;
    }
    if (c != '\0' && (prev == kBlank || prev == '\0')) {
      if (c == '"') {
        size_t close = i + 1;
        while (close < len && buf[close] != '"') ++close;
        words.push_back(i + 1);
        if (close < len) buf[close] = '\0';
        i = close + 1;
        continue;
      }
      words.push_back(i);
    }
    ++i;
  }
  return words;
}

// The shared body of parse_command and parse_command_line: text is copied,
// its trailing blanks cut off, and split into words.
int split_command(const std::string &text, int *argc, char ***argv) {
  size_t len = text.size();
  while (len > 0 && text[len - 1] == kBlank) --len;
  char *buf = heap_copy(text.data(), len);
  if (!buf) return -1;
  try {
    const std::vector<size_t> words = split_words(buf, len);
    if (words.size() > static_cast<size_t>(INT_MAX) - 1) {
      std::free(buf);
      return -1;
    }
    char **list = static_cast<char **>(std::malloc(sizeof(char *) * (words.size() + 1)));
    if (!list) {
      std::free(buf);
      return -1;
    }
    for (size_t w = 0; w < words.size(); ++w) list[w] = buf + words[w];
    list[words.size()] = nullptr;
    *argc = static_cast<int>(words.size());
    *argv = list;
    return 0;
  } catch (const std::bad_alloc &) {
    std::free(buf);
    return -1;
  }
}

// Reads an optionally signed decimal integer at *p (leading white space
// skipped, as scanf's %d does), clamped to +-100000, and moves *p behind it.
// Returns false with *p unchanged when no digit is there.
bool read_int(const char **p, long *value) {
  const char *s = *p;
  while (std::isspace(static_cast<unsigned char>(*s))) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = (*s++ == '-');
  if (!is_digit(*s)) return false;
  long v = 0;
  for (; is_digit(*s); ++s)
    if (v < 100000) v = v * 10 + (*s - '0');
  if (v > 100000) v = 100000;
  *value = negative ? -v : v;
  *p = s;
  return true;
}

}  // namespace

extern "C" {

int parse_string(const char *string, char delim, int *argc, char ***argv) KAV_NOEXCEPT {
  if (argc) *argc = 0;
  if (argv) *argv = nullptr;
  if (!string || !*string || !argc || !argv) return -1;

  size_t len = std::strlen(string);
  char *buf = heap_copy(string, len);
  if (!buf) return -1;
  // Trailing delimiters are dropped, but a text of delimiters keeps one token.
  while (len > 0 && buf[len - 1] == delim) buf[--len] = '\0';

  size_t count = 1;
  for (size_t i = 0; i < len; ++i)
    if (buf[i] == delim) ++count;
  if (count > static_cast<size_t>(INT_MAX) - 1) {
    std::free(buf);
    return -1;
  }

  char **list = static_cast<char **>(std::malloc(sizeof(char *) * (count + 1)));
  if (!list) {
    std::free(buf);
    return -1;
  }
  size_t n = 0;
  list[n++] = buf;
  for (size_t i = 0; i < len; ++i) {
    if (buf[i] == delim) {
      buf[i] = '\0';
      list[n++] = buf + i + 1;
    }
  }
  list[n] = nullptr;
  *argc = static_cast<int>(count);
  *argv = list;
  return 0;
}

void free_parsed_array(int argc, char **argv) KAV_NOEXCEPT {
  if (argc == 0 || !argv) return;
  std::free(argv[0]);
  std::free(argv);
}

int stricmp(const char *s1, const char *s2) KAV_NOEXCEPT {
  if (!s1 || !s2) return 1;
  for (;; ++s1, ++s2) {
    const int c1 = fold(*s1);
    const int c2 = fold(*s2);
    if (c1 != c2 || c1 == 0) return c1 - c2;
  }
}

int strnicmp(const char *s1, const char *s2, int n) KAV_NOEXCEPT {
  if (!s1 || !s2) return 1;
  if (n < 1) n = 1;
  for (int i = 0; i < n; ++i, ++s1, ++s2) {
    const int c1 = fold(*s1);
    const int c2 = fold(*s2);
    if (c1 != c2 || c1 == 0) return c1 - c2;
  }
  return 0;
}

int fill_string(char *string, char tar, char fill) KAV_NOEXCEPT {
  if (!string) return 0;
  for (char *p = string; *p; ++p)
    if (*p == tar) *p = fill;
  return 0;
}

int strip_string(char *string, char tar) KAV_NOEXCEPT {
  if (!string) return 0;
  char *out = string;
  for (const char *in = string; *in; ++in)
    if (*in != tar) *out++ = *in;
  *out = '\0';
  return 0;
}

int wsstrip_string(char *string) KAV_NOEXCEPT {
  if (!string) return 1;
  char *out = string;
  for (const char *in = string; *in; ++in)
    if (*in != '\n' && *in != '\r') *out++ = *in;
  *out = '\0';
  return 1;
}

int wstrim_string(char *string) KAV_NOEXCEPT {
  if (!string) return 1;
  wsstrip_string(string);
  trim_string(string);
  return 1;
}

int trim_string(char *string) KAV_NOEXCEPT {
  if (!string) return 0;
  size_t len = std::strlen(string);
  while (len > 0 && string[len - 1] == kBlank) string[--len] = '\0';
  return 0;
}

int trim_cr_string(char *string) KAV_NOEXCEPT {
  if (!string) return 0;
  size_t len = std::strlen(string);
  while (len > 0 && string[len - 1] == '\r') string[--len] = '\0';
  return 0;
}

int strip_spaces(char *string) KAV_NOEXCEPT {
  if (!string) return 0;
  trim_string(string);
  char *out = string;
  for (const char *in = string; *in; ++in)
    if (!(*in == kBlank && in[1] == kBlank)) *out++ = *in;
  *out = '\0';
  return 0;
}

int strip_escape(char *string) KAV_NOEXCEPT {
  if (!string) return 0;
  char *out = string;
  for (const char *in = string; *in; ++in) {
    if (*in == '\\') {
      ++in;
      if (!*in) break;  // a backslash at the end escapes nothing
    }
    *out++ = *in;
  }
  *out = '\0';
  return 0;
}

int shift_string(char *string, int num) KAV_NOEXCEPT {
  if (!string) return 0;
  const size_t len = std::strlen(string);
  // Widened so that -INT_MIN is representable.
  const long long count = num < 0 ? -static_cast<long long>(num) : num;
  if (count >= static_cast<long long>(len)) {
    string[0] = '\0';
    return 0;
  }
  const size_t n = static_cast<size_t>(count);
  if (num < 0)
    std::memmove(string, string + n, len - n + 1);
  else
    string[len - n] = '\0';
  return 0;
}

int up_string(char *string) KAV_NOEXCEPT {
  if (!string || !*string) return 0;
  for (char *p = string; *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
  return 1;
}

int low_string(char *string) KAV_NOEXCEPT {
  if (!string || !*string) return 0;
  for (char *p = string; *p; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  return 1;
}

int clean_line(char *line) KAV_NOEXCEPT {
  if (!line || !*line) return 0;
  size_t i = std::strlen(line);
  bool trailing = true;
  while (i-- > 0) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (trailing && c < 32) {
      line[i] = '\0';
      continue;
    }
    trailing = false;
    if (c < 32 || c >= 128) line[i] = kBlank;
  }
  return 1;
}

int string_is_float(const char *string) KAV_NOEXCEPT {
  if (!string) return 0;
  for (const char *p = string; *p; ++p)
    if (*p == '.' || *p == 'E') return 1;
  return 0;
}

int string_is_alpha(const char *string) KAV_NOEXCEPT {
  if (!string || !*string) return 0;
  for (const char *p = string; *p; ++p)
    if (!std::isalpha(static_cast<unsigned char>(*p))) return 0;
  return 1;
}

int string_is_num(const char *string) KAV_NOEXCEPT {
  if (!string || !*string) return 0;
  const char *p = string;
  if (*p == '-') ++p;
  for (; *p; ++p)
    if (!is_digit(*p)) return 0;
  return 1;
}

int string_is_num_len(const char *string, int len) KAV_NOEXCEPT {
  if (!string || !*string) return 0;
  for (int i = 0; i < len; ++i)
    if (!is_digit(string[i])) return 0;  // also stops at the terminator
  return 1;
}

int string_is_blank(const char *string) KAV_NOEXCEPT {
  if (!string) return 1;
  for (const char *p = string; *p; ++p)
    if (static_cast<signed char>(*p) > kBlank) return 0;
  return 1;
}

char *create_string(const char *string) KAV_NOEXCEPT {
  if (!string) return nullptr;
  return heap_copy(string, std::strlen(string));
}

char *create_strcat(const char *oldstr, const char *delim, const char *string) KAV_NOEXCEPT {
  if (!string) return nullptr;
  if (!oldstr) oldstr = "";
  if (!delim) delim = "";
  const size_t l1 = std::strlen(oldstr), l2 = std::strlen(delim), l3 = std::strlen(string);
  char *out = static_cast<char *>(std::malloc(l1 + l2 + l3 + 1));
  if (!out) return nullptr;
  std::memcpy(out, oldstr, l1);
  std::memcpy(out + l1, delim, l2);
  std::memcpy(out + l1 + l2, string, l3 + 1);
  return out;
}

int parse_command(const char *string, int *argc, char ***argv) KAV_NOEXCEPT {
  if (argc) *argc = 0;
  if (argv) *argv = nullptr;
  if (!string || !*string || !argc || !argv) return -1;
  while (*string == kBlank) ++string;
  try {
    return split_command(std::string(string), argc, argv);
  } catch (const std::bad_alloc &) {
    return -1;
  }
}

int parse_command_line(const char *command, const char *string, int *argc,
                       char ***argv) KAV_NOEXCEPT {
  if (argc) *argc = 0;
  if (argv) *argv = nullptr;
  if (!string || !argc || !argv) return -1;
  if (!command) command = "";
  if (!*command && !*string) return -1;
  try {
    std::string text(command);
    text += kBlank;
    text += string;
    return split_command(text, argc, argv);
  } catch (const std::bad_alloc &) {
    return -1;
  }
}

int searchstr(const char *const *s1, int n, const char *s2) KAV_NOEXCEPT {
  if (!s1 || !s2) return 0;
  for (int i = 0; i < n; ++i)
    if (s1[i] && stricmp(s1[i], s2) == 0) return 1;
  return 0;
}

char *strlstr(const char *s1, const char *s2) KAV_NOEXCEPT {
  if (!s1 || !s2) return nullptr;
  const size_t l1 = std::strlen(s1), l2 = std::strlen(s2);
  if (l2 > l1) return nullptr;
  for (size_t i = l1 - l2 + 1; i-- > 0;)
    if (std::memcmp(s1 + i, s2, l2) == 0) return const_cast<char *>(s1 + i);
  return nullptr;
}

int strntcpy(char *str1, const char *str2, int n) KAV_NOEXCEPT {
  if (!str1 || !str2) return 0;
  if (n < 0) n = 0;
  std::memmove(str1, str2, static_cast<size_t>(n));
  str1[n] = '\0';
  return 1;
}

int strmcat(char *s1, const char *s2, int m) KAV_NOEXCEPT {
  if (!s1 || !s2 || m < 0) return 0;
  const size_t len = std::strlen(s1);
  const size_t limit = static_cast<size_t>(m);
  if (len >= limit) return 0;
  const size_t room = limit - len;
  const void *end = std::memchr(s2, '\0', room);
  const size_t add = end ? static_cast<size_t>(static_cast<const char *>(end) - s2) : room;
  std::memmove(s1 + len, s2, add);
  s1[len + add] = '\0';
  return 1;
}

char *set_num(char *str, const char *format, float x) KAV_NOEXCEPT {
  if (!str) return nullptr;
  double value = x;
  if (std::fabs(value) < 1e-5) value = 0.0;

  long size = 2;
  if (value != 0.0 && std::isfinite(value))
    size = std::lround(std::floor(std::log10(std::fabs(value))));
  if (!std::isfinite(value)) size = 0;

  // "%d.%d.%d": width, significant digits, minimum decimals; reading stops at
  // the first number that is not there, the rest staying 0.
  long width = 0, digits = 0, min_decimals = 0;
  if (format) {
    const char *p = format;
    if (read_int(&p, &width) && *p == '.') {
      ++p;
      if (read_int(&p, &digits) && *p == '.') {
        ++p;
        read_int(&p, &min_decimals);
      }
    }
  }

  if (width <= 0) width = digits + 1;
  if (width > 9) width = 9;
  long decimals = digits - (size + 1);
  if (decimals < min_decimals) decimals = min_decimals;
  // A negative count would make the conversion invalid; more than 20 decimals
  // are noise for a float and would overrun the caller's text.
  if (decimals < 0) decimals = 0;
  if (decimals > 20) decimals = 20;
  if (width < decimals) width = decimals;
  if (width < 1) width = 1;

  // A float has at most 39 digits before the point: sign, digits, point and
  // 20 decimals fit in 64 characters.
  char text[96];
  std::snprintf(text, sizeof text, "%*.*f", static_cast<int>(width), static_cast<int>(decimals),
                value);
  std::memcpy(str, text, std::strlen(text) + 1);
  return str;
}

int chk_arg(const char *arg, const char *const *items, int num_items) KAV_NOEXCEPT {
  if (!arg) return KAV_IMISSING;
  if (items)
    for (int i = 0; i < num_items; ++i)
      if (items[i] && stricmp(items[i], arg) == 0) return i;
  const char *p = arg;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  char *end = nullptr;
  errno = 0;
  const long number = std::strtol(p, &end, 10);
  if (end == p || errno == ERANGE) return KAV_IMISSING;
  if (number < 1 || number > num_items) return KAV_IMISSING;
  return static_cast<int>(number);
}

}  // extern "C"

namespace kav::text {

std::string format(const char *format, ...) {
  if (!format) return {};
  va_list ap;
  va_start(ap, format);
  va_list again;
  va_copy(again, ap);
  const int n = std::vsnprintf(nullptr, 0, format, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n));
    std::vsnprintf(out.data(), out.size() + 1, format, again);
  }
  va_end(again);
  return out;
}

bool next_int(const char *&p, int *out) {
  while (*p == ' ' || *p == '\t') ++p;
  char *end = nullptr;
  errno = 0;
  const long v = std::strtol(p, &end, 10);
  if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  *out = static_cast<int>(v);
  p = end;
  return true;
}

bool whole_int(const char *text, int *out) {
  if (!text || !*text) return false;
  const char *p = text;
  int v = 0;
  if (!next_int(p, &v) || *p) return false;
  *out = v;
  return true;
}

}  // namespace kav::text

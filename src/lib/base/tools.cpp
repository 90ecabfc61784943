#include <kav/tools.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "base/tools_int.hpp"

namespace {

// The byte-order state of the process.
struct ToolsState {
  unsigned int swap = 1;  // 1: values are byte-reversed when read or written
  int host_order = 1;     // replaced by its own first byte by swap_setup: 1 little-, 0 big-endian
};

ToolsState state;

constexpr int kLineLimit = 160;  // the longest piece fgetline returns

// The process has one thread, so the stream lock of getc buys nothing.
inline int next_char(FILE *ifile) { return getc_unlocked(ifile); }

// One scan of at most limit characters up to the line end, as the scanf
// conversion "%<limit>[^\n]%n" does it: -1 when the stream is at its end
// before anything was read, 0 (nothing stored, the line feed left in the
// stream) when it stands at a line end, else the count of characters stored
// in out, which is then terminated. The line feed that ends the scan stays in
// the stream; out receives at most limit + 1 characters.
long scan_line(FILE *ifile, char *out, long limit) {
  int c = next_char(ifile);
  if (c == EOF) return -1;
  if (c == '\n') {
    ungetc(c, ifile);
    return 0;
  }
  long n = 0;
  for (;;) {
    out[n++] = static_cast<char>(c);
    if (n >= limit) break;
    c = next_char(ifile);
    if (c == EOF) break;
    if (c == '\n') {
      ungetc(c, ifile);
      break;
    }
  }
  // A read that failed part-way leaves no piece of a line behind.
  if (c == EOF && std::ferror(ifile)) return -1;
  out[n] = '\0';
  return n;
}

// The shared reader: the line's length, 0 for an empty line, -1 at the end.
int read_line(FILE *ifile, char *string, int len) {
  if (!ifile || !string || len < 1) return -1;
  long n = scan_line(ifile, string, len);
  if (n != 0) return static_cast<int>(n);
  // The stream stands at the line end the previous read left: pass over it
  // and read the next line the same way.
  if (next_char(ifile) == EOF) return -1;
  n = scan_line(ifile, string, len);
  if (n != 0) return static_cast<int>(n);
  string[0] = '\0';
  return 0;
}

template <size_t N>
void reverse_bytes(void *val) {
  unsigned char *b = static_cast<unsigned char *>(val);
  for (size_t i = 0; i < N / 2; ++i) std::swap(b[i], b[N - 1 - i]);
}

template <size_t N>
int swap_one(void *val) {
  if (!state.swap || !val) return -1;
  reverse_bytes<N>(val);
  return 0;
}

template <size_t N>
int swap_many(void *val, int count) {
  if (!state.swap || !val) return -1;
  unsigned char *b = static_cast<unsigned char *>(val);
  for (int i = 0; i < count; ++i) reverse_bytes<N>(b + static_cast<size_t>(i) * N);
  return 0;
}

template <size_t N>
int read_swapped(void *buf, FILE *ifile) {
  if (!buf || !ifile) return -1;
  unsigned char bytes[N];
  const size_t got = fread(bytes, N, 1, ifile);
  if (got != 1) return std::ferror(ifile) ? -1 : 0;
  if (state.swap) reverse_bytes<N>(bytes);
  std::memcpy(buf, bytes, N);
  return 1;
}

template <size_t N>
int write_swapped(void *buf, FILE *ofile) {
  if (!buf || !ofile) return -1;
  if (state.swap) reverse_bytes<N>(buf);
  return static_cast<int>(fwrite(buf, N, 1, ofile));
}

}  // namespace

extern "C" {

int fgetline(FILE *ifile, char *string) KAV_NOEXCEPT {
  return read_line(ifile, string, kLineLimit);
}

int fgetnline(FILE *ifile, char *string, int len) KAV_NOEXCEPT {
  return read_line(ifile, string, len);
}

int fgetstring(FILE *ifile, char *string, int len) KAV_NOEXCEPT {
  const int n = read_line(ifile, string, len);
  return n > 0 ? 1 : n;
}

int fget_rawstring(FILE *ifile, char *string, int len) KAV_NOEXCEPT {
  const int result = fgetstring(ifile, string, len);
  if (result <= 0) return result;
  for (size_t i = std::strlen(string); i-- > 0;) {
    if (string[i] == '\r')
      string[i] = '\0';
    else if (static_cast<signed char>(string[i]) < '!')
      string[i] = ' ';
  }
  return result;
}

int fskipline(FILE *ifile) KAV_NOEXCEPT {
  if (!ifile) return -1;
  int c = next_char(ifile);
  if (c == EOF) return -1;
  if (c == '\n') {
    ungetc(c, ifile);
    return 0;
  }
  while (c != EOF && c != '\n') c = next_char(ifile);
  return c == EOF && std::ferror(ifile) ? -1 : 0;
}

int swap_setup(int flag) KAV_NOEXCEPT {
  int probe = 1;
  unsigned char first = 0;
  std::memcpy(&first, &probe, 1);
  state.host_order = first;
  state.swap = 1;
  if (flag == -1) state.swap = 0;
  if (flag == 1 && state.host_order == 0) state.swap = 0;
  if (flag == 2 && state.host_order == 1) state.swap = 0;
  return 0;
}

int swap_long(void *val) KAV_NOEXCEPT { return swap_one<4>(val); }
int swap_double(void *val) KAV_NOEXCEPT { return swap_one<8>(val); }
int swap_short(void *val) KAV_NOEXCEPT { return swap_one<2>(val); }

int swap_longs(void *val, int count) KAV_NOEXCEPT { return swap_many<4>(val, count); }
int swap_shorts(void *val, int count) KAV_NOEXCEPT { return swap_many<2>(val, count); }

int fread_long_swap(void *buf, FILE *ifile) KAV_NOEXCEPT { return read_swapped<4>(buf, ifile); }
int fread_double_swap(void *buf, FILE *ifile) KAV_NOEXCEPT { return read_swapped<8>(buf, ifile); }
int fread_short_swap(void *buf, FILE *ifile) KAV_NOEXCEPT { return read_swapped<2>(buf, ifile); }

int fwrite_long_swap(void *buf, FILE *ofile) KAV_NOEXCEPT { return write_swapped<4>(buf, ofile); }
int fwrite_short_swap(void *buf, FILE *ofile) KAV_NOEXCEPT { return write_swapped<2>(buf, ofile); }

int fswap(void *a, void *b) KAV_NOEXCEPT {
  if (!a || !b) return -1;
  unsigned char tmp[4];
  std::memcpy(tmp, a, 4);
  std::memmove(a, b, 4);
  std::memcpy(b, tmp, 4);
  return 0;
}

int stn_id_to_wmo(const char *id) KAV_NOEXCEPT {
  constexpr int kNone = 99999;
  if (!id || std::strlen(id) != 5) return kNone;
  if (id[0] < 'A' || id[0] > 'J') return kNone;
  for (int i = 1; i < 5; ++i)
    if (id[i] < '0' || id[i] > '9') return kNone;
  const int block = (id[0] - 'A') * 10 + (id[1] - '0');
  return block * 1000 + (id[2] - '0') * 100 + (id[3] - '0') * 10 + (id[4] - '0');
}

char *stn_wmo_to_id(int wmo, char *id) KAV_NOEXCEPT {
  if (!id) return nullptr;
  if (wmo < 0 || wmo > 99999) {
    std::memcpy(id, "--", 3);
    return id;
  }
  const int block = wmo / 1000, station = wmo % 1000;
  id[0] = static_cast<char>('A' + block / 10);
  id[1] = static_cast<char>('0' + block % 10);
  id[2] = static_cast<char>('0' + station / 100);
  id[3] = static_cast<char>('0' + station / 10 % 10);
  id[4] = static_cast<char>('0' + station % 10);
  id[5] = '\0';
  return id;
}

}  // extern "C"

extern "C" float linear_interp(float x, float x1, float x2, float y1, float y2) KAV_NOEXCEPT {
  constexpr float kMissing = KAV_MISSING;
  if (x == kMissing || x1 == kMissing || x2 == kMissing || y1 == kMissing || y2 == kMissing ||
      x1 == x2)
    return kMissing;
  double r = (static_cast<double>(x) - x1) * (static_cast<double>(y2) - y1) /
                 (static_cast<double>(x2) - x1) +
             y1;
  return static_cast<float>(r);
}

namespace kav::text {

namespace {

bool is_space(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

bool read_line(std::FILE *fp, std::string &line, std::size_t max, CarriageReturn cr, bool *longer) {
  line.clear();
  if (longer) *longer = false;
  int c;
  bool any = false;
  while ((c = std::getc(fp)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < max)
      line.push_back(static_cast<char>(c));
    else if (longer)
      *longer = true;
  }
  if (c == EOF && std::ferror(fp)) {
    line.clear();  // a line cut short by a failed read is not a line
    return false;
  }
  if (cr == CarriageReturn::Drop && !line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

bool read_token(std::FILE *fp, std::string &tok, std::size_t max, bool *ended) {
  tok.clear();
  int c;
  while ((c = std::getc(fp)) != EOF && is_space(c)) {
  }
  if (c == EOF) return false;
  while (c != EOF && !is_space(c)) {
    if (tok.size() >= max) return false;
    tok.push_back(static_cast<char>(c));
    c = std::getc(fp);
  }
  if (c == EOF && std::ferror(fp)) {
    tok.clear();  // a token cut short by a failed read is not a token
    return false;
  }
  if (ended) *ended = c == EOF;
  if (c != EOF) std::ungetc(c, fp);
  return true;
}

}  // namespace kav::text

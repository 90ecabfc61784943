// Conversion of resource values by kind: the simple kinds (numbers, texts,
// switches) and those that act on the file, flag and plot state — the date
// of the file to use, the file handling mode, the plot type and items, data
// paths and the output device. Domains and regions are converted in the
// geography layer, which holds the domain decoder.
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>

#include "config/resrc_int.hpp"

namespace {

constexpr int MISS = KAV_IMISSING;

bool is_word(const char *data, const char *a, const char *b, const char *c) {
  return stricmp(data, a) == 0 || stricmp(data, b) == 0 || stricmp(data, c) == 0;
}

// ---- Hours: the date and time of the file to use ----

// Reads a signed decimal number of at most 9 digits at p (moved past it).
bool read_int(const char *&p, int &v) {
  const char *q = p;
  bool neg = false;
  if (*q == '-' || *q == '+') neg = *q++ == '-';
  long x = 0;
  int n = 0;
  while (std::isdigit(static_cast<unsigned char>(q[n]))) {
    if (n == 9) return false;
    x = x * 10 + (q[n++] - '0');
  }
  if (n == 0) return false;
  v = static_cast<int>(neg ? -x : x);
  p = q + n;
  return true;
}

// Reads exactly width digits at p (moved past them).
bool read_digits(const char *&p, int width, int &v) {
  int x = 0;
  for (int i = 0; i < width; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(p[i]))) return false;
    x = x * 10 + (p[i] - '0');
  }
  v = x;
  p += width;
  return true;
}

// "#YYYY[MM[DD[hh[mm]]]]": each field only while the next position holds a
// digit; a field may be shorter than its width when the digits end. The
// position moves by the digits actually read, never past the terminator.
bool hour_fixed(const char *p, Date &d) {
  int *fields[] = {&d.year, &d.month, &d.day, &d.hour, &d.min};
  const int width[] = {4, 2, 2, 2, 2};
  int read = 0;
  for (int f = 0; f < 5; ++f) {
    int x = 0, n = 0;
    while (n < width[f] && std::isdigit(static_cast<unsigned char>(p[n])))
      x = x * 10 + (p[n++] - '0');
    if (n == 0) break;
    *fields[f] = x;
    p += n;
    ++read;
  }
  return read > 0;
}

bool all_digits(const char *s) {
  for (; *s; ++s)
    if (!std::isdigit(static_cast<unsigned char>(*s))) return false;
  return true;
}

// Fills d from an hour text by the first form that applies; false when the
// text does not fit its form.
bool hour_text(const char *data, Date &d) {
  const size_t len = std::strlen(data);
  const bool colon = std::strchr(data, ':') != nullptr;
  const bool digit0 = std::isdigit(static_cast<unsigned char>(data[0])) != 0;
  const char *p = data;
  if (data[0] == '#') return hour_fixed(data + 1, d);
  // The fixed-width forms take digits only; a text such as 3d12 is read by
  // the form it fits below rather than cut short here.
  const bool digits = all_digits(data);
  if (len == 6 && !colon && digits)
    return read_digits(p, 2, d.month) && read_digits(p, 2, d.day) && read_digits(p, 2, d.hour);
  if (len == 4 && digit0 && !colon && digits)
    return read_digits(p, 2, d.day) && read_digits(p, 2, d.hour);
  if (len == 3 && digit0 && !colon && digits)
    return read_digits(p, 1, d.day) && read_digits(p, 2, d.hour);
  if (std::strchr(data, 'd')) {
    // Day, then hour and ":minute" when they follow.
    if (!read_int(p, d.day) || *p++ != 'd') return false;
    if (*p && !read_int(p, d.hour)) return false;
    if (*p == ':' && !read_int(++p, d.min)) return false;
    return *p == '\0';
  }
  if (data[0] == ':') {
    ++p;
    return read_int(p, d.min) && *p == '\0';
  }
  if (data[0] == '-' && data[1] == ':') {
    p += 2;
    if (!read_int(p, d.min) || *p) return false;
    d.min = -d.min;
    return true;
  }
  if (!read_int(p, d.hour)) return false;
  if (*p == ':' && !read_int(++p, d.min)) return false;
  if (*p) return false;
  // "-0:30" is half an hour back: no hours, the minutes negative.
  if (data[0] == '-' && d.hour == 0) {
    d.hour = MISS;
    if (d.min != MISS) d.min = -d.min;
  }
  return true;
}

int conv_hour(const char *who, const char *name, const char *data) {
  Date d = {MISS, MISS, MISS, MISS, MISS, MISS, MISS, MISS};
  if (!hour_text(data, d)) {
    MESS_print(M_WARN, "%s: Not a date or time%s: %s\n", who, kav::res::for_resource(name).c_str(),
               data);
    return 0;
  }
  FILE_set_time(&d);
  return 1;
}

// ---- File handling, plot types and plot items ----

struct WordCode {
  const char *word;
  int code;
};

constexpr WordCode kFileModes[] = {{"use", 3},   {"over", 1},   {"calc", 1},
                                   {"reuse", 3}, {"recalc", 1}, {"app", 2}};

constexpr WordCode kPlotTypes[] = {
    {"raw", 0},     {"none", 99},  {"value", 17},  {"gvalue", 17}, {"cf", 15},    {"lcf", 16},
    {"ln", 12},     {"dln", 13},   {"ndln", 14},   {"vect", 21},   {"barb", 22},  {"strm", 23},
    {"stream", 23}, {"an", 54},    {"number", 54}, {"pm", 55},     {"skewt", 62}, {"ema", 63},
    {"teph", 64},   {"rteph", 65}, {"stuve", 61},  {"hodo", 69},
};

// The plot-item words and their switches ("text" and the words for every
// switch are handled apart).
constexpr WordCode kDrawItems[] = {
    {"text_ul", 1}, {"text_uc", 2}, {"text_ur", 3}, {"text_ll", 4}, {"text_lc", 5}, {"text_lr", 6},
    {"data", 7},    {"map", 8},     {"grid", 9},    {"sum", 10},    {"bord", 11},
};

template <size_t N>
const WordCode *find_word(const WordCode (&table)[N], const char *word) {
  for (const WordCode &w : table)
    if (stricmp(word, w.word) == 0) return &w;
  return nullptr;
}

int conv_word_flag(const char *who, const char *name, const char *data, int flag,
                   const WordCode *table, size_t n, const char *what) {
  for (size_t i = 0; i < n; ++i) {
    if (stricmp(data, table[i].word) == 0) {
      FLAG_set(flag, table[i].code);
      return 1;
    }
  }
  MESS_print(M_WARN, "%s: Unknown %s%s: %s\n", who, what, kav::res::for_resource(name).c_str(),
             data);
  return 0;
}

// One plot item: "+word" on, "-word" off, a plain word on (and, first in the
// list, every switch off before it). False for a word that is not an item.
bool draw_item(const char *item, bool first) {
  int on = 1;
  if (*item == '+' || *item == '-') {
    on = *item == '+';
    ++item;
  } else if (first) {
    FLAG_resetplot(0);
  }
  if (stricmp(item, "none") == 0) {
    FLAG_setplot(12, 0);
  } else if (stricmp(item, "all") == 0) {
    FLAG_setplot(12, 1);
  } else if (stricmp(item, "text") == 0) {
    FLAG_setplot(0, on);
    FLAG_setplot(11, on);
  } else if (const WordCode *w = find_word(kDrawItems, item)) {
    FLAG_setplot(w->code, on);
  } else {
    return false;
  }
  return true;
}

int conv_draw(const char *who, const char *name, const char *data) {
  int argc = 0;
  char **argv = nullptr;
  if (parse_string(data, ',', &argc, &argv) != 0) {
    if (data && *data) throw std::bad_alloc();  // only memory refuses a text
    return 1;                                   // nothing listed
  }
  int result = 1;
  for (int i = 0; i < argc; ++i) {
    if (!draw_item(argv[i], i == 0)) {
      MESS_print(M_WARN, "%s: Unknown plot item%s: %s\n", who, kav::res::for_resource(name).c_str(),
                 argv[i]);
      result = 0;
    }
  }
  free_parsed_array(argc, argv);
  return result;
}

// ---- Paths and devices (an output address needed) ----

// A heap copy of the path ended with its delimiter ("none": the empty
// path); the copy is the caller's to free.
int conv_path(const char *who, const char *name, const char *data, void *out) {
  const bool none = stricmp(data, "none") == 0;
  const size_t n = none ? 0 : std::strlen(data);
  char *copy = static_cast<char *>(std::malloc(n + 2));
  if (!copy) {
    MESS_print(M_ERROR, "%s: Out of memory%s\n", who, kav::res::for_resource(name).c_str());
    return 0;
  }
  std::memcpy(copy, none ? "" : data, n + 1);
  FILE_add_path_delim(copy);
  *static_cast<char **>(out) = copy;
  return 1;
}

// The device kind of the first item; with more items, out points at the
// rest of the list within data.
int conv_device(const char *data, void *out) {
  FLAG_set(FLAG_DEVICE, RES_set_device(data));
  if (const char *comma = std::strchr(data, ',')) *static_cast<const char **>(out) = comma + 1;
  return 1;
}

}  // namespace

namespace kav::res {

std::string for_resource(const char *name) {
  return name && *name ? std::string(" for ") + name : std::string();
}

int convert(const char *who, const char *name, const char *data, void *out, DEF_convert cvt) {
  switch (cvt) {
    case CV_batch:
      FLAG_set(FLAG_BATCH, 1);
      if (MESS_check_set() == 0) MESS_set(0, M_PRINT | M_ERROR | M_WARN);
      return 1;
    case CV_help:
      FLAG_set(FLAG_HELP, 1);
      return 1;
    default:
      break;
  }
  if (cvt == CV_bool && out) {
    int *flag = static_cast<int *>(out);
    if (!data || is_word(data, "true", "on", "yes"))
      *flag = 1;
    else if (is_word(data, "false", "off", "no"))
      *flag = 0;
    return 1;
  }
  if (!data) return 0;
  switch (cvt) {
    case CV_mess:
      MESS_set_str(data);
      return 1;
    case CV_hour:
      return conv_hour(who, name, data);
    case CV_file_param:
      return conv_word_flag(who, name, data, FLAG_FILE_PARAM, kFileModes, std::size(kFileModes),
                            "file handling");
    case CV_plot_type:
      return conv_word_flag(who, name, data, FLAG_PLOT_TYPE, kPlotTypes, std::size(kPlotTypes),
                            "plot type");
    case CV_draw:
      return conv_draw(who, name, data);
    default:
      break;
  }
  if (!out) return 0;
  switch (cvt) {
    case CV_int:
      if (std::isdigit(static_cast<unsigned char>(data[0])) || data[0] == '-' || data[0] == '+') {
        if (data[1] == 'x' || data[1] == 'X')
          *static_cast<int *>(out) = static_cast<int>(std::strtol(data, nullptr, 16));
        else
          *static_cast<int *>(out) = static_cast<int>(std::strtol(data, nullptr, 10));
      }
      break;
    case CV_short:
      if (std::isdigit(static_cast<unsigned char>(data[0])))
        *static_cast<short *>(out) = static_cast<short>(std::strtol(data, nullptr, 10));
      break;
    case CV_long:
      if (std::isdigit(static_cast<unsigned char>(data[0])))
        *static_cast<long *>(out) = std::strtol(data, nullptr, 10);
      break;
    case CV_float:
      *static_cast<float *>(out) = static_cast<float>(std::atof(data));
      break;
    case CV_color:
      *static_cast<long *>(out) = static_cast<int>(std::strtol(data, nullptr, 10));
      break;
    case CV_string:
      *static_cast<const char **>(out) = data;
      break;
    case CV_strcpy:
      std::strcpy(static_cast<char *>(out), data);
      break;
    case CV_path:
      return conv_path(who, name, data, out);
    case CV_device:
      return conv_device(data, out);
    default:
      // The domain kinds are the geography layer's; the remaining kinds
      // store nothing.
      break;
  }
  return 1;
}

}  // namespace kav::res

extern "C" {

int RES_set_device(const char *str) KAV_NOEXCEPT {
  switch (str ? str[0] : '\0') {
    case 'P':
    case 'p':
      return 4;
    case 'H':
    case 'h':
    case 'Q':
    case 'q':
      return 5;
    case 'M':
    case 'm':
      return 3;
    case 'W':
    case 'w':
      return 6;
    default:
      return 1;
  }
}

}  // extern "C"

// Console messages: the level filter, routing to the console, copy and log
// files, paging, and the program banner.
#include <kav/date.h>
#include <kav/files.h>
#include <kav/flag.h>
#include <kav/mess.h>
#include <kav/string.h>
#include <kav/system.h>
#include <signal.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "console/guard.hpp"

namespace {

// The longest deferred log-file name kept.
constexpr size_t kMaxFileName = 159;

// Process-wide console state.
struct MessState {
  M_type mess_level = 0x000FFFFFu;  // current level: print up to out2
  int mess_set = 0;                 // count of explicit level settings
  int mess_out = 1;                 // routing: -1, 0, 1 or 2
  int page = 1;                     // paging: 0 off, 1 hold only, 2 paging
  int lines = 0;                    // newlines counted since the last hold
  int max_lines = 22;               // lines per page
  FILE *ofile = nullptr;            // copy file (MESS_file)
  FILE *pfile = nullptr;            // log file of the message specification
  std::string oname;                // name of the copy file, for messages
  std::string pname;                // name of the log file, for messages
  std::string filename;             // deferred log file (routing 2)
  int depth = 0;                    // MESS_print calls under way (a message about a log nests)
};

MessState &state() {
  static MessState s;
  return s;
}

// SIGPIPE held off for the life of the object: a write to a log pipe whose
// reader has gone fails with EPIPE instead of ending the program.
class PipeSignalHeld {
 public:
  PipeSignalHeld() {
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    sigaction(SIGPIPE, &ign, &old_);
  }
  ~PipeSignalHeld() { sigaction(SIGPIPE, &old_, nullptr); }
  PipeSignalHeld(const PipeSignalHeld &) = delete;
  PipeSignalHeld &operator=(const PipeSignalHeld &) = delete;

 private:
  struct sigaction old_ {};
};

void close_stream(FILE *&f) {
  PipeSignalHeld held;   // closing a pipe flushes what is left
  if (f) FILE_close(f);  // leaves the standard streams open, closes pipes
  f = nullptr;
}

// Writes a message to a copy or log file; false when the write failed.
bool write_file(FILE *f, const char *stamp, const char *text) {
  PipeSignalHeld held;
  if (stamp) std::fprintf(f, "%s -- ", stamp);
  std::fputs(text, f);
  return std::fflush(f) == 0 && !std::ferror(f);
}

// Keeps a file name for later messages (empty when memory ran out).
void keep_name(std::string &to, const char *name) {
  try {
    to.assign(name ? name : "");
  } catch (...) {
    to.clear();
  }
}

// Opens a log or copy file through the file-name layer ("~", "|command",
// missing directories created).
FILE *open_file(const char *name, const char *access) {
  if (!name || !*name) return nullptr;
  return FILE_open(name, access);
}

// A formatted message: in a buffer of its own when short, so that a message
// needs no memory from the heap (and can still be printed when it has run
// out); a longer one that finds no memory is shown cut to the buffer.
class Formatted {
 public:
  // fmt is the caller's printf format (the implicit this is argument 1).
  __attribute__((format(printf, 2, 0))) Formatted(const char *fmt, va_list ap) {
    va_list copy;
    va_copy(copy, ap);
    int n = std::vsnprintf(small_, sizeof small_, fmt, copy);
    va_end(copy);
    if (n < 0) {
      small_[0] = '\0';
    } else if (static_cast<size_t>(n) >= sizeof small_) {
      try {
        big_.assign(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(big_.data(), big_.size(), fmt, ap);
        big_.resize(static_cast<size_t>(n));
        text_ = big_.c_str();
      } catch (...) {
        big_.clear();
      }
    }
  }
  const char *text() const { return text_; }

 private:
  char small_[512];
  std::string big_;
  const char *text_ = small_;
};

// The mask of one level item of a message specification ("messb", "out1").
M_type item_mask(const char *word) {
  struct Group {
    const char *name;
    M_type mask;
  };
  static const Group kGroups[] = {
      {"none", 0},      {"print", M_PRINT}, {"error", M_ERROR}, {"warn", M_WARN},
      {"mess", M_MESS}, {"out1", M_OUT1},   {"out2", M_OUT2},   {"out3", M_OUT3},
      {"out4", M_OUT4}, {"debug", M_DEBUG},
  };
  M_type mask = 0;
  for (const Group &g : kGroups) {
    if (strnicmp(word, g.name, static_cast<int>(std::strlen(g.name))) == 0 &&
        std::strlen(word) >= std::strlen(g.name)) {
      mask = g.mask;
      break;
    }
  }
  size_t len = std::strlen(word);
  if (len > 0) {
    switch (word[len - 1]) {
      case 'a':
        mask &= 0x11111111u;
        break;
      case 'b':
        mask &= 0x22222222u;
        break;
      case 'c':
        mask &= 0x44444444u;
        break;
      case 'd':
        mask &= 0x88888888u;
        break;
      default:
        break;
    }
  }
  return mask;
}

// Opens the log file of a specification item; a name that cannot be opened
// leaves no log file and is reported.
bool open_log(const char *name, const char *access) {
  MessState &s = state();
  close_stream(s.pfile);
  s.pfile = open_file(name, access);
  keep_name(s.pname, name);
  if (!s.pfile) {
    MESS_print(M_WARN, "MESS_set_str: Unable to open log file: %s\n", name);
    return false;
  }
  return true;
}

bool begins(const char *item, const char *head) {
  return strnicmp(item, head, static_cast<int>(std::strlen(head))) == 0 &&
         std::strlen(item) >= std::strlen(head);
}

// The text from the n-th character on (counted from 1), or "" when shorter.
const char *from_char(const char *item, size_t n) {
  return std::strlen(item) >= n ? item + n - 1 : "";
}

// The body of MESS_set_str.
int set_str(const char *str) {
  MessState &s = state();
  ++s.mess_set;
  int argc = 0;
  char **argv = nullptr;
  if (parse_string(str, ',', &argc, &argv) != 0) {
    if (str && *str) throw std::bad_alloc();  // only memory refuses a text
    return 0;
  }
  struct Items {
    int &argc;
    char **&argv;
    ~Items() { free_parsed_array(argc, argv); }
  } items{argc, argv};
  for (int i = 0; i < argc; ++i) {
    const char *item = argv[i];
    if (begins(item, "@fi")) {
      open_log(from_char(item, 5), "a");
      s.mess_out = -1;
    } else if (begins(item, "+fi")) {
      open_log(from_char(item, 5), "a");
      s.mess_out = 1;
    } else if (begins(item, "-fi")) {
      open_log(from_char(item, 5), "w");
      s.mess_out = 1;
    } else if (begins(item, "dfi")) {
      s.filename.assign(from_char(item, 5));
      if (s.filename.size() > kMaxFileName) s.filename.resize(kMaxFileName);
      s.mess_out = 2;
    } else if (begins(item, "fi")) {
      // Output to the log alone only once the log is open: a name that
      // cannot be opened must not silence the program.
      s.mess_out = open_log(from_char(item, 4), "a") ? 0 : 1;
    } else if (stricmp(item, "nopage") == 0) {
      s.page = 0;
    } else if (stricmp(item, "page") == 0) {
      s.page = 2;
    } else if (begins(item, "line")) {
      int n = std::atoi(from_char(item, 6));
      s.max_lines = n <= 0 ? 22 : n;
    } else {
      const char *word = item;
      int oper = 10;
      if (*word == '+') {
        oper = 11;
        ++word;
      } else if (*word == '-') {
        oper = 9;
        ++word;
      }
      MESS_set(oper, item_mask(word));
    }
  }
  return 0;
}

}  // namespace

extern "C" {

int MESS_print(M_type type, const char *mess, ...) KAV_NOEXCEPT {
  MessState &s = state();
  if (!mess || !(type & s.mess_level)) return 0;
  va_list ap;
  va_start(ap, mess);
  Formatted formatted(mess, ap);
  va_end(ap);
  const char *text = formatted.text();

  // A copy or log file that can no longer be written (a pipe whose reader
  // has gone, a full disc) is closed with a warning; the program goes on.
  if (s.ofile && !write_file(s.ofile, nullptr, text)) {
    close_stream(s.ofile);
    MESS_print(M_WARN, "MESS_print: Unable to write copy file, closed: %s\n", s.oname.c_str());
  }
  ++s.depth;
  struct Leave {
    int &depth;
    ~Leave() { --depth; }
  } leave{s.depth};
  bool opened_here = false;
  // A message about opening the deferred log does not open it again.
  if (s.mess_out == 2 && s.depth == 1) {
    close_stream(s.pfile);
    s.pfile = open_file(s.filename.c_str(), "a");
    opened_here = s.pfile != nullptr;
  }
  if (s.pfile) {
    char stamp[DATE_CURRENT_LEN] = "";
    if (s.mess_out == -1) DATE_get_current_str(stamp);
    if (!write_file(s.pfile, s.mess_out == -1 ? stamp : nullptr, text)) {
      close_stream(s.pfile);
      opened_here = false;
      const char *name = s.mess_out == 2 ? s.filename.c_str() : s.pname.c_str();
      if (s.mess_out == 0) s.mess_out = 1;  // the console takes over from the log
      MESS_print(M_WARN, "MESS_print: Unable to write log file, closed: %s\n", name);
    }
  }
  if (s.mess_out == 2 && opened_here) close_stream(s.pfile);
  if (s.mess_out == 0) return 0;

  if (type & (M_ERROR | M_WARN)) {
    std::fflush(stdout);
    std::fputs(text, stderr);
  } else {
    std::fputs(text, stdout);
  }
  if (s.page == 2) {
    for (const char *c = mess; *c; ++c)
      if (*c == '\n') ++s.lines;
    if (s.lines > s.max_lines) MESS_hold(type, "Press return to continue\n");
  }
  return 1;
}

int MESS_set(int oper, M_type level) KAV_NOEXCEPT {
  MessState &s = state();
  if (oper <= 4) ++s.mess_set;
  if (oper >= 16 && s.mess_set > 0) return 0;
  switch (oper) {
    case 0:
    case 10:
    case 20: {
      M_type filled = 0;
      for (int bit = 31; bit >= 0; --bit) {
        if (level & (1u << bit)) {
          filled = static_cast<M_type>((uint64_t{1} << (bit + 1)) - 1);
          break;
        }
      }
      s.mess_level = filled;
      break;
    }
    case 1:
    case 11:
    case 21:
      s.mess_level |= level;
      break;
    case -1:
    case 9:
    case 19:
      s.mess_level &= ~level;
      break;
    default:
      break;
  }
  return 0;
}

int MESS_set_str(const char *str) KAV_NOEXCEPT {
  return kav::guarded("MESS_set_str", -1, [&] { return set_str(str); });
}

M_type MESS_get(void) KAV_NOEXCEPT { return state().mess_level; }

int MESS_check(M_type level) KAV_NOEXCEPT { return (level & state().mess_level) ? 1 : 0; }

int MESS_check_set(void) KAV_NOEXCEPT { return state().mess_set; }

int MESS_file(const char *filename, const char *access) KAV_NOEXCEPT {
  MessState &s = state();
  close_stream(s.ofile);
  s.ofile = open_file(filename, access ? access : "w");
  keep_name(s.oname, filename);
  if (!s.ofile && filename && *filename)
    MESS_print(M_WARN, "MESS_file: Unable to open copy file: %s\n", filename);
  return 0;
}

int MESS_file_close(void) KAV_NOEXCEPT {
  close_stream(state().ofile);
  return 0;
}

int MESS_set_out(int val) KAV_NOEXCEPT {
  state().mess_out = val;
  return 0;
}

int MESS_set_page(int val) KAV_NOEXCEPT {
  state().page = val;
  return 0;
}

int MESS_get_max_lines(void) KAV_NOEXCEPT { return state().max_lines; }

int MESS_hold(M_type type, const char *mess) KAV_NOEXCEPT {
  MessState &s = state();
  if (!(type & s.mess_level) || s.mess_out == 0 || FLAG_batch() || s.page == 0) return 0;
  FILE *out = ((type & M_ERROR) && (type & M_WARN)) ? stderr : stdout;
  std::fprintf(out, "%s", mess ? mess : "");
  std::fflush(out);
  std::getchar();
  s.lines = 0;
  return 0;
}

int MESS_print_prog(const char *string) KAV_NOEXCEPT {
  MESS_print(M_MESS, "      %s (Ver %s)\n\n", string ? string : "", KAV_version());
  return 0;
}

}  // extern "C"

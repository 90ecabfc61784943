// The sources of resources besides the command line: defaults files along the
// search path (with the tags and display windows named in it) and the
// environment. Each store replaces an earlier value, so a later path element
// beats an earlier one, the environment beats every file and window, and the
// command line, decoded after these, beats them all.
#include <kav/date.h>
#include <kav/def_read.h>
#include <kav/mess.h>
#include <kav/mqueue.h>
#include <kav/string.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include "base/fault.hpp"
#include "config/def_read_int.hpp"
#include "config/resrc_int.hpp"

namespace kav::res {
namespace {

constexpr const char *kBuiltInPath = ".:/home/kav/etc:/usr/local/kav/etc";
constexpr unsigned kReplyAlarm = 100;         // seconds to wait for one window reply
constexpr M_type kTrace = M_DEBUG & M_SUB_D;  // resource tracing
constexpr int kEnvValue = 4096;               // room for a value from the environment

// The display window that receives the command-line options and the "quit".
struct SourceState {
  int queue = -1;  // channel of the connected window, -1 for none
  int conn = -1;   // this program's connection id at that window
};

SourceState &state() {
  static SourceState s;
  return s;
}

// Reads replies until one carries a non-zero flag (the end of one answer);
// a failed read ends the answer too. Returns the final flag.
int drain_replies(int queue, int conn) {
  char reply[MQ_ITEMLEN];
  int flag;
  do {
    reply[0] = '\0';
    flag = MQ_get(queue, conn, reply);
  } while (flag == 0);
  return flag;
}

// A reply that is a value: not empty, starting with neither "!" nor a newline.
bool is_value(const char *reply) { return reply[0] && reply[0] != '!' && reply[0] != '\n'; }

// Sends "set res" for a resource; true when the window took the message.
bool send_set(int queue, int conn, const char *name, const char *value) {
  return MQ_put(queue, conn, "set res %s %s", name, value ? value : "") >= 0;
}

// The channel number of a "#" element, read as atoi would but clamped to the
// int range instead of overflowing.
int channel_number(const char *text) {
  long n = std::strtol(text, nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

// The caller's SIGALRM handler and pending alarm, put back when the object
// goes: the exchange's bounded waits borrow the alarm only while they last.
class AlarmSaved {
 public:
  AlarmSaved() : left_(alarm(0)), start_(std::time(nullptr)) { sigaction(SIGALRM, nullptr, &old_); }
  ~AlarmSaved() {
    alarm(0);
    sigaction(SIGALRM, &old_, nullptr);
    if (left_ == 0) return;
    const auto spent = static_cast<unsigned>(std::time(nullptr) - start_);
    alarm(left_ > spent ? left_ - spent : 1);
  }
  AlarmSaved(const AlarmSaved &) = delete;
  AlarmSaved &operator=(const AlarmSaved &) = delete;

 private:
  unsigned left_;
  std::time_t start_;
  struct sigaction old_ {};
};

// Asks the window on channel `number` for every declared resource.
void window_exchange(const char *number, RES_defobj *table) {
  AlarmSaved saved;
  errno = 0;
  int queue = MQ_open(channel_number(number));
  if (queue == -1 && errno == ENOENT) {
    MESS_print(M_WARN, "ZIVavaz window: %s not running or no message queue exists\n", number);
    return;
  }
  int conn = queue < 0 ? -1 : MQ_connect(queue);
  if (conn == -1) {
    MESS_print(M_WARN, "ZIVavaz window: %s unable to connect\n", number);
    // A socket left open would hold the window, which serves one client at
    // a time, and nothing more may go to it.
    if (queue >= 0 && MQ_gettype() == 1) MQ_del(queue);
    return;
  }
  for (int k = 0; table[k].def; ++k)
    if (table[k].def[0]) MQ_put(queue, conn, "query res %s", table[k].def);

  int sets = 0;
  bool stopped = false;
  for (int k = 0; table[k].def && !stopped; ++k) {
    if (!table[k].def[0]) continue;
    bool answered = false;
    char reply[MQ_ITEMLEN];
    int flag;
    for (;;) {
      alarm(kReplyAlarm);
      reply[0] = '\0';
      flag = MQ_get(queue, conn, reply);
      alarm(0);
      if (flag != 0) break;
      if (is_value(reply)) {
        std::string value = reply;
        value.pop_back();  // the line end
        RES_new(k, table[k].def, value.c_str(), table[k].cvt);
        answered = true;
      }
    }
    if (flag == -3) {
      // The window has closed this connection: nothing more is sent to it.
      MESS_print(M_WARN, "ZIVavaz not running!\n");
      stopped = true;
    } else if (!answered) {
      const char *have = RES_get(table[k].def);
      if (have && send_set(queue, conn, table[k].def, have)) ++sets;
    }
  }
  if (stopped) {
    // The window closed this connection: nothing more goes to it.
    if (MQ_gettype() == 1) MQ_del(queue);
    return;
  }
  for (int i = 0; i < sets; ++i) drain_replies(queue, conn);
  SourceState &s = state();
  s.queue = queue;
  s.conn = conn;
}

// A defaults file is the user's own when it belongs to the user (or to root)
// and nobody else may write it. Only such a file may name commands to run or
// files to write: a file someone dropped into the working directory may not.
bool users_own(std::FILE *fp) {
  struct stat st;
  if (!fp || fstat(kav::fault::descriptor(fp), &st) != 0) return false;
  if (st.st_uid != geteuid() && st.st_uid != 0) return false;
  return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// True when text, from its start, is a log-file item of the message language.
bool log_item(const char *text) {
  while (*text == ' ') ++text;
  if (*text == '+' || *text == '-' || *text == '@' || *text == 'd' || *text == 'D') ++text;
  return strnicmp(text, "fi", 2) == 0;
}

// What a value would do that a file not the user's own may not ask for: run a
// command (any "|"), open a log file (a message item "fi", "+fi", "-fi",
// "@fi" or "dfi"), or name a file to write. Null when harmless.
const char *hazard(const char *name, const char *value) {
  if (std::strchr(value, '|')) return "a command";
  if (std::strcmp(name, "message") == 0) {
    for (const char *item = value; item; item = std::strchr(item, ',')) {
      if (*item == ',') ++item;
      if (log_item(item)) return "a log file";
    }
  }
  static const char *const kWritten[] = {"log_file", "out_file", "output"};
  for (const char *w : kWritten)
    if (std::strcmp(name, w) == 0 && *value) return "a file to write";
  return nullptr;
}

// True when the value may be stored; else warns, naming file and value.
bool admit(bool own, const char *name, const char *value) {
  if (own) return true;
  const char *what = hazard(name, value);
  if (!what) return true;
  MESS_print(M_WARN,
             "RES_decode: %s: %s=%s not used: it names %s, and the file is not the user's own "
             "or others may write it\n",
             kav::def::open_name().c_str(), name, value, what);
  return false;
}

// Reads one defaults file (or the defaults file of a directory).
void read_file(const char *name, RES_defobj *table) {
  if (DEF_open(name) != 0) return;
  // Closed however the reading ends, memory running out included.
  struct Closer {
    Closer() = default;
    Closer(const Closer &) = delete;
    Closer &operator=(const Closer &) = delete;
    ~Closer() { DEF_close(); }
  } closer;
  const bool own = users_own(kav::def::open_stream());
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
  int got;
  while ((got = DEF_getn(key, sizeof key, value, sizeof value)) >= 0) {
    bool matched = false;
    bool refused = false;
    for (int e = 0; table[e].def; ++e) {
      if (!table[e].def[0] || !DEF_cmp(table[e].def, key)) continue;
      matched = true;
      if (refused || !admit(own, table[e].def, value)) {
        refused = true;
        continue;
      }
      MESS_print(kTrace, "RESRC: %s=%s\n", key, value);
      RES_new(e, table[e].def, value, table[e].cvt);
    }
    if (!matched && DEF_valid(key)) {
      char bare[DEF_KEY_SIZE];
      DEF_parse_name(key, bare);
      if (admit(own, bare, value)) RES_new(KAV_IMISSING, bare, value, CV_string);
    }
  }
  // The entries before a failed read were whole lines and stay; the program
  // goes on without the rest of the file, but not unwarned.
  if (got == -2)
    MESS_print(M_WARN, "RES_decode: Defaults file read only in part, the rest not used: %s\n",
               kav::def::open_name().c_str());
}

}  // namespace

void sources_identify(const char *) {
  DEF_prog();
  DEF_name("");  // a title comes only from this command line's name option
  if (const char *path = std::getenv("kavdefault"))
    RES_new(KAV_IMISSING, "default", path, CV_string);
}

void sources_title(const char *title) { DEF_name(title ? title : ""); }

void sources_search_path(RES_defobj *table) {
  const char *path = RES_get("default");
  if (!path) path = kBuiltInPath;
  DEF_clr_tag();
  if (!*path) {
    read_file(nullptr, table);  // the default file of the current directory
    return;
  }
  int n = 0;
  char **elements = nullptr;
  if (parse_string(path, ':', &n, &elements) != 0) throw std::bad_alloc();  // path is not empty
  for (int i = 0; i < n; ++i) {
    const char *el = elements[i];
    if (el[0] == '|')
      // A command, not a file: reading it would run it.
      MESS_print(M_WARN, "RES_decode: Search path element not read: %s\n", el);
    else if (el[0] == '+')
      DEF_tag(el + 1);
    else if (el[0] == '#')
      window_exchange(el + 1, table);
    else
      read_file(el, table);
  }
  free_parsed_array(n, elements);
}

void sources_environment(RES_defobj *table) {
  char value[kEnvValue];
  for (int k = 0; table[k].def; ++k) {
    if (!table[k].def[0]) continue;
    if (DEF_envn(table[k].def, table[k].env, value, sizeof value))
      RES_new(k, table[k].def, value, table[k].cvt);
  }
}

void sources_forward(const char *name, const char *value) {
  SourceState &s = state();
  if (s.queue < 0) return;
  if (send_set(s.queue, s.conn, name, value)) drain_replies(s.queue, s.conn);
}

void sources_close() {
  SourceState &s = state();
  if (s.queue < 0) return;
  if (MQ_put(s.queue, s.conn, "quit") >= 0) drain_replies(s.queue, s.conn);
  if (MQ_gettype() == 1) MQ_del(s.queue);
  s.queue = -1;
  s.conn = -1;
}

void sources_timezone() {
  if (const char *tz = std::getenv("kavtz")) DATE_set_TZ(tz);
}

}  // namespace kav::res

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
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

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

// Asks the window on channel `number` for every declared resource.
void window_exchange(const char *number, RES_defobj *table) {
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
  signal(SIGALRM, SIG_IGN);
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

// Reads one defaults file (or the defaults file of a directory).
void read_file(const char *name, RES_defobj *table) {
  if (DEF_open(name) != 0) return;
  char key[DEF_KEY_SIZE], value[DEF_VALUE_SIZE];
  while (DEF_getn(key, sizeof key, value, sizeof value) >= 0) {
    bool matched = false;
    for (int e = 0; table[e].def; ++e) {
      if (!table[e].def[0] || !DEF_cmp(table[e].def, key)) continue;
      MESS_print(kTrace, "RESRC: %s=%s\n", key, value);
      RES_new(e, table[e].def, value, table[e].cvt);
      matched = true;
    }
    if (!matched && DEF_valid(key)) {
      char bare[DEF_KEY_SIZE];
      DEF_parse_name(key, bare);
      RES_new(KAV_IMISSING, bare, value, CV_string);
    }
  }
  DEF_close();
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
  if (parse_string(path, ':', &n, &elements) != 0) return;
  for (int i = 0; i < n; ++i) {
    const char *el = elements[i];
    if (el[0] == '+')
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

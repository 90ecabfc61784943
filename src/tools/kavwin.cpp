// kavwin: a test server for the display-window channel. It creates the
// channel, hands out connection ids, answers "query res NAME" from a table of
// resources given on its command line, accepts "set res NAME VALUE" and
// "quit", and ends by itself once no message has arrived for the idle limit.
// It draws nothing: it stands in for the display window in tests.
//
//   kavwin [-t mqueue|socket] [-o OFFSET] [-i SECONDS] [-m] [-c] [-v] -k NUM
//          [NAME=VALUE ...]
#include <kav/mess.h>
#include <kav/mqueue.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

namespace {

constexpr int kMaxIdle = 600;

struct Options {
  int type = 0;                              // transport: 0 message queues, 1 sockets
  int offset = 0;                            // channel offset
  int num = -1;                              // channel number
  int idle = 10;                             // seconds without a message before the server ends
  bool mute = false;                         // never answer requests (a window that hangs)
  bool closing = false;                      // answer every request by closing the connection
  std::map<std::string, std::string> table;  // resources answered to queries
};

volatile sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

int usage(const char *why) {
  MESS_print(M_ERROR, "kavwin: %s\n", why);
  MESS_print(M_ERROR,
             "usage: kavwin [-t mqueue|socket] [-o OFFSET] [-i SECONDS] [-m] [-c] [-v] -k NUM "
             "[NAME=VALUE ...]\n");
  return 1;
}

bool to_int(const char *text, long lo, long hi, int *out) {
  char *end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text || *end || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

// Parses the command line; 0, or the exit status of a usage error.
int parse(int argc, char **argv, Options *o) {
  int c;
  opterr = 0;
  while ((c = getopt(argc, argv, "t:o:i:k:mcv")) != -1) {
    switch (c) {
      case 't':
        if (std::strcmp(optarg, "mqueue") == 0)
          o->type = 0;
        else if (std::strcmp(optarg, "socket") == 0)
          o->type = 1;
        else
          return usage("the transport is mqueue or socket");
        break;
      case 'o':
        if (!to_int(optarg, -2147483647L, 2147483647L, &o->offset)) return usage("bad offset");
        break;
      case 'i':
        if (!to_int(optarg, 1, kMaxIdle, &o->idle))
          return usage("the idle limit is 1 to 600 seconds");
        break;
      case 'k':
        if (!to_int(optarg, 0, 2147483647L, &o->num)) return usage("bad channel number");
        break;
      case 'm':
        o->mute = true;
        break;
      case 'c':
        o->closing = true;
        break;
      case 'v':
        MESS_set(1, MESS_get() | M_DEBUG);
        break;
      default:
        return usage("unknown option");
    }
  }
  if (o->num < 0) return usage("a channel number (-k) is required");
  for (int i = optind; i < argc; ++i) {
    const char *eq = std::strchr(argv[i], '=');
    if (!eq || eq == argv[i]) return usage("resources are given as NAME=VALUE");
    o->table[std::string(argv[i], static_cast<size_t>(eq - argv[i]))] = eq + 1;
  }
  return 0;
}

// Answers one request from client id; true when the connection was closed.
bool answer(int qid, int id, const std::string &text, Options *o) {
  std::printf("kavwin: %d: %s\n", id, text.c_str());
  std::fflush(stdout);
  if (o->mute) return false;
  if (o->closing) {
    MQ_sput(qid, id, -3, "!closed");
    return true;
  }
  if (text.rfind("query res ", 0) == 0) {
    auto it = o->table.find(text.substr(10));
    // The value goes out with its line end, which the client removes.
    if (it != o->table.end() && MQ_sput(qid, id, 0, "%s\n", it->second.c_str()) < 0)
      MQ_sput(qid, id, 0, "!value too long");
    MQ_sput(qid, id, 1, "%s", "");
  } else if (text.rfind("set res ", 0) == 0) {
    std::string rest = text.substr(8);
    size_t sp = rest.find(' ');
    std::string name = rest.substr(0, sp);
    o->table[name] = sp == std::string::npos ? "" : rest.substr(sp + 1);
    MQ_sput(qid, id, 1, "%s", "");
  } else if (text == "quit") {
    MQ_sput(qid, id, -3, "%s", "");
    return true;
  } else {
    MQ_sput(qid, id, 1, "!unknown command");
  }
  return false;
}

void pause_ms(long ms) {
  struct timespec ts {
    ms / 1000, (ms % 1000) * 1000000L
  };
  nanosleep(&ts, nullptr);
}

}  // namespace

int main(int argc, char **argv) {
  Options o;
  if (int rc = parse(argc, argv, &o)) return rc;

  struct sigaction sa {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  MQ_settype(o.type);
  MQ_offset(o.offset);
  int qid = MQ_create(o.num);
  if (qid < 0) {
    MESS_print(M_ERROR, "kavwin: cannot create %s channel %d\n", o.type ? "socket" : "mqueue",
               o.num);
    return 2;
  }
  std::printf("kavwin: serving %s channel %d\n", o.type ? "socket" : "mqueue", o.num);
  std::fflush(stdout);

  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  char item[MQ_ITEMLEN];
  while (!g_stop && Clock::now() - last < std::chrono::seconds(o.idle)) {
    int id = -1;
    int res = MQ_sget(qid, &id, item);
    if (res == 2) {
      std::printf("kavwin: connect %d\n", id);
      std::fflush(stdout);
      last = Clock::now();
    } else if (res == 1) {
      answer(qid, id, item, &o);
      last = Clock::now();
    } else {
      pause_ms(10);
    }
  }
  MQ_del(qid);
  std::printf("kavwin: %s\n", g_stop ? "stopped" : "idle, ending");
  std::fflush(stdout);
  return 0;
}

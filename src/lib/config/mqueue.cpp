// The inter-process channel: System V message queues or TCP sockets on the
// loopback address, one small text message at a time.
//
// Every wait is bounded. A client's wait arms the alarm watchdog and also
// checks a deadline of its own, so a peer that stops answering ends in the
// time-out handler even when the alarm signal is blocked or its handler
// replaced; a handler that returns makes the operation fail. The server side
// never blocks on a client for longer than the time-out either.
#include <arpa/inet.h>
#include <fcntl.h>
#include <kav/mess.h>
#include <kav/mqueue.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/system.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr M_type kDebug = M_DEBUG & M_SUB_D;
constexpr M_type kWarn = M_WARN;
constexpr M_type kError = M_ERROR;
constexpr int kSlots = 25;
constexpr int kFirstId = 3;
constexpr int kLastId = 21;

struct MqState {
  int type = 0;                      // transport: 0 message queues, 1 sockets
  int offset = 0;                    // added to a channel number: queue key or port
  int timeout = 20;                  // seconds before a blocked operation gives up
  MQ_handler to_func = nullptr;      // time-out handler; null means MQ_intrp
  MQ_handler top_func = nullptr;     // alarm handler in place before the last arming
  bool armed = false;                // the watchdog holds the alarm
  struct sigaction saved {};         // the caller's alarm action, put back on disarming
  unsigned saved_left = 0;           // seconds the caller's alarm had left when armed
  std::time_t armed_at = 0;          // when the watchdog was armed
  int msgqid = -1;                   // queue id from the last open or create
  int conn[kSlots] = {};             // server: 1 per id in use; element k is id k + 2
  int sock1 = -1;                    // client: connected socket; server: listening socket
  int sock2 = -1;                    // server: the accepted client socket
  volatile sig_atomic_t struck = 0;  // the watchdog fired since the last arming
};

MqState mq;

using Clock = std::chrono::steady_clock;

// Runs the time-out handler; the flag lets the waiting loop stop when the
// handler returns.
void alarm_trampoline(int sig) {
  mq.struck = 1;
  MQ_handler h = mq.to_func ? mq.to_func : MQ_intrp;
  h(sig);
}

void install_handler(void (*fn)(int), MQ_handler *previous) {
  struct sigaction sa {};
  struct sigaction old {};
  sa.sa_handler = fn;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no restart: a blocked call returns when the alarm strikes
  sigaction(SIGALRM, &sa, &old);
  if (previous) *previous = old.sa_handler;
}

// Ends the watchdog's hold on the alarm: the caller's handler and what was
// left of the caller's alarm come back. Nothing when it holds none.
void disarm() {
  if (!mq.armed) return;
  alarm(0);
  mq.armed = false;
  sigaction(SIGALRM, &mq.saved, nullptr);
  if (mq.saved_left == 0) return;
  const auto spent = static_cast<unsigned>(std::time(nullptr) - mq.armed_at);
  alarm(mq.saved_left > spent ? mq.saved_left - spent : 1);
}

// Pauses for secs seconds (the alarm cuts a pause short).
void pause_for(double secs) {
  if (secs <= 0) return;
  struct timespec ts;
  ts.tv_sec = static_cast<time_t>(secs);
  ts.tv_nsec = static_cast<long>((secs - static_cast<double>(ts.tv_sec)) * 1e9);
  nanosleep(&ts, nullptr);
}

// The watchdog around one client operation: armed on construction, cancelled
// on destruction. expired() is true once the alarm struck, or once the
// deadline passed without it (the handler is then run here).
class Watch {
 public:
  Watch()
      : deadline_(Clock::now() + std::chrono::seconds(mq.timeout) +
                  std::chrono::milliseconds(500)) {
    MQ_enable_alarm();
  }
  ~Watch() { disarm(); }
  Watch(const Watch &) = delete;
  Watch &operator=(const Watch &) = delete;
  bool expired() const {
    if (mq.struck) return true;
    if (Clock::now() < deadline_) return false;
    alarm_trampoline(SIGALRM);
    return true;
  }

 private:
  Clock::time_point deadline_;
};

// A plain deadline for the server side, which never runs the handler.
class Deadline {
 public:
  Deadline() : end_(Clock::now() + std::chrono::seconds(mq.timeout)) {}
  bool expired() const { return Clock::now() >= end_; }

 private:
  Clock::time_point end_;
};

// Formats lead + message into text (MQ_TEXTLEN bytes). The message length,
// or -1 when it cannot be formed or is longer than MQ_MAXMSG characters.
__attribute__((format(printf, 4, 0))) int format_text(char *text, int lead, const char *who,
                                                      const char *format, va_list ap) {
  std::memset(text, 0, MQ_TEXTLEN);
  if (!format) {
    MESS_print(kError, "%s: no message format\n", who);
    return -1;
  }
  if (lead < 0 || lead > UCHAR_MAX) {
    MESS_print(kError, "%s: id or flag %d cannot be sent\n", who, lead - '0');
    return -1;
  }
  va_list probe;
  va_copy(probe, ap);
  int len = std::vsnprintf(nullptr, 0, format, probe);
  va_end(probe);
  if (len < 0) {
    MESS_print(kError, "%s: message cannot be formatted\n", who);
    return -1;
  }
  if (len > MQ_MAXMSG) {
    MESS_print(kError, "%s: message of %d characters refused, at most %d pass\n", who, len,
               MQ_MAXMSG);
    return -1;
  }
  text[0] = static_cast<char>(lead);
  std::vsnprintf(text + 1, MQ_MAXMSG + 1, format, ap);
  return len;
}

// Copies the text after a received message's leading character into item.
void copy_item(char *item, const char *text) {
  if (!item) return;
  size_t n = strnlen(text, MQ_MAXMSG);
  std::memcpy(item, text, n);
  item[n] = '\0';
}

int lead_value(char c) { return static_cast<unsigned char>(c) - '0'; }

// Sends a queue message without blocking, retrying while the queue is full
// until expired() says the wait is over. 0, or -1.
template <class Expired>
int queue_send(int msgqid, long type, const char *text, const Expired &expired) {
  mqueuebuf buf;
  buf.mtype = type;
  std::memcpy(buf.mtext, text, MQ_TEXTLEN);
  for (;;) {
    if (msgsnd(msgqid, &buf, MQ_SENDLEN, IPC_NOWAIT) == 0) return 0;
    if (errno != EAGAIN && errno != EINTR) return -1;
    if (expired()) return -1;
    pause_for(0.01);
  }
}

// Waits until fd is ready for events; false when expired() ends the wait or
// the descriptor fails.
template <class Expired>
bool wait_fd(int fd, short events, const Expired &expired) {
  for (;;) {
    if (expired()) return false;
    struct pollfd p {
      fd, events, 0
    };
    int r = poll(&p, 1, 50);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return false;
  }
}

// Sends n bytes on fd. The bytes sent, or -1.
template <class Expired>
int send_all(int fd, const unsigned char *data, int n, const Expired &expired) {
  int done = 0;
  while (done < n) {
    if (!wait_fd(fd, POLLOUT, expired)) return -1;
    ssize_t r = send(fd, data + done, static_cast<size_t>(n - done), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return -1;
    }
    done += static_cast<int>(r);
  }
  return done;
}

// Reads up to n bytes from fd, stopping early at the end of the stream. The
// bytes read (0 at once when the peer has gone), or -1 on failure or time-out.
template <class Expired>
int recv_exact(int fd, unsigned char *data, int n, const Expired &expired) {
  int done = 0;
  while (done < n) {
    if (!wait_fd(fd, POLLIN, expired)) return -1;
    ssize_t r = recv(fd, data + done, static_cast<size_t>(n - done), MSG_DONTWAIT);
    if (r == 0) break;
    if (r < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return -1;
    }
    done += static_cast<int>(r);
  }
  return done;
}

// Builds the socket frame for text (lead character and message) in frame
// (MQ_MAXFRAME bytes). Its size.
int build_frame(unsigned char *frame, const char *text, int len) {
  frame[0] = static_cast<unsigned char>(len + 1);
  std::memcpy(frame + 1, text, static_cast<size_t>(len) + 1);
  return len + 2;
}

// Reads the body of a frame whose length byte is already read into
// frame[0]; the body always fits, whatever the length. Decodes it into flag
// and item. The decode result, or -2 when the body did not arrive whole.
template <class Expired>
int read_body(int fd, unsigned char *frame, int *got, int *flag, char *item,
              const Expired &expired) {
  int want = frame[0];
  *got = recv_exact(fd, frame + 1, want, expired);
  if (*got < want) return -2;
  return MQ_frame_decode(frame, want + 1, flag, item);
}

// The key or port for a channel number; false when it is out of range.
bool channel_key(int num, long long lo, long long hi, int *key) {
  long long k = static_cast<long long>(mq.offset) + num;
  if (k < lo || k > hi) return false;
  *key = static_cast<int>(k);
  return true;
}

void close_fd(int *fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

struct sockaddr_in loopback(int port) {
  struct sockaddr_in addr {};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

// Connects fd to addr, waiting at most the time-out: a window whose backlog
// is full (it has stopped accepting) would otherwise hold the caller for the
// system's own connection time-out, minutes. true, or false with errno set.
bool connect_within_timeout(int fd, const struct sockaddr_in &addr) {
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return false;
  int res = connect(fd, reinterpret_cast<const struct sockaddr *>(&addr), sizeof addr);
  if (res < 0 && errno != EINPROGRESS) return false;
  if (res < 0) {
    Deadline dl;
    if (!wait_fd(fd, POLLOUT, [&] { return dl.expired(); })) {
      errno = ETIMEDOUT;
      return false;
    }
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) return false;
    if (err) {
      errno = err;
      return false;
    }
  }
  return fcntl(fd, F_SETFL, flags) == 0;
}

// Answers a connection request: the first free id, or a refusal (flag -1)
// when every id is taken, so the client stops waiting at once.
void answer_request(int msgqid, int *conn_id) {
  int k = 1;
  while (k <= kLastId - 2 && mq.conn[k]) ++k;
  mq.conn[0] = 1;
  if (k <= kLastId - 2) {
    MQ_sput(msgqid, 2, 2, "%d", k + 2);
    mq.conn[0] = 0;
    mq.conn[k] = 1;
    if (conn_id) *conn_id = k + 2;
    return;
  }
  MESS_print(kWarn, "MQ_sget: every connection id is in use, request refused\n");
  MQ_sput(msgqid, 2, -1, "!no free connection");
  mq.conn[0] = 0;
  if (conn_id && mq.type == 0) *conn_id = -1;
}

// Server, sockets: accepts a client when none is connected and reads one
// frame without waiting. 1 with text (lead and message) filled, 0 when
// nothing arrived, -1 on failure or disconnect.
int socket_sget(unsigned char *frame, int *flag, char *item) {
  if (mq.sock2 < 0) {
    struct sockaddr_in peer {};
    socklen_t plen = sizeof peer;
    int fd = accept(mq.sock1, reinterpret_cast<struct sockaddr *>(&peer), &plen);
    if (fd < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
      MESS_print(kDebug, "Accept failed\n");
      MESS_print(kWarn, "MQ_sget: accept: %s\n", std::strerror(errno));
      return -1;
    }
    MESS_print(kDebug, "Connection made from %X on port %d\n", ntohl(peer.sin_addr.s_addr),
               ntohs(peer.sin_port));
    mq.sock2 = fd;
  }
  struct pollfd p {
    mq.sock2, POLLIN, 0
  };
  if (poll(&p, 1, 0) <= 0) return 0;
  ssize_t r = recv(mq.sock2, frame, 1, MSG_DONTWAIT);
  if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
    MESS_print(kDebug, "Client disconnect\n");
    close_fd(&mq.sock2);
    return -1;
  }
  if (r < 0) return 0;
  Deadline dl;
  int got = 0;
  int res = read_body(mq.sock2, frame, &got, flag, item, [&] { return dl.expired(); });
  if (res == -2) {
    MESS_print(kWarn, "MQ_sget: client sent %d of %d bytes of a frame and was dropped\n",
               got < 0 ? 0 : got, frame[0]);
    close_fd(&mq.sock2);
    return -1;
  }
  MESS_print(kDebug, "Received: %d %d %d => %s\n", got, frame[0], frame[1], item);
  if (res < 0) {
    MESS_print(kWarn, "MQ_sget: frame with a bad length %d ignored\n", frame[0]);
    return 0;
  }
  return 1;
}

}  // namespace

extern "C" {

int MQ_params(void) KAV_NOEXCEPT {
  int n = 0;
  char **v = nullptr;
  RES_getvals("parameter", &n, &v);
  for (int i = 0; i < n && v; ++i) {
    const char *item = v[i];
    if (!item) continue;
    if (strnicmp(item, "to", 2) == 0) {
      const char *num = std::strlen(item) >= 3 ? item + 3 : "";
      char *end = nullptr;
      errno = 0;
      long val = std::strtol(num, &end, 10);
      while (end && (*end == ' ' || *end == '\t')) ++end;
      if (end == num || (end && *end) || errno || val < 1 || val > INT_MAX) {
        MESS_print(kWarn, "MQ_params: bad time-out in %s, kept %d seconds\n", item, mq.timeout);
        continue;
      }
      mq.timeout = static_cast<int>(val);
    } else if (stricmp(item, "qtype=sock") == 0) {
      mq.type = 1;
    } else if (stricmp(item, "qtype=mqueue") == 0) {
      mq.type = 0;
    }
  }
  free_parsed_array(n, v);
  return 0;
}

int MQ_gettype(void) KAV_NOEXCEPT { return mq.type; }

int MQ_settype(int ind) KAV_NOEXCEPT {
  if (ind != 0 && ind != 1) {
    MESS_print(kWarn, "MQ_settype: unknown transport %d ignored\n", ind);
    return 0;
  }
  mq.type = ind;
  return 0;
}

int MQ_offset(int ind) KAV_NOEXCEPT {
  mq.offset = ind;
  return 0;
}

int MQ_timeout(int val) KAV_NOEXCEPT {
  mq.timeout = val < 1 ? 1 : val;
  return 0;
}

int MQ_timeout_func(MQ_handler func) KAV_NOEXCEPT {
  mq.to_func = func;
  return 0;
}

int MQ_enable_alarm(void) KAV_NOEXCEPT {
  mq.struck = 0;
  if (!mq.armed) {
    // The first arming keeps what the caller had; a re-arming keeps that.
    sigaction(SIGALRM, nullptr, &mq.saved);
    mq.saved_left = alarm(0);
    mq.armed_at = std::time(nullptr);
    mq.armed = true;
  }
  install_handler(alarm_trampoline, &mq.top_func);
  alarm(static_cast<unsigned>(mq.timeout));
  return 0;
}

int MQ_disable_alarm(void) KAV_NOEXCEPT {
  if (mq.armed)
    disarm();
  else
    alarm(0);
  return 0;
}

void MQ_intrp(int sig) KAV_NOEXCEPT {
  (void)sig;
  MESS_print(kWarn, "Queue not responding!!\n");
  KAV_exit(7);
}

int MQ_open(int num) KAV_NOEXCEPT {
  if (mq.type == 0) {
    int key = 0;
    // Key 0 is IPC_PRIVATE: it would make a new private queue, not find one.
    if (!channel_key(num, INT_MIN, INT_MAX, &key) || key == 0) {
      errno = ENOENT;
      return -1;
    }
    int id = msgget(static_cast<key_t>(key), 0);
    if (id < 0) return -1;
    // Another user's queue could answer as the window and hand this program
    // its settings: only the user's own queues are used.
    struct msqid_ds ds {};
    if (msgctl(id, IPC_STAT, &ds) != 0 || ds.msg_perm.uid != geteuid()) {
      MESS_print(kWarn, "MQ_open: queue %d belongs to another user; not used\n", num);
      errno = EACCES;
      return -1;
    }
    mq.msgqid = id;
    return id;
  }
  close_fd(&mq.sock1);
  int port = 0;
  if (!channel_key(num, 1, 65535, &port)) {
    errno = EINVAL;
    return -1;
  }
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  MESS_print(kDebug, "Opened socket\n");
  struct sockaddr_in addr = loopback(port);
  if (!connect_within_timeout(fd, addr)) {
    int err = errno;
    close(fd);
    errno = err;
    return -1;
  }
  MESS_print(kDebug, "Connected to socket\n");
  mq.sock1 = fd;
  return 1;
}

int MQ_connect(int msgqid) KAV_NOEXCEPT {
  MQ_clear(msgqid, 2);
  if (MQ_put(msgqid, -1, "%d", static_cast<int>(getuid())) < 0) return -1;
  char item[MQ_ITEMLEN];
  int flag = MQ_get(msgqid, 2, item);
  if (flag != 2) return -1;
  char *end = nullptr;
  long id = std::strtol(item, &end, 10);
  if (end == item || *end || id < kFirstId || id > kLastId) {
    MESS_print(kWarn, "MQ_connect: server answered with a bad id \"%s\"\n", item);
    return -1;
  }
  MQ_clear(msgqid, static_cast<int>(id));
  return static_cast<int>(id);
}

int MQ_put(int msgqid, int conn_id, const char *format, ...) KAV_NOEXCEPT {
  char text[MQ_TEXTLEN];
  va_list ap;
  va_start(ap, format);
  int len = format_text(text, '0' + conn_id, "MQ_put", format, ap);
  va_end(ap);
  if (len < 0) return -1;
  Watch w;
  auto expired = [&] { return w.expired(); };
  if (mq.type == 0) {
    int res = queue_send(msgqid, 1, text, expired);
    MESS_print(kDebug, "PUT:%d:%s\n", conn_id, text);
    return res;
  }
  if (mq.sock1 < 0) return -1;
  unsigned char frame[MQ_MAXFRAME + 1];
  int size = build_frame(frame, text, len);
  int sent = send_all(mq.sock1, frame, size, expired);
  MESS_print(kDebug, "Send: %d %d %d => %s\n", sent, frame[0], text[0], text + 1);
  return sent;
}

int MQ_get(int msgqid, int conn_id, char *item) KAV_NOEXCEPT {
  if (item) item[0] = '\0';
  Watch w;
  if (mq.type == 0) {
    mqueuebuf buf;
    std::memset(&buf, 0, sizeof buf);
    ssize_t n = -1;
    for (int tries = 1;; ++tries) {
      n = msgrcv(msgqid, &buf, MQ_SENDLEN, conn_id, IPC_NOWAIT | MSG_NOERROR);
      int err = errno;
      MESS_print(kDebug, "GET-MSG:%d %d %d %d\n", msgqid, conn_id, tries, static_cast<int>(n));
      if (n < 0 && err != ENOMSG && err != EINTR) break;
      if (tries >= 3) KAV_sleep(tries > 200 ? 1.0f : 0.1f);
      if (n >= 0) break;
      if (w.expired()) break;
    }
    MQ_disable_alarm();
    if (n < 1) {
      MESS_print(kDebug, "GET:%s\n", "");
      return -1;
    }
    buf.mtext[n < MQ_SENDLEN ? n : MQ_SENDLEN - 1] = '\0';
    MESS_print(kDebug, "GET:%s\n", buf.mtext);
    copy_item(item, buf.mtext + 1);
    return lead_value(buf.mtext[0]);
  }
  if (mq.sock1 < 0) return -1;
  auto expired = [&] { return w.expired(); };
  unsigned char frame[UCHAR_MAX + 2] = {};
  if (recv_exact(mq.sock1, frame, 1, expired) < 1) return -1;
  int got = 0;
  int flag = 0;
  char text[MQ_ITEMLEN];
  int res = read_body(mq.sock1, frame, &got, &flag, text, expired);
  if (res == -2) return -1;
  MESS_print(kDebug, "Received: %d %d %d => %s\n", got, frame[0], frame[1], text);
  if (res < 0) {
    MESS_print(kError, "MQ_get: frame with a bad length %d rejected\n", frame[0]);
    return -1;
  }
  copy_item(item, text);
  return flag;
}

int MQ_clear(int msgqid, int index) KAV_NOEXCEPT {
  if (mq.type != 0) return 0;
  mqueuebuf buf;
  // Bounded, so a peer that keeps sending cannot hold the caller here.
  for (int i = 0; i < 100000; ++i)
    if (msgrcv(msgqid, &buf, MQ_SENDLEN, index, IPC_NOWAIT | MSG_NOERROR) < 0) break;
  return 0;
}

int MQ_find(int ind) KAV_NOEXCEPT {
  for (int i = 0; i < 50; ++i) {
    if (ind > INT_MAX - i) break;
    int r = MQ_open(ind + i);
    if (mq.type != 0) {
      if (r == -1) return ind + i;
      close_fd(&mq.sock1);
    } else if (r == -1 && errno == ENOENT) {
      return ind + i;
    }
  }
  return -1;
}

int MQ_create(int num) KAV_NOEXCEPT {
  if (num == -1) return -2;
  std::memset(mq.conn, 0, sizeof mq.conn);
  if (mq.type == 0) {
    int key = 0;
    if (!channel_key(num, INT_MIN, INT_MAX, &key) || key == 0) return -1;
    int id = msgget(static_cast<key_t>(key), IPC_CREAT | IPC_EXCL | 0600);
    mq.msgqid = id;
    return id < 0 ? -1 : id;
  }
  close_fd(&mq.sock2);
  close_fd(&mq.sock1);
  int port = 0;
  if (!channel_key(num, 1, 65535, &port)) return -1;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  struct sockaddr_in addr = loopback(port);
  int res = bind(fd, reinterpret_cast<struct sockaddr *>(&addr), sizeof addr);
  MESS_print(kDebug, "Socket bind on port: %d - %d\n", port, res);
  if (res < 0) {
    close(fd);
    return -1;
  }
  res = listen(fd, 100);
  MESS_print(kDebug, "Socket listen...: %d\n", res);
  int nonblock = 1;
  if (res < 0 || ioctl(fd, FIONBIO, &nonblock) < 0) {
    close(fd);
    return -1;
  }
  mq.sock1 = fd;
  return 1;
}

int MQ_sget(int msgqid, int *conn_id, char *item) KAV_NOEXCEPT {
  if (item) item[0] = '\0';
  if (msgqid < 0) return -1;
  char text[MQ_TEXTLEN];
  std::memset(text, 0, sizeof text);
  if (mq.type == 0) {
    mqueuebuf buf;
    ssize_t n = msgrcv(msgqid, &buf, MQ_SENDLEN, 1, IPC_NOWAIT | MSG_NOERROR);
    if (n < 1) return n < 0 ? -1 : 0;
    buf.mtext[n < MQ_SENDLEN ? n : MQ_SENDLEN - 1] = '\0';
    MESS_print(kDebug, "SGET:%s\n", buf.mtext);
    std::memcpy(text, buf.mtext, MQ_SENDLEN);
  } else {
    if (mq.sock1 < 0) return -1;
    unsigned char frame[UCHAR_MAX + 2] = {};
    int flag = 0;
    char body[MQ_ITEMLEN];
    int res = socket_sget(frame, &flag, body);
    if (res <= 0) return res;
    text[0] = static_cast<char>(frame[1]);
    copy_item(text + 1, body);
  }
  if (text[0] != '/') {
    if (conn_id) *conn_id = lead_value(text[0]);
    copy_item(item, text + 1);
    return 1;
  }
  answer_request(msgqid, conn_id);
  return 2;
}

int MQ_sput(int msgqid, int conn_id, int flag, const char *format, ...) KAV_NOEXCEPT {
  if (msgqid < 0 || conn_id < 2 || conn_id >= kSlots + 2 || !mq.conn[conn_id - 2]) return -1;
  char text[MQ_TEXTLEN];
  va_list ap;
  va_start(ap, format);
  int len = format_text(text, '0' + flag, "MQ_sput", format, ap);
  va_end(ap);
  int res = -1;
  if (len >= 0) {
    Deadline dl;
    auto expired = [&] { return dl.expired(); };
    if (mq.type == 0) {
      MESS_print(kDebug, "SPUT:%d:%s:", conn_id, text);
      res = queue_send(msgqid, conn_id, text, expired);
      if (res < 0) MESS_print(kWarn, "MQ_sput: message to %d not delivered\n", conn_id);
    } else if (mq.sock2 >= 0) {
      unsigned char frame[MQ_MAXFRAME + 1];
      int size = build_frame(frame, text, len);
      res = send_all(mq.sock2, frame, size, expired);
      MESS_print(kDebug, "Send: %d %d %d => %s\n", res, frame[0], text[0], text + 1);
    }
  }
  if (flag < 0) mq.conn[conn_id - 2] = 0;
  return res;
}

int MQ_del(int msgqid) KAV_NOEXCEPT {
  if (mq.type == 0) {
    if (msgqid >= 0) msgctl(msgqid, IPC_RMID, nullptr);
    return 0;
  }
  close_fd(&mq.sock2);
  close_fd(&mq.sock1);
  return 0;
}

int MQ_frame_decode(const unsigned char *data, int size, int *flag, char *item) KAV_NOEXCEPT {
  if (item) item[0] = '\0';
  if (!data || size < 1) return 0;
  int len = data[0];
  if (len < 1 || len > MQ_MAXMSG + 1) return -1;
  if (size < len + 1) return 0;
  if (flag) *flag = data[1] - '0';
  if (item) {
    std::memcpy(item, data + 2, static_cast<size_t>(len - 1));
    item[len - 1] = '\0';
  }
  return len + 1;
}

}  // extern "C"

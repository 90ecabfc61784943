#include "support/channel.h"

#include <poll.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/loopback.h"

namespace kavtest {

int queue_base() {
  static const int base = 0x4B560000 + ((getpid() & 0x3FFF) << 8);
  return base;
}

void remove_queues() {
  for (int k = 0; k < kChannelSpan; ++k) {
    int id = msgget(static_cast<key_t>(queue_base() + k), 0);
    if (id >= 0) msgctl(id, IPC_RMID, nullptr);
  }
}

namespace {

// The process that owns this run's queues. Children (death tests, forked
// checks) share the keys and must not remove the queues when they end.
pid_t g_owner = -1;

void remove_at_exit() {
  if (getpid() == g_owner) remove_queues();
}

// A run that aborts (a sanitizer report, a failed check) or is stopped still
// removes its queues, then ends as the signal would have ended it.
void remove_on_signal(int sig) {
  if (getpid() == g_owner) remove_queues();
  signal(sig, SIG_DFL);
  raise(sig);
}

const bool janitor_registered = [] {
  g_owner = getpid();
  queue_base();  // fixed now, before any signal handler needs it
  std::atexit(remove_at_exit);
  for (int sig : {SIGABRT, SIGTERM, SIGINT, SIGHUP}) signal(sig, remove_on_signal);
  return true;
}();

}  // namespace

int free_ports(int count) {
  static int next = 20000 + (getpid() % 5000) * 2;
  for (int tries = 0; tries < 500; ++tries) {
    int p = next;
    next += count + 1;
    if (next > 32000) next = 20000;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
      ok = loopback_try_port(p + i) == p + i;
    }
    if (ok) return p;
  }
  return -1;
}

std::string kavwin_path() {
  std::string w = KAV_WINDCHILL_BIN;
  return w.substr(0, w.rfind('/') + 1) + "kavwin";
}

Server::Server(std::vector<std::string> args) {
  args.insert(args.begin(), kavwin_path());
  int out[2];
  if (pipe(out)) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<char *> av;
    for (auto &a : args) av.push_back(a.data());
    av.push_back(nullptr);
    execv(av[0], av.data());
    _exit(127);
  }
  close(out[1]);
  fd_ = out[0];
  // Ready once it says it serves the channel (or has ended).
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (output_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < until)
    if (!read_some(100)) break;
  ready_ = output_.rfind("kavwin: serving", 0) == 0;
}

const std::string &Server::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 300 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    while (read_some(50)) {
    }
    close(fd_);
  }
  return output_;
}

bool Server::read_some(int ms) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, ms) <= 0) return ms > 0 && output_.find('\n') == std::string::npos;
  char buf[512];
  ssize_t n = read(fd_, buf, sizeof buf);
  if (n <= 0) return false;
  output_.append(buf, static_cast<size_t>(n));
  return true;
}

}  // namespace kavtest

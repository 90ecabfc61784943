// The display-window channel in tests: this run's own queue keys and ports,
// and the kavwin test server in a child process.
#ifndef KAV_TESTS_CHANNEL_H
#define KAV_TESTS_CHANNEL_H

#include <sys/types.h>

#include <string>
#include <vector>

namespace kavtest {

// Channel numbers 0..255 from queue_base() on are this run's.
constexpr int kChannelSpan = 256;

// The first queue key of this run (used as the channel offset).
int queue_base();

// Removes every queue with a key of this run. It also runs when the test
// process ends, normally or by SIGABRT, SIGTERM, SIGINT or SIGHUP, but not
// when a child of it ends.
void remove_queues();

// A port with the given number of free ports from it on, below the
// ephemeral range so that outgoing connections do not take it meanwhile.
int free_ports(int count);

// The built kavwin program.
std::string kavwin_path();

// kavwin in a child process, ended (and its channel removed) on destruction.
class Server {
 public:
  explicit Server(std::vector<std::string> args);
  ~Server() { stop(); }
  Server(const Server &) = delete;
  Server &operator=(const Server &) = delete;

  bool ready() const { return ready_; }

  // Ends the server and returns all it printed.
  const std::string &stop();

 private:
  bool read_some(int ms);

  pid_t pid_ = -1;
  int fd_ = -1;
  bool ready_ = false;
  std::string output_;
};

}  // namespace kavtest

#endif

// Raw TCP peers on 127.0.0.1 for the channel's tests and its fuzz harness.
// Header-only and free of GoogleTest, so that libFuzzer programs can use it.
#ifndef KAV_TESTS_LOOPBACK_H
#define KAV_TESTS_LOOPBACK_H

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace kavtest {

// The address of a port on the loopback device; port 0 lets bind() pick one.
inline sockaddr_in loopback_address(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

// A socket listening on the port, or -1.
inline int loopback_listen(int port, int backlog = 5) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a = loopback_address(port);
  if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd, backlog) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// A socket connected to the port, or -1. With `flags` SOCK_NONBLOCK the
// connection may still be on its way when this returns.
inline int loopback_connect(int port, int flags = 0) {
  const int fd = socket(AF_INET, SOCK_STREAM | flags, 0);
  if (fd < 0) return -1;
  sockaddr_in a = loopback_address(port);
  if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 && !(flags & SOCK_NONBLOCK)) {
    close(fd);
    return -1;
  }
  return fd;
}

// Binds a socket to the port on the loopback device and lets it go again:
// the port bound (with 0, one the system picked and reports free just now),
// or -1 when the port is taken.
inline int loopback_try_port(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in a = loopback_address(port);
  socklen_t len = sizeof a;
  int bound = -1;
  if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
    bound = ntohs(a.sin_port);
  close(fd);
  return bound;
}

}  // namespace kavtest

#endif

// Socket frames from a peer. The bytes are decoded frame after frame, and
// each decoded text must stay inside the receiving buffer with no frame
// claiming more bytes than are present. Then the same bytes arrive over a
// loopback connection, once as a client's frames at a window (MQ_sget, which
// answers connection requests) and once as a window's frames at a client
// (MQ_get), each read until the peer's end. Any result is fine; a read
// outside a buffer, a crash or a wait beyond the peer's end is not.
#include <kav/mess.h>
#include <kav/mqueue.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/loopback.h"

namespace {

// The peer gets at most this much: more would only repeat frames.
constexpr size_t kMaxSent = 16384;

void check_item(const char *item) {
  if (item[MQ_ITEMLEN] != 'G' || std::strlen(item) > MQ_MAXMSG) std::abort();
}

void decode_frames(const uint8_t *data, size_t size) {
  size_t pos = 0;
  while (pos < size) {
    char item[MQ_ITEMLEN + 1];
    item[MQ_ITEMLEN] = 'G';  // guard byte just past the buffer
    int flag = 0;
    int left = size - pos > 4096 ? 4096 : static_cast<int>(size - pos);
    int used = MQ_frame_decode(data + pos, left, &flag, item);
    check_item(item);
    if (used <= 0) break;
    if (used > left || used != data[pos] + 1) std::abort();
    if (flag != data[pos + 1] - '0') std::abort();
    pos += static_cast<size_t>(used);
  }
}

// Sends the bytes and ends the stream: the reader sees them, then the end.
void send_and_end(int fd, const uint8_t *data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t r = send(fd, data + done, size - done, MSG_NOSIGNAL);
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  shutdown(fd, SHUT_WR);
}

// Reads until the peer's end. Each call takes at least the length byte of a
// frame, or finds nothing yet (the connection or the bytes still on their
// way through the loopback device), so far more calls than bytes mean a
// reader that does not advance.
template <class Read>
void read_to_end(size_t size, Read read) {
  for (size_t calls = 0;; ++calls) {
    if (calls > size + 10000) std::abort();
    char item[MQ_ITEMLEN + 1];
    item[MQ_ITEMLEN] = 'G';
    const int r = read(item);
    check_item(item);
    if (r == -1) return;  // the end (or, from MQ_get, a frame of flag -1)
    if (r == 0) sched_yield();
  }
}

// The window's side: the bytes come from a client.
void window_reads(int port, const uint8_t *data, size_t size) {
  MQ_offset(port);
  const int q = MQ_create(0);
  if (q < 0) return;
  const int fd = kavtest::loopback_connect(port);
  if (fd >= 0) {
    send_and_end(fd, data, size);
    read_to_end(size, [&](char *item) {
      int conn = 0;
      return MQ_sget(q, &conn, item);
    });
    close(fd);
  }
  MQ_del(q);
}

// The client's side: the bytes come from a window.
void client_reads(int listener, int port, const uint8_t *data, size_t size) {
  MQ_offset(port);
  if (MQ_open(0) < 0) return;
  const int fd = accept(listener, nullptr, nullptr);
  if (fd >= 0) {
    send_and_end(fd, data, size);
    read_to_end(size, [&](char *item) { return MQ_get(1, 3, item); });
    close(fd);
  }
  MQ_del(-1);
}

struct Ports {
  int window = -1, client = -1, listener = -1;
  Ports() {
    MESS_set(0, 0);
    MQ_settype(1);
    MQ_timeout(1);
    window = kavtest::loopback_try_port(0);
    client = kavtest::loopback_try_port(0);
    if (client > 0) listener = kavtest::loopback_listen(client, 4);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  decode_frames(data, size);
  static Ports ports;
  if (size > kMaxSent) size = kMaxSent;
  if (ports.window > 0) window_reads(ports.window, data, size);
  if (ports.listener >= 0) client_reads(ports.listener, ports.client, data, size);
  return 0;
}

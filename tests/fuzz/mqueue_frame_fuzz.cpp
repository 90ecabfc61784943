// Socket frames from a peer: decodes frame after frame from arbitrary bytes
// and checks that each decoded text stays inside the receiving buffer and
// that no frame claims more bytes than are present.
#include <kav/mqueue.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  size_t pos = 0;
  while (pos < size) {
    char item[MQ_ITEMLEN + 1];
    item[MQ_ITEMLEN] = 'G';  // guard byte just past the buffer
    int flag = 0;
    int left = size - pos > 4096 ? 4096 : static_cast<int>(size - pos);
    int used = MQ_frame_decode(data + pos, left, &flag, item);
    if (item[MQ_ITEMLEN] != 'G' || std::strlen(item) > MQ_MAXMSG) std::abort();
    if (used <= 0) break;
    if (used > left || used != data[pos] + 1) std::abort();
    if (flag != data[pos + 1] - '0') std::abort();
    pos += static_cast<size_t>(used);
  }
  return 0;
}

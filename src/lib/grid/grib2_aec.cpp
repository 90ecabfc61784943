// The CCSDS adapter of the GRIB edition-2 decoder: libaec decoding a buffer
// of adaptive-entropy-coded samples. Nothing else in the decoder knows the
// library.
#include <kav/mess.h>

#include <cstdint>

#include "grid/grib2_tmpl.hpp"

#ifdef KAV_HAVE_AEC
#include <libaec.h>
#endif

namespace kav::grib2 {

#ifdef KAV_HAVE_AEC

bool ccsds_available() { return true; }

size_t ccsds_decode(const unsigned char *data, size_t len, int nbits, int flags, int block, int rsi,
                    size_t n, unsigned char *dest) {
  // Parameters the library would take on trust (a block size of 0 makes it
  // write outside its buffers).
  if (nbits < 1 || nbits > 32 || (block != 8 && block != 16 && block != 32 && block != 64) ||
      rsi < 1 || rsi > 4096 || (flags & ~0x7F) != 0 || ((flags & AEC_RESTRICTED) && nbits > 4)) {
    MESS_print(M_WARN, "GRIB_DS: Bad CCSDS parameters: %d bits, flags %d, block %d, interval %d\n",
               nbits, flags, block, rsi);
    return 0;
  }
  // Octets per sample as the library writes them.
  const size_t width = nbits <= 8                                  ? 1
                       : nbits <= 16                               ? 2
                       : (nbits <= 24 && (flags & AEC_DATA_3BYTE)) ? 3
                                                                   : 4;
  aec_stream strm{};
  strm.next_in = data;
  strm.avail_in = len;
  strm.next_out = dest;
  strm.avail_out = n * width;
  strm.bits_per_sample = static_cast<unsigned>(nbits);
  strm.block_size = static_cast<unsigned>(block);
  strm.rsi = static_cast<unsigned>(rsi);
  strm.flags = static_cast<unsigned>(flags);
  const int r = aec_buffer_decode(&strm);
  if (r != AEC_OK || strm.total_out != n * width) {
    MESS_print(M_WARN, "GRIB_DS: CCSDS decoding failed (%d, %lu of %lu octets)\n", r,
               static_cast<unsigned long>(strm.total_out), static_cast<unsigned long>(n * width));
    return 0;
  }
  return width;
}

#else

bool ccsds_available() { return false; }

size_t ccsds_decode(const unsigned char *, size_t, int, int, int, int, size_t, unsigned char *) {
  MESS_print(M_WARN, "GRIB_DS: Built without a CCSDS decoder\n");
  return 0;
}

#endif

}  // namespace kav::grib2

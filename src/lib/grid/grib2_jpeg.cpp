// The JPEG 2000 adapter of the GRIB edition-2 decoder: OpenJPEG reading a
// code stream from memory. Nothing else in the decoder knows the library.
#include <kav/mess.h>

#include <algorithm>
#include <cstring>

#include "grid/grib2_tmpl.hpp"

#ifdef KAV_HAVE_OPENJPEG
#include <openjpeg.h>
#endif

namespace kav::grib2 {

#ifdef KAV_HAVE_OPENJPEG
namespace {

// The octets the stream reads from.
struct Memory {
  const unsigned char *data;
  OPJ_SIZE_T len, pos;
};

OPJ_SIZE_T mem_read(void *buf, OPJ_SIZE_T n, void *user) {
  Memory *m = static_cast<Memory *>(user);
  if (m->pos >= m->len) return static_cast<OPJ_SIZE_T>(-1);
  const OPJ_SIZE_T k = std::min(n, m->len - m->pos);
  std::memcpy(buf, m->data + m->pos, k);
  m->pos += k;
  return k;
}

OPJ_OFF_T mem_skip(OPJ_OFF_T n, void *user) {
  Memory *m = static_cast<Memory *>(user);
  if (n < 0) {
    const OPJ_SIZE_T back = static_cast<OPJ_SIZE_T>(-n);
    if (back > m->pos) return -1;
    m->pos -= back;
    return n;
  }
  const OPJ_SIZE_T k = std::min(static_cast<OPJ_SIZE_T>(n), m->len - m->pos);
  m->pos += k;
  return static_cast<OPJ_OFF_T>(k);
}

OPJ_BOOL mem_seek(OPJ_OFF_T n, void *user) {
  Memory *m = static_cast<Memory *>(user);
  if (n < 0 || static_cast<OPJ_SIZE_T>(n) > m->len) return OPJ_FALSE;
  m->pos = static_cast<OPJ_SIZE_T>(n);
  return OPJ_TRUE;
}

void quiet(const char *, void *) {}

// Most tiles a code stream may divide its image into: the decoder makes a
// record of some kilobytes for every tile the size marker states, before
// any of them is read.
constexpr unsigned long long kMaxTiles = 4096;

// Checks the image and tile size marker (SIZ) of the code stream before the
// decoder sees it: the tile grid must start within one tile of the image, as
// the code-stream syntax requires, and hold at most kMaxTiles tiles and no
// more tiles than samples. False with a message naming what is wrong.
bool size_marker_sane(const unsigned char *data, size_t len, size_t max_samples) {
  static const unsigned char kSiz[] = {0xFF, 0x4F, 0xFF, 0x51};
  const unsigned char *at = std::search(data, data + len, kSiz, kSiz + 4);
  if (at == data + len || static_cast<size_t>(data + len - at) < 4 + 2 + 2 + 32 + 2) {
    MESS_print(M_WARN, "GRIB_DS: JPEG 2000 code stream without its size marker\n");
    return false;
  }
  const unsigned char *p = at + 4 + 2 + 2;  // past the markers, Lsiz and Rsiz
  auto u4 = [&](int i) {
    const unsigned char *q = p + 4 * i;
    return static_cast<unsigned long long>(q[0]) << 24 |
           static_cast<unsigned long long>(q[1]) << 16 |
           static_cast<unsigned long long>(q[2]) << 8 | q[3];
  };
  const unsigned long long xsiz = u4(0), ysiz = u4(1), xo = u4(2), yo = u4(3), xt = u4(4),
                           yt = u4(5), xto = u4(6), yto = u4(7);
  if (xt == 0 || yt == 0 || xo >= xsiz || yo >= ysiz || xto > xo || yto > yo || xto + xt <= xo ||
      yto + yt <= yo) {
    MESS_print(M_WARN, "GRIB_DS: JPEG 2000 tile grid does not cover the image\n");
    return false;
  }
  const unsigned long long tiles = ((xsiz - xto + xt - 1) / xt) * ((ysiz - yto + yt - 1) / yt);
  const unsigned long long samples = (xsiz - xo) * (ysiz - yo);
  if (samples > max_samples) {
    MESS_print(M_WARN, "GRIB_DS: JPEG 2000 image of %llu by %llu is larger than the grid\n",
               xsiz - xo, ysiz - yo);
    return false;
  }
  if (tiles > kMaxTiles || tiles > samples) {
    MESS_print(M_WARN, "GRIB_DS: JPEG 2000 image of %llu samples in %llu tiles refused\n", samples,
               tiles);
    return false;
  }
  return true;
}

// Owns the codec, the stream and the image.
struct Session {
  opj_codec_t *codec = nullptr;
  opj_stream_t *stream = nullptr;
  opj_image_t *image = nullptr;
  ~Session() {
    if (image) opj_image_destroy(image);
    if (stream) opj_stream_destroy(stream);
    if (codec) opj_destroy_codec(codec);
  }
};

}  // namespace

bool jpeg2000_available() { return true; }

bool jpeg2000_decode(const unsigned char *data, size_t len, size_t max_samples,
                     const std::function<bool(const int32_t *, int, int)> &take) {
  if (len < 4 || !size_marker_sane(data, len, max_samples)) return false;
  Memory mem{data, len, 0};
  Session s;
  // A JP2 file begins with its signature box; GRIB carries bare code streams.
  const bool jp2 = len >= 12 && data[0] == 0 && data[1] == 0 && data[2] == 0 && data[3] == 12;
  s.codec = opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  if (!s.codec) return false;
  opj_set_info_handler(s.codec, quiet, nullptr);
  opj_set_warning_handler(s.codec, quiet, nullptr);
  opj_set_error_handler(s.codec, quiet, nullptr);
  opj_dparameters_t params;
  opj_set_default_decoder_parameters(&params);
  if (!opj_setup_decoder(s.codec, &params)) return false;
  s.stream = opj_stream_create(65536, OPJ_TRUE);
  if (!s.stream) return false;
  opj_stream_set_user_data(s.stream, &mem, nullptr);
  opj_stream_set_user_data_length(s.stream, len);
  opj_stream_set_read_function(s.stream, mem_read);
  opj_stream_set_skip_function(s.stream, mem_skip);
  opj_stream_set_seek_function(s.stream, mem_seek);
  if (!opj_read_header(s.stream, s.codec, &s.image) || !s.image || s.image->numcomps < 1)
    return false;
  // The size the header states, checked before anything that large is made.
  const unsigned long long w = s.image->x1 - s.image->x0, h = s.image->y1 - s.image->y0;
  if (s.image->x1 <= s.image->x0 || s.image->y1 <= s.image->y0) return false;
  if (w * h > max_samples) {
    MESS_print(M_WARN, "GRIB_DS: JPEG 2000 image of %llu by %llu is larger than the grid\n", w, h);
    return false;
  }
  if (!opj_decode(s.codec, s.stream, s.image) || !opj_end_decompress(s.codec, s.stream))
    return false;
  const opj_image_comp_t &c = s.image->comps[0];
  const size_t n = static_cast<size_t>(c.w) * static_cast<size_t>(c.h);
  if (!c.data || c.w == 0 || c.h == 0 || n > max_samples) return false;
  return take(c.data, static_cast<int>(c.w), static_cast<int>(c.h));
}

#else

bool jpeg2000_available() { return false; }

bool jpeg2000_decode(const unsigned char *, size_t, size_t,
                     const std::function<bool(const int32_t *, int, int)> &) {
  MESS_print(M_WARN, "GRIB_DS: Built without a JPEG 2000 decoder\n");
  return false;
}

#endif

}  // namespace kav::grib2

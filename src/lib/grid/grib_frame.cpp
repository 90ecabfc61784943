// GRIB framing: the mark search, the transmission envelopes, message lengths
// and the step to the next message, the loading of a message into the
// decoder's buffer, raw copies and the file's first date.
#include <kav/date.h>
#include <kav/grib.h>
#include <kav/mess.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/fault.hpp"
#include "console/guard.hpp"
#include "grid/grib2_int.hpp"
#include "grid/grib_int.hpp"

namespace kav::grib {

Decoder &dec() {
  static Decoder d;
  return d;
}

FILE *stream_of(int grd_fd) {
  GRD_file *f = GRD_get_gfile(grd_fd);
  return f && f->type == GRD_GRIB ? f->file : nullptr;
}

void reset_file(int grd_fd) {
  if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return;
  FileState &fs = dec().files[static_cast<size_t>(grd_fd)];
  fs = FileState{};
  fs.owner = GRD_get_gfile(grd_fd);
}

FileState &file_state(int grd_fd) {
  static FileState none;
  if (grd_fd < 0 || grd_fd >= GRD_MAX_FILES) return none = FileState{};
  FileState &fs = dec().files[static_cast<size_t>(grd_fd)];
  if (fs.owner != GRD_get_gfile(grd_fd)) reset_file(grd_fd);
  return fs;
}

void pds_date(const unsigned char *pds, size_t len, Date *date) {
  int year = pds[12];
  if (len >= 25 && pds[24] >= 1 && pds[24] <= 100) {
    year += (pds[24] - 1) * 100;  // the century octet: century 20, year 100 is 2000
  } else {
    if (year < 50) year += 2000;
    if (year < 200) year += 1900;
  }
  date->year = year;
  date->month = pds[13];
  date->day = pds[14];
  date->hour = pds[15];
  date->min = pds[16];
  date->sec = 0;
  if (date->month >= 1 && date->month <= 12 && date->day >= 1 && date->day <= 31) {
    const int days = DATE_date_days(year, date->month, date->day);
    date->jday = days - DATE_date_days(year, 1, 1) + 1;
    date->wday = ((days - 1) % 7 + 7 + 4) % 7;  // 1 January 1970 was a Thursday
  } else {
    date->jday = date->wday = KAV_IMISSING;
  }
}

namespace {

constexpr unsigned char kSOH = 0x01, kETX = 0x03, kCR = '\r', kLF = '\n';
// Largest edition-2 message accepted.
constexpr long kMaxEdition2 = 1L << 30;

long file_size(FILE *fp) {
  struct stat st {};
  if (fstat(kav::fault::descriptor(fp), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long>(st.st_size);
}

// Clears the end-of-file indicator after a read ran past the end; a failed
// read stays marked, so that the grid reader reports the file as unreadable
// rather than taking the failure for the end of the file.
void clear_eof(FILE *fp) {
  if (!std::ferror(fp)) std::clearerr(fp);
}

// Reads exactly n bytes at offset; false when the file holds fewer.
bool read_at(FILE *fp, long off, unsigned char *buf, size_t n) {
  if (std::fseek(fp, off, SEEK_SET) != 0) return false;
  const bool ok = std::fread(buf, 1, n, fp) == n;
  clear_eof(fp);
  return ok;
}

// Reads a line (without its end) of at most max characters; false at end of
// file or when the line is longer.
bool read_line(FILE *fp, std::string &line, size_t max) {
  line.clear();
  for (;;) {
    const int c = std::getc(fp);
    if (c == EOF) return false;
    if (c == kLF) break;
    if (line.size() >= max) return false;
    line.push_back(static_cast<char>(c));
  }
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return true;
}

bool expect(FILE *fp, const char *bytes, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (std::getc(fp) != static_cast<unsigned char>(bytes[i])) return false;
  return true;
}

// Edition-0 length from its sections (it has no length of its own): mark,
// product definition, optional grid description and bit map, data, "7777".
long edition0_length(FILE *fp, long off, long size) {
  unsigned char b[8];
  long pos = off + 4;
  if (!read_at(fp, pos, b, 8)) return 0;
  const long pds_len = static_cast<long>(u3(b));
  if (pds_len < 24 || pds_len > 470) return 0;
  const int flag = b[7];
  pos += pds_len;
  for (int sec = 0; sec < 3; ++sec) {
    if (sec == 0 && !(flag & 0x80)) continue;
    if (sec == 1 && !(flag & 0x40)) continue;
    if (!read_at(fp, pos, b, 3)) return 0;
    const long len = static_cast<long>(u3(b));
    if (len < 6 || pos + len - off > GRIB_MAX_PRODUCT) return 0;
    pos += len;
  }
  pos += 4;
  if (size >= 0 && pos > size) return 0;
  return pos - off;
}

// Checks the mark the search found at off and sets the current message's
// edition and length. false for a false mark. An edition-0 message whose
// table version is 2 looks like an edition-2 start: each reading is tried
// and must end with "7777".
bool accept_mark(FILE *fp, long off, const unsigned char *is, int count) {
  Decoder &d = dec();
  const long size = file_size(fp);
  if (d.mark == Mark::Grid) return false;  // no message of that mark is read
  // A message that ends inside the file ends with "7777"; one cut by the end
  // of the file is taken (its read will fail with a message).
  auto ends_well = [&](long len) {
    if (size < 0 || off + len > size) return true;
    unsigned char end[4];
    return read_at(fp, off + len - 4, end, 4) && std::memcmp(end, "7777", 4) == 0;
  };
  long len = 0;
  int version = -1;
  if (d.mark == Mark::Bufr) {
    len = static_cast<long>(u3(is));
    if (len >= 12 && len <= GRIB_MAX_PRODUCT && ends_well(len)) version = d.version;
  } else {
    if (count >= 12 && is[3] == 2) {
      unsigned long long l = 0;
      for (int i = 4; i < 12; ++i) l = (l << 8) | is[i];
      if (l >= 20 && l <= static_cast<unsigned long long>(kMaxEdition2) &&
          ends_well(static_cast<long>(l))) {
        len = static_cast<long>(l);
        version = 2;
        d.discipline = is[2];
      }
    }
    if (version < 0 && is[3] == 1 && u3(is) >= 52) {
      len = static_cast<long>(u3(is));
      if (len > GRIB_MAX_PRODUCT) {
        MESS_print(M_WARN, "Invalid product size: %ld\n", len);
      } else if (ends_well(len)) {
        version = 1;
      }
    }
    if (version < 0) {
      len = edition0_length(fp, off, size);
      if (len > 0 && ends_well(len)) version = 0;
    }
  }
  if (version < 0 && d.mark != Mark::Bufr) {
    MESS_print(M_DEBUG, "GRIB_header: No message at the mark at offset %ld\n", off);
    return false;
  }
  if (d.mark == Mark::Bufr && len == 0) return false;
  d.version = version;
  d.length = len;
  d.msg_off = off;
  d.loaded = false;
  std::fseek(fp, off + (version == 2 ? 16 : 8), SEEK_SET);
  return true;
}

// The raw mark search from the stream's position: the 4-byte window slides
// one byte at a time. Sets the mark and its offset; fills is with the octets
// after it. Returns the count read after the mark, -1 at end of file.
int search(FILE *fp, unsigned char is[12], long *mark_off) {
  Decoder &d = dec();
  uint32_t window = 0;
  long seen = 0;
  for (;;) {
    const int c = std::getc(fp);
    if (c == EOF) {
      clear_eof(fp);
      return -1;
    }
    window = (window << 8) | static_cast<uint32_t>(c);
    if (++seen < 4) continue;
    Mark m = Mark::None;
    if (window == 0x47524942u)
      m = Mark::Grib;  // "GRIB"
    else if (window == 0x47524944u)
      m = Mark::Grid;  // "GRID"
    else if (window == 0x42554652u)
      m = Mark::Bufr;  // "BUFR"
    if (m == Mark::None) continue;
    const long here = std::ftell(fp);
    *mark_off = here - 4;
    d.mark = m;
    if (std::fread(is, 1, 4, fp) != 4) {
      clear_eof(fp);
      return -1;
    }
    if (m == Mark::Grib && is[3] == 2) {
      if (std::fread(is + 4, 1, 8, fp) != 8) {
        clear_eof(fp);
        return -1;
      }
      return 12;
    }
    return 4;
  }
}

// Searches from the stream's position for a mark that begins a message,
// passing over false marks. true when one was found.
bool find_message(FILE *fp) {
  for (;;) {
    unsigned char is[12] = {};
    long off = -1;
    const int n = search(fp, is, &off);
    if (n < 0) return false;
    if (accept_mark(fp, off, is, n)) return true;
    if (std::fseek(fp, off + 1, SEEK_SET) != 0) return false;
  }
}

// Envelope kind k read at p0, then the search. true when a message was found
// (the header text set).
bool try_envelope(FILE *fp, int k, long p0) {
  Decoder &d = dec();
  if (std::fseek(fp, p0, SEEK_SET) != 0) return false;
  std::string line, header;
  long env_end = -1;
  switch (k) {
    case 1: {  // CR, LF and ETX, then "** " and the header
      int c;
      do c = std::getc(fp);
      while (c == kCR || c == kLF || c == kETX);
      if (c != '*' || !expect(fp, "* ", 2) || !read_line(fp, line, 200)) return false;
      header = line.substr(0, GRIB_WMO_LEN - 1);
      break;
    }
    case 2: {  // [LF ETX] SOH CR CR LF, sequence number, CR CR LF, header, CR CR LF
      int c = std::getc(fp);
      if (c == kLF) {
        if (std::getc(fp) != kETX) return false;
        c = std::getc(fp);
      }
      if (c != kSOH || !expect(fp, "\r\r\n", 3)) return false;
      if (!read_line(fp, line, 16) || !read_line(fp, line, GRIB_WMO_LEN - 1)) return false;
      header = line;
      break;
    }
    case 3: {  // "GRIB: " and the length, SOH CR CR LF, a line, the header
      if (!expect(fp, "GRIB: ", 6) || !read_line(fp, line, 20)) return false;
      char *end = nullptr;
      const long len = std::strtol(line.c_str(), &end, 10);
      if (end == line.c_str() || len <= 0 || len > GRIB_MAX_PRODUCT) return false;
      env_end = std::ftell(fp) + len;
      if (!expect(fp, "\001\r\r\n", 4) || !read_line(fp, line, 200) || !read_line(fp, line, 200))
        return false;
      header = line.substr(0, GRIB_WMO_LEN - 1);
      break;
    }
    default:
      header = "GRIB01 KXXX 010000";
      break;
  }
  if (!find_message(fp)) return false;
  d.wmo_header = header;
  d.env_end = env_end;
  d.env_kind = k;
  return true;
}

}  // namespace

int load_message(int grd_fd, const char *caller) {
  Decoder &d = dec();
  FILE *fp = stream_of(grd_fd);
  if (!fp || d.msg_off < 0) return GRIB_FAIL;
  if (d.loaded) return GRIB_OK;
  const size_t len = static_cast<size_t>(d.length);
  const long size = file_size(fp);
  if (size >= 0 && d.msg_off + d.length > size) {  // nothing allocated for what is not there
    MESS_print(M_WARN, "%s: Message at offset %ld cut by the end of the file\n", caller, d.msg_off);
    return GRIB_FAIL;
  }
  try {
    d.msg.resize(len);
  } catch (const std::bad_alloc &) {
    MESS_print(M_WARN, "%s: No memory for a message of %lu octets\n", caller,
               static_cast<unsigned long>(len));
    return GRIB_FAIL;
  }
  if (!read_at(fp, d.msg_off, d.msg.data(), len)) {
    MESS_print(M_WARN, "%s: Message at offset %ld cut by the end of the file\n", caller, d.msg_off);
    return GRIB_FAIL;
  }
  d.loaded = true;
  d.pds = d.gds = d.bms = d.bds = 0;
  d.pds_len = d.gds_len = d.bms_len = d.bds_len = 0;
  if (d.mark != Mark::Grib || d.version == 2) return GRIB_OK;
  const unsigned char *m = d.msg.data();
  size_t pos = d.version == 0 ? 4 : 8;
  const size_t end = len - 4;  // "7777"
  auto section = [&](size_t &at, size_t &slen, size_t min, const char *what) {
    if (pos + 3 > end || u3(m + pos) < min || pos + u3(m + pos) > end) {
      MESS_print(M_WARN, "%s: Bad %s section in the message at offset %ld\n", caller, what,
                 d.msg_off);
      return false;
    }
    at = pos;
    slen = u3(m + pos);
    pos += slen;
    return true;
  };
  if (!section(d.pds, d.pds_len, d.version == 0 ? 24 : 28, "product definition"))
    return GRIB_REJECT;
  d.flag = m[d.pds + 7];
  if ((d.flag & 0x80) && !section(d.gds, d.gds_len, 32, "grid description")) return GRIB_REJECT;
  if ((d.flag & 0x40) && !section(d.bms, d.bms_len, 6, "bit map")) return GRIB_REJECT;
  if (!section(d.bds, d.bds_len, 11, "binary data")) return GRIB_REJECT;
  return GRIB_OK;
}

}  // namespace kav::grib

using namespace kav::grib;

extern "C" {

static int grib_search_body(int grd_fd) {
  FILE *fp = stream_of(grd_fd);
  if (!fp) return -1;
  unsigned char is[12];
  long off = -1;
  const int n = search(fp, is, &off);
  if (n < 0) return -1;
  Decoder &d = dec();
  if (d.mark == Mark::Grib && n == 12) {
    d.version = 2;
    d.discipline = is[2];
  } else if (is[3] == 1 && d.mark != Mark::Grid) {
    d.version = 1;
  }
  d.msg_off = off;
  d.loaded = false;
  return n;
}

int GRIB_search(int grd_fd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_search", -1, [&] { return grib_search_body(grd_fd); });
}

static int grib_header_body(int grd_fd) {
  GRD_file *f = GRD_get_gfile(grd_fd);
  FILE *fp = stream_of(grd_fd);
  if (!f || !fp) return -1;
  const long p0 = std::ftell(fp);
  if (p0 < 0) return -1;
  static const int kOrder[] = {1, 2, 3, 4};
  if (f->itype >= 1 && f->itype <= 4) {
    if (try_envelope(fp, f->itype, p0)) return 1;
    // The file's kind does not fit this message: look afresh, keeping it.
    for (int k : kOrder)
      if (k != f->itype && try_envelope(fp, k, p0)) return 1;
    return -1;
  }
  for (int k : kOrder)
    if (try_envelope(fp, k, p0)) {
      f->itype = k;
      return 1;
    }
  return -1;
}

int GRIB_header(int grd_fd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_header", -1, [&] { return grib_header_body(grd_fd); });
}

long GRIB_next(int grd_fd, int where) KAV_NOEXCEPT {
  FILE *fp = stream_of(grd_fd);
  Decoder &d = dec();
  if (!fp || d.msg_off < 0) return -1;
  long next = 0;
  if (d.env_kind == 3 && d.env_end > 0) {
    if (d.env_end - d.msg_off > GRIB_MAX_PRODUCT) return -1;
    next = d.env_end + 1;
  } else if (d.length <= 0 || (d.version != 2 && d.length > GRIB_MAX_PRODUCT)) {
    if (d.length > 0) MESS_print(M_WARN, "Invalid product size: %ld\n", d.length);
    if (where) std::fseek(fp, d.msg_off + 1, SEEK_SET);
    return 0;
  } else {
    next = d.msg_off + d.length + (d.env_kind == 2 ? 4 : 0) + (d.env_kind == 1 ? 1 : 0);
  }
  if (where) std::fseek(fp, next, SEEK_SET);
  return next;
}

int GRIB_get_version(void) KAV_NOEXCEPT { return dec().version; }

int GRIB_get_WMO_header(int grd_fd, char *header) KAV_NOEXCEPT {
  (void)grd_fd;
  if (!header) return -1;
  const std::string &h = dec().wmo_header;
  const size_t n = h.size() < GRIB_WMO_COPY ? h.size() : GRIB_WMO_COPY;
  std::memcpy(header, h.data(), n);
  header[n] = '\0';
  return 0;
}

long GRIB_get_raw(int grd_fd, unsigned char **data, long *size) KAV_NOEXCEPT {
  FILE *fp = stream_of(grd_fd);
  if (!fp || !data || !size) return -1;
  const long start = GRD_get_pos();
  const long next = GRIB_next(grd_fd, 0);
  if (next <= start || next - start >= GRIB_MAX_PRODUCT + 1) return -1;
  const long n = next - start;
  void *block = std::realloc(*data, static_cast<size_t>(n));
  if (!block) return -1;
  *data = static_cast<unsigned char *>(block);
  if (std::fseek(fp, start, SEEK_SET) != 0) return -1;
  const size_t got = std::fread(*data, 1, static_cast<size_t>(n), fp);
  clear_eof(fp);
  std::fseek(fp, start, SEEK_SET);
  // The last message's envelope trailer may lie past the end of the file.
  if (got + 4 < static_cast<size_t>(n) || got == 0) return -1;
  *size = static_cast<long>(got);
  return *size;
}

static int grib_get_info_body(int grd_fd, GRD_info *info) {
  GRD_file *f = GRD_get_gfile(grd_fd);
  if (!f || !info || load_message(grd_fd, "GRD_getinfo") != GRIB_OK) return -1;
  Decoder &d = dec();
  const unsigned char *m = d.msg.data();
  Date date{};
  DATE_init(&date);
  if (d.version == 2) {
    if (d.length < 16 + 21 + 4 || m[16 + 4] != 1) return -1;
    date.year = static_cast<int>(u2(m + 16 + 12));
    date.month = m[16 + 14];
    date.day = m[16 + 15];
    date.hour = m[16 + 16];
    date.min = m[16 + 17];
    date.sec = 0;
    f->grid = 2;
  } else if (d.mark == Mark::Grib && d.pds) {
    pds_date(m + d.pds, d.pds_len, &date);
    if (date.month > 12) date.month = 1;
    f->grid = d.version;
    if (d.version == 0 && m[d.pds + 4] == 98) f->grid = 10;
  } else {
    return -1;
  }
  info->date = date;
  f->date = date;
  char label[DATE_LABEL_LEN];
  DATE_make_label(&date, label);
  put_text(info->datim, sizeof info->datim, label);
  put_text(f->datim, sizeof f->datim, label);
  return 0;
}

int GRIB_get_info(int grd_fd, GRD_info *info) KAV_NOEXCEPT {
  return kav::guarded("GRIB_get_info", -1, [&] { return grib_get_info_body(grd_fd, info); });
}

}  // extern "C"

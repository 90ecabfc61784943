// GRIB edition 2, section by section: a cursor over the current message of
// a GRIB file (the one GRIB_header found) and the decoders of each section
// into a GRD_report, for tools and tests that look inside a message.
#include <kav/grib.h>
#include <kav/grib2.h>
#include <kav/mess.h>

#include <cstring>

#include "console/guard.hpp"
#include "grid/grib2_tmpl.hpp"
#include "grid/grib_int.hpp"

namespace kav::grib2 {
namespace {

// The cursor: where it stands in which message and what the sections read
// so far hold.
struct Cursor {
  long msg_off = -1;       // offset of the message the cursor walks
  size_t pos = 0;          // offset in the message of the next section
  int sect = 0;            // number of the current section, -1 after "7777"
  Sect cur;                // the current section
  Found found;             // sections of the product so far
  Grid grid;               // the grid of section 3
  bool have_grid = false;  // section 3 decoded
  ProductContext ctx;      // from section 1
  bool have_ids = false;   // section 1 decoded
};

Cursor &cursor() {
  static Cursor c;
  return c;
}

// The current section when it has number n (with a message otherwise).
const Sect *current(int n, const char *caller) {
  Cursor &c = cursor();
  using kav::grib::dec;
  if (c.sect != n || c.msg_off != dec().msg_off || !dec().loaded) {
    MESS_print(M_WARN, "%s: The current section is not section %d\n", caller, n);
    return nullptr;
  }
  return &c.cur;
}

}  // namespace
}  // namespace kav::grib2

using namespace kav::grib2;

extern "C" {

static int grib_read_section_body(int grd_fd) {
  using kav::grib::dec;
  auto &d = dec();
  if (d.version != 2 || kav::grib::load_message(grd_fd, "GRIB_read_section") != GRIB_OK) return -1;
  Cursor &c = cursor();
  if (c.msg_off != d.msg_off) {
    c = Cursor{};
    c.msg_off = d.msg_off;
    c.pos = 16;
  }
  const unsigned char *m = d.msg.data();
  const size_t len = d.msg.size();
  if (c.pos + 4 <= len && std::memcmp(m + c.pos, "7777", 4) == 0) {
    c.sect = -1;
    c.cur = Sect{m + c.pos, 4};
    return 0;
  }
  if (c.pos + 5 > len) return -1;
  const size_t slen = (size_t(m[c.pos]) << 24) | (size_t(m[c.pos + 1]) << 16) |
                      (size_t(m[c.pos + 2]) << 8) | m[c.pos + 3];
  const int sect = m[c.pos + 4];
  if (slen < 5 || slen > len - 4 - c.pos || sect < 1 || sect > 8) {
    MESS_print(M_WARN, "GRIB_read_section: Bad section %d of %lu octets at octet %lu\n", sect,
               static_cast<unsigned long>(slen), static_cast<unsigned long>(c.pos));
    c.sect = 0;
    return -1;
  }
  MESS_print(0x40000000u, "section: %d %d - %d\n", sect, static_cast<int>(slen),
             static_cast<int>(c.pos));
  c.sect = sect;
  c.cur = Sect{m + c.pos, slen};
  c.pos += slen;
  return 1;
}

int GRIB_read_section(int grd_fd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_read_section", -1, [&] { return grib_read_section_body(grd_fd); });
}

int GRIB_get_sect(void) KAV_NOEXCEPT { return cursor().sect; }

long GRIB_get_slen(void) KAV_NOEXCEPT {
  const Cursor &c = cursor();
  return c.sect == 0 ? 0 : static_cast<long>(c.cur.len);
}

int GRIB_skip_section(int grd_fd) KAV_NOEXCEPT {
  (void)grd_fd;
  const Cursor &c = cursor();
  if (c.sect == 0) return -1;
  MESS_print(0x40000000u, "skip section: %d - %d\n", c.sect, static_cast<int>(c.cur.len));
  return 0;  // the cursor stands past the section already
}

static int grib_ids_body(int grd_fd, GRD_report *grd) {
  (void)grd_fd;
  const Sect *s = current(1, "GRIB_IDS");
  if (!s || !grd) return 0;
  Cursor &c = cursor();
  if (decode_ids(*s, kav::grib::dec().discipline, grd, c.ctx) != 0) return 0;
  c.found.s1 = *s;
  c.have_ids = true;
  return 1;
}

int GRIB_IDS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_IDS", 0, [&] { return grib_ids_body(grd_fd, grd); });
}

static int grib_gds_body(int grd_fd, GRD_report *grd) {
  (void)grd_fd;
  const Sect *s = current(3, "GRIB_GDS");
  if (!s || !grd) return 0;
  Cursor &c = cursor();
  c.have_grid = false;
  c.found.s3 = *s;
  c.found.bitmap = Sect{};
  if (decode_grid(*s, c.grid) != 0) return 0;
  c.have_grid = true;
  grd->domain = c.grid.dom;
  grd->type = c.grid.type;
  return 1;
}

int GRIB_GDS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_GDS", 0, [&] { return grib_gds_body(grd_fd, grd); });
}

static int grib_pds_body(int grd_fd, GRD_report *grd) {
  (void)grd_fd;
  const Sect *s = current(4, "GRIB_PDS");
  if (!s || !grd) return 0;
  Cursor &c = cursor();
  if (!c.have_ids) {
    MESS_print(M_WARN, "GRIB_PDS: No identification section before the product\n");
    return 0;
  }
  c.found.s4 = *s;
  c.found.s5 = c.found.s6 = c.found.s7 = Sect{};
  if (decode_keys(*s, c.ctx, grd) != 0) return 0;
  if (c.have_grid) grd->type = c.grid.type;
  return 1;
}

int GRIB_PDS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_PDS", 0, [&] { return grib_pds_body(grd_fd, grd); });
}

int GRIB_DRS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  (void)grd_fd;
  (void)grd;
  const Sect *s = current(5, "GRIB_DRS");
  if (!s) return 0;
  Cursor &c = cursor();
  c.found.s5 = *s;
  if (!s->has(11) || !find_data(static_cast<int>(s->u2(10)))) {
    MESS_print(M_WARN, "GRIB_DRS: Data representation template 5.%d is not decoded\n",
               s->has(11) ? static_cast<int>(s->u2(10)) : -1);
    return 0;
  }
  return 1;
}

int GRIB_BMS(int grd_fd) KAV_NOEXCEPT {
  (void)grd_fd;
  const Sect *s = current(6, "GRIB_BMS");
  if (!s || !s->has(6)) return 0;
  Cursor &c = cursor();
  c.found.s6 = *s;
  const unsigned ind = s->u1(6);
  if (ind == 0) c.found.bitmap = *s;
  if (ind == 255) c.found.bitmap = Sect{};
  return 1;
}

static int grib_ds_body(int grd_fd, GRD_report *grd) {
  (void)grd_fd;
  const Sect *s = current(7, "GRIB_DS");
  if (!s || !grd) return 0;
  Cursor &c = cursor();
  if (!c.have_grid || !c.found.s5.p) {
    MESS_print(M_WARN, "GRIB_DS: No grid or data representation before the data\n");
    return 0;
  }
  c.found.s7 = *s;
  if (decode_values(c.found, c.grid, grd) != 0) return 0;
  grd->domain = c.grid.dom;
  return 1;
}

int GRIB_DS(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_DS", 0, [&] { return grib_ds_body(grd_fd, grd); });
}

}  // extern "C"

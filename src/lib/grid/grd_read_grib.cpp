// GRIB files (format 21) in the grid layer: detection, opening, the file's
// first date, grids numbered in file order (one per edition-0/1 message and
// one per product of an edition-2 message), index files and raw copies.
#include <kav/date.h>
#include <kav/grib.h>
#include <kav/mess.h>
#include <kav/var_tool.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "grid/grd_read_int.hpp"
#include "grid/grib2_int.hpp"
#include "grid/grib_int.hpp"

namespace kav::grd {
namespace {

using kav::grib::dec;
using kav::grib::Decoder;
using kav::grib::FileState;
using kav::grib::Mark;

int fd_of(const Slot &slot) {
  for (int i = 0; i < GRD_MAX_FILES; ++i)
    if (GRD_get_gfile(i) == &slot.rec) return i;
  return -1;
}

// Products of the current message that count as grids: 1 for edition 0/1,
// the decoder's count for edition 2, 0 for anything else (skipped).
int products_of(int fd) {
  Decoder &d = dec();
  if (d.mark != Mark::Grib) {
    MESS_print(0x80000000u, "GRD_read: Message at offset %ld is not GRIB; skipped\n", d.msg_off);
    return 0;
  }
  if (d.version != 2) return 1;
  if (kav::grib::load_message(fd, "GRD_read") != GRIB_OK) return GRIB_FAIL;
  const int n = kav_grib2_decode(d.msg.data(), d.msg.size(), 0, nullptr, 1);
  return n < 0 ? 0 : n;
}

// Finds the message of the grid that begins at fs.at_off, passing over
// messages that hold no grid. Returns its product count, or -1 at the end.
int locate(int fd, FILE *fp, FileState &fs) {
  for (;;) {
    if (std::fseek(fp, fs.at_off, SEEK_SET) != 0) return -1;
    if (GRIB_header(fd) < 0) return -1;
    const int count = products_of(fd);
    if (count < 0) return -1;
    if (fs.at_product < count) return count;
    const long next = GRIB_next(fd, 0);
    const long past = next > dec().msg_off ? next : dec().msg_off + 1;
    if (past <= fs.at_off) return -1;  // no progress: give up rather than loop
    fs.at_off = past;
    fs.at_product = 0;
  }
}

// Moves past grid fs.at_index.
bool step(int fd, FILE *fp, FileState &fs) {
  const int count = locate(fd, fp, fs);
  if (count < 0) return false;
  if (fs.at_product + 1 < count) {
    ++fs.at_product;
  } else {
    const long next = GRIB_next(fd, 0);
    fs.at_off = next > dec().msg_off ? next : dec().msg_off + 1;
    fs.at_product = 0;
  }
  ++fs.at_index;
  return true;
}

void rewind_state(int fd, FileState &fs) {
  kav::grib::reset_file(fd);
  (void)fs;
}

// Decodes the current message into grd. 0, or a decoder's result.
int decode(int fd, GRD_report *grd, int rep_type, int product) {
  Decoder &d = dec();
  grd->datim[0] = '\0';
  grd->info[0] = '\0';
  if (d.version == 2) {
    const int r = kav::grib::load_message(fd, "GRD_read");
    if (r != GRIB_OK) return r;
    const int n = kav_grib2_decode(d.msg.data(), d.msg.size(), product, grd, rep_type);
    return n > product ? 0 : (n < 0 ? n : GRIB_REJECT);
  }
  int r = GRIB_PDB(fd, grd);
  if (r == GRIB_OK) r = GRIB_GDB(fd, grd);
  if (r == GRIB_OK && rep_type == 0) {
    r = GRIB_BMB(fd);
    if (r == GRIB_OK) r = GRIB_BDB(fd, grd);
  }
  return r == GRIB_OK ? 0 : r;
}

int read_indexed(Slot &slot, int fd, GRD_report *grd, int rep_type, int n) {
  FileState &fs = kav::grib::file_state(fd);
  if (kav::grib::index_line(fd, n) != 0) return -1;
  shared().cur_pos = fs.index_off;
  slot.rec.num = n;
  if (rep_type != 0) {
    kav::grib::index_header(fd, grd);
    if (rep_type != 1) {
      char buf[VAR_LABEL_LEN] = "";
      VAR_make_datatype(grd->time, grd->ltype, grd->level, grd->var, grd->units, buf);
      copy_text(grd->info, sizeof grd->info, buf);
      char label[DATE_LABEL_LEN] = "";
      DATE_make_label_for_time(grd->time, grd->model, &grd->date, label);
      copy_text(grd->datim, sizeof grd->datim, label);
    }
    return 0;
  }
  FILE *fp = slot.rec.file;
  if (!seek(fp, fs.index_off) || GRIB_header(fd) < 0) {
    MESS_print(M_WARN, "GRD_read: No GRIB message at offset %ld of %s\n", fs.index_off,
               slot.name.c_str());
    return -1;
  }
  const int r = decode(fd, grd, rep_type, 0);
  seek(fp, fs.index_off);
  return r;
}

}  // namespace

int grib_detect(const unsigned char *head, size_t len) {
  if (len >= 4 && std::memcmp(head, "GRIB", 4) == 0) return 1;
  return len >= 1 && (head[0] == '*' || head[0] == 1) ? 1 : 0;
}

// A message behind a transmission header: "GRIB" anywhere in the bytes read.
int grib_detect_late(const unsigned char *head, size_t len) {
  for (size_t i = 0; i + 4 <= len; ++i)
    if (std::memcmp(head + i, "GRIB", 4) == 0) return 1;
  return 0;
}

int grib_open(Slot &slot, const char *name, int access) {
  if (access == 0 && slot.stdio) {
    MESS_print(M_WARN, "GRD_open: GRIB files are read from files, not standard input\n");
    return -1;
  }
  for (FileState &fs : dec().files)
    if (fs.owner == &slot.rec) fs = FileState{};
  return stream_open(slot, name, access);
}

int grib_getinfo(Slot &slot, GRD_info *info) {
  const int fd = fd_of(slot);
  FILE *fp = slot.rec.file;
  rewind_state(fd, kav::grib::file_state(fd));
  slot.rec.num = 0;
  if (!seek(fp, 0) || GRIB_header(fd) < 0) {
    MESS_print(M_WARN, "GRD_getinfo: No GRIB message in %s\n", slot.name.c_str());
    seek(fp, 0);
    return -1;
  }
  // A first message that cannot be decoded leaves the date missing; its
  // read will say why.
  if (GRIB_get_info(fd, info) != 0) DATE_init(&info->date);
  seek(fp, 0);
  info->grid_type = 0;
  shared().cur_pos = 0;
  shared().new_pos = -1;
  return 0;
}

int grib_read(Slot &slot, GRD_report *grd, int rep_type, int *grdnum) {
  const int fd = fd_of(slot);
  FILE *fp = slot.rec.file;
  const int n = *grdnum;
  if (fd < 0 || !fp || n < 0) return -1;
  if (slot.rec.hfile) {
    const int r = read_indexed(slot, fd, grd, rep_type, n);
    if (r == 0)
      *grdnum = n;
    else if (r != -1 || kav::grib::file_state(fd).index_no >= n)
      slot.failed = true;
    return r;
  }
  FileState &fs = kav::grib::file_state(fd);
  // GRD_setpos left the stream where grid num + 1 begins.
  const long here = tell(fp);
  if (shared().new_pos >= 0 && here == shared().new_pos && here != fs.next_off &&
      here != fs.at_off) {
    fs.at_index = slot.rec.num + 1;
    fs.at_off = here;
    fs.at_product = 0;
  }
  if (n < fs.at_index) rewind_state(fd, fs);
  FileState &st = kav::grib::file_state(fd);
  while (st.at_index < n)
    if (!step(fd, fp, st)) {
      seek(fp, st.at_off);
      return -1;
    }
  if (locate(fd, fp, st) < 0) {
    seek(fp, st.at_off);
    return -1;
  }
  const Decoder &d = dec();
  const long start = d.env_kind == 4 ? d.msg_off : st.at_off;
  shared().cur_pos = start;
  const int r = decode(fd, grd, rep_type, st.at_product);
  const long next = GRIB_next(fd, 0);
  st.next_off = next > d.msg_off ? next : d.msg_off + 1;
  shared().new_pos = st.next_off;
  slot.rec.num = n;
  *grdnum = n;
  seek(fp, start);
  if (r != 0) {
    slot.failed = true;
    if (rep_type == 0) {
      std::free(grd->grid);
      grd->grid = nullptr;
    }
  }
  return r;
}

int grib_write(Slot &slot, GRD_report *grd, int rep_type, int *grd_num) {
  (void)rep_type;
  (void)grd_num;
  if (grd->source <= 0 || grd->source > GRIB_MAX_PRODUCT * 2) {
    MESS_print(M_WARN, "GRD_write: Bad size %d of a raw GRIB message\n", grd->source);
    return -1;
  }
  const size_t n = static_cast<size_t>(grd->source);
  std::fwrite(grd->grid, 1, n, slot.rec.file);
  return slot.out.check("GRD_write") ? 0 : -1;
}

int grib_rewind(Slot &slot) {
  const int fd = fd_of(slot);
  kav::grib::reset_file(fd);
  slot.rec.num = 0;
  if (slot.rec.hfile) std::rewind(slot.rec.hfile);
  shared().new_pos = -1;
  return seek(slot.rec.file, 0) ? 0 : -1;
}

}  // namespace kav::grd

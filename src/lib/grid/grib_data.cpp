// GRIB bit map and binary data: simple packing unpacked straight into the
// record's values, north-up and west to east, with the predefined grids'
// special rows, quasi-regular rows and the corruption watch.
#include <kav/grib.h>
#include <kav/mess.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "console/guard.hpp"
#include "grid/grib_int.hpp"

namespace kav::grib {
namespace {

constexpr float kMiss = KAV_MISSING;

// Reads packed values of bpval bits from msg between two bit offsets; a
// value that would reach past the end reads as 0 and sets `over`.
struct BitReader {
  const unsigned char *p;
  size_t size;  // octets of the buffer
  size_t pos, end;
  bool over = false;

  uint32_t get(int n) {
    if (n == 0) return 0;
    if (pos + static_cast<size_t>(n) > end) {
      over = true;
      return 0;
    }
    const size_t byte = pos >> 3;
    const unsigned off = static_cast<unsigned>(pos & 7);
    uint64_t w = 0;
    if (byte + 8 <= size) {
      for (int i = 0; i < 8; ++i) w = (w << 8) | p[byte + static_cast<size_t>(i)];
    } else {
      for (size_t i = 0; i < 8; ++i) w = (w << 8) | (byte + i < size ? p[byte + i] : 0u);
    }
    pos += static_cast<size_t>(n);
    return static_cast<uint32_t>((w << off) >> (64 - n));
  }
};

// The packed values and bit map of the current message, point by point.
struct Unpacker {
  Decoder &d;
  BitReader bits;
  double ref, step, scale;  // value = (ref + n * step) * scale
  bool watch;               // corruption watch on
  long prev = -1;

  float next() {
    if (d.bmb && !bitmap_bit()) return kMiss;
    const uint32_t n = bits.get(d.bpval);
    if (watch) check(static_cast<long>(n));
    if (d.bad) return kMiss;
    return static_cast<float>((ref + static_cast<double>(n) * step) * scale);
  }
  bool bitmap_bit() {
    if (d.bmoff >= d.bm_bits) return true;
    const size_t k = d.bmoff++;
    return (d.bmb[k >> 3] >> (7 - (k & 7))) & 1;
  }
  void check(long n) {
    const bool jump = prev >= 0 && std::labs(n - prev) > d.bad_limit;
    prev = n;
    d.valid_data[static_cast<size_t>(d.valid_pos)] = jump ? 1 : 0;
    d.valid_pos = (d.valid_pos + 1) % 20;
    if (jump) {
      int set = 0;
      for (unsigned char f : d.valid_data) set += f;
      MESS_print(0x80000000u, "BAD: %6ld %6ld %6ld %2d %2d\n", n, prev, d.bad_limit, set,
                 d.bad_max);
      if (set > d.bad_max) d.bad = true;
    }
  }
  // A whole row of count values into out[0..count-1], fast when every
  // point has a value and the watch is off.
  void row(float *out, int count) {
    if (d.bmb || watch || d.bad) {
      for (int i = 0; i < count; ++i) out[i] = next();
      return;
    }
    const float r = static_cast<float>(ref * scale), s = static_cast<float>(step * scale);
    if (d.bpval == 16 && (bits.pos & 7) == 0 && bits.pos + 16u * size_t(count) <= bits.end) {
      const unsigned char *q = bits.p + (bits.pos >> 3);
      for (int i = 0; i < count; ++i, q += 2)
        out[i] = r + static_cast<float>((unsigned(q[0]) << 8) | q[1]) * s;
      bits.pos += 16u * size_t(count);
    } else if (d.bpval == 8 && (bits.pos & 7) == 0 && bits.pos + 8u * size_t(count) <= bits.end) {
      const unsigned char *q = bits.p + (bits.pos >> 3);
      for (int i = 0; i < count; ++i) out[i] = r + static_cast<float>(q[i]) * s;
      bits.pos += 8u * size_t(count);
    } else if (d.bpval == 12 && (bits.pos & 7) == 0 && (count & 1) == 0 &&
               bits.pos + 12u * size_t(count) <= bits.end) {
      // Two values in every three octets.
      const unsigned char *q = bits.p + (bits.pos >> 3);
      for (int i = 0; i < count; i += 2, q += 3) {
        out[i] = r + static_cast<float>((unsigned(q[0]) << 4) | (q[1] >> 4)) * s;
        out[i + 1] = r + static_cast<float>((unsigned(q[1] & 0x0F) << 8) | q[2]) * s;
      }
      bits.pos += 12u * size_t(count);
    } else if (d.bpval > 0 && bits.pos + size_t(d.bpval) * size_t(count) <= bits.end) {
      // A running accumulator: whole octets in, bpval bits out.
      // Each value from the eight octets that hold it, while eight can be
      // loaded inside the buffer; the rest through get().
      const int n = d.bpval;
      const uint64_t mask = (uint64_t{1} << n) - 1;
      const size_t base = bits.pos;
      int i = 0;
      for (; i < count; ++i) {
        const size_t b = base + size_t(i) * size_t(n);
        if ((b >> 3) + 8 > bits.size) break;
        uint64_t w;
        std::memcpy(&w, bits.p + (b >> 3), 8);
        w = __builtin_bswap64(w);
        out[i] = r + static_cast<float>((w >> (64 - n - int(b & 7))) & mask) * s;
      }
      bits.pos = base + size_t(i) * size_t(n);
      for (; i < count; ++i) out[i] = r + static_cast<float>(bits.get(n)) * s;
    } else {
      for (int i = 0; i < count; ++i) out[i] = r + static_cast<float>(bits.get(d.bpval)) * s;
    }
  }
};

// Values stored for each row of the file, in file order, and how a row
// becomes a grid row.
enum class RowKind { Full, Pole, WrapFirst, Grid50, Thin };
struct RowPlan {
  RowKind kind;
  int count;  // values stored
  int row;    // grid row (0 at the top)
  int pad;    // grid 50: missing points at each end
};

std::vector<RowPlan> plan_rows(Decoder &d, const Domain &dom) {
  std::vector<RowPlan> plan;
  const int nx = dom.nx, ny = dom.ny;
  if (d.grid_id == 50 && !d.gds) {
    for (int f = 0; f < ny; ++f) {
      const int r = ny - 1 - f;
      const int k = r >= 1 ? (r - 1) / 4 : 0;
      const int count = std::max(0, nx - 2 * k);
      plan.push_back({RowKind::Grid50, count, r, k});
    }
    return plan;
  }
  float lat = d.lat;
  for (int j = 0; j < ny; ++j) {
    const int r = d.ydir < 0 ? j : ny - 1 - j;
    if (d.thin) {
      plan.push_back({RowKind::Thin, d.thin_ptr[static_cast<size_t>(j)], r, 0});
    } else if (d.pole && !d.gds && std::fabs(std::fabs(lat) - 90.0f) < 1e-3f) {
      plan.push_back({RowKind::Pole, 1, r, 0});
    } else if (!d.gds && (d.grid_id == 25 || d.grid_id == 26)) {
      plan.push_back({RowKind::WrapFirst, nx - 1, r, 0});
    } else {
      plan.push_back({RowKind::Full, nx, r, 0});
    }
    lat += static_cast<float>(d.ydir) * dom.dy;
  }
  return plan;
}

// Stretches c values to n points by linear interpolation.
void stretch(const float *in, int c, float *out, int n) {
  if (c <= 0) {
    std::fill(out, out + n, kMiss);
    return;
  }
  const double s = n > 1 ? static_cast<double>(c - 1) / (n - 1) : 0.0;
  for (int i = 0; i < n; ++i) {
    const double p = s * i;
    int k = static_cast<int>(p);
    if (k > c - 1) k = c - 1;
    const int k2 = k + 1 < c ? k + 1 : k;
    const float f = static_cast<float>(p - k);
    const float a = in[k], b = in[k2];
    out[i] = (a == kMiss || b == kMiss) ? kMiss : (1 - f) * a + f * b;
  }
}

int refuse(const char *why, long value) {
  MESS_print(M_WARN, "GRIB_BDB: %s: %ld\n", why, value);
  return GRIB_REJECT;
}

}  // namespace
}  // namespace kav::grib

using namespace kav::grib;

extern "C" {

int GRIB_set_max_bad(int val) KAV_NOEXCEPT {
  Decoder &d = dec();
  d.bad_max = val > 0 ? val : 0;
  if (val > 0 && !d.bad_test) d.bad_test = true;
  return 0;
}

static int grib_bmb_body(int grd_fd) {
  Decoder &d = dec();
  d.bmb = nullptr;
  d.bm_bits = d.bmoff = 0;
  const int r = load_message(grd_fd, "GRIB_BMB");
  if (r != GRIB_OK) return r;
  if (d.mark != Mark::Grib || d.version > 1) return GRIB_REJECT;
  if (!d.bms) return GRIB_OK;
  const unsigned char *b = d.msg.data() + d.bms;
  MESS_print(0x40000000u, "Bit Map section\n");
  if (u2(b + 4) != 0) {
    MESS_print(M_WARN, "GRIB_BMB: Predefined bit map %u is not available\n", u2(b + 4));
    return GRIB_REJECT;
  }
  const size_t bits = (d.bms_len - 6) * 8;
  const size_t unused = b[3];
  d.bmb = b + 6;
  d.bm_bits = unused < bits ? bits - unused : 0;
  return GRIB_OK;
}

int GRIB_BMB(int grd_fd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_BMB", GRIB_FAIL, [&] { return grib_bmb_body(grd_fd); });
}

int GRIB_BMB_read(void) KAV_NOEXCEPT {
  Decoder &d = dec();
  if (!d.bmb || d.bmoff >= d.bm_bits) return 1;
  const size_t k = d.bmoff++;
  return (d.bmb[k >> 3] >> (7 - (k & 7))) & 1;
}

long GRIB_bit_read(int grd_fd) KAV_NOEXCEPT {
  (void)grd_fd;
  Decoder &d = dec();
  if (!d.loaded || d.bit_pos + static_cast<size_t>(d.bpval) > d.bit_end) return -1;
  BitReader br{d.msg.data(), d.msg.size(), d.bit_pos, d.bit_end};
  const uint32_t v = br.get(d.bpval);
  d.bit_pos = br.pos;
  return static_cast<long>(v);
}

static int grib_bdb_body(int grd_fd, GRD_report *grd) {
  if (!grd) return GRIB_FAIL;
  const int r = load_message(grd_fd, "GRIB_BDB");
  if (r != GRIB_OK) return r;
  Decoder &d = dec();
  if (d.mark != Mark::Grib || d.version > 1 || !d.bds) return GRIB_REJECT;
  const unsigned char *b = d.msg.data() + d.bds;
  const int flag = b[3];
  if (flag & 0x80) return refuse("Spherical-harmonic data are not decoded, flag", flag);
  if (flag & 0x50) return refuse("Complex or second-order packing is not decoded, flag", flag);
  d.sfac = scale_double(b + 4);
  d.ref = ibm_double(b + 6);
  d.bpval = b[10];
  MESS_print(0x40000000u, "Decimal Scale factor: %f\nScale factor: %f\nReference value: %f\n",
             d.dscale, d.sfac, d.ref);
  MESS_print(0x40000000u, "Bits per value: %d\n", d.bpval);
  if (d.bpval > 32) return refuse("More than 32 bits per value", d.bpval);
  d.bmoff = 0;
  d.bit_pos = (d.bds + 11) * 8;
  const size_t unused = static_cast<size_t>(flag & 0x0F);
  d.bit_end = (d.bds + d.bds_len) * 8 - std::min(unused, (d.bds_len - 11) * 8);

  const Domain &dom = grd->domain;
  const int nx = dom.nx, ny = dom.ny;
  if (nx <= 0 || ny <= 0 || static_cast<long long>(nx) * ny > GRD_MAX_POINTS)
    return refuse("No grid size for the values, nx", nx);
  if (d.by_columns && (d.thin || d.pole || d.grid_id == 50))
    return refuse("Column-wise storage of a special grid, grid", d.grid_id);
  if (d.thin && static_cast<int>(d.thin_ptr.size()) != ny)
    return refuse("Row counts do not match the rows", static_cast<long>(d.thin_ptr.size()));
  const std::vector<RowPlan> plan = plan_rows(d, dom);
  size_t stored = 0;
  for (const RowPlan &p : plan) stored += static_cast<size_t>(p.count);
  // Every point needs its bit, every value its bits.
  size_t values = stored;
  if (d.bmb) {
    if (d.bm_bits < stored) return refuse("Bit map shorter than the points", long(d.bm_bits));
    values = 0;
    for (size_t k = 0; k < stored; ++k)
      values += static_cast<size_t>((d.bmb[k >> 3] >> (7 - (k & 7))) & 1);
  }
  if (d.bpval > 0 && values > (d.bit_end - d.bit_pos) / static_cast<size_t>(d.bpval))
    return refuse("Too few packed values for the points", static_cast<long>(values));

  const size_t total = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  // The old array is given up here (reused when it has the room).
  // Held here until it is handed over, so that a failure on the way frees it.
  std::unique_ptr<float, decltype(&std::free)> held(
      static_cast<float *>(std::realloc(grd->grid, total * sizeof(float))), &std::free);
  float *grid = held.get();
  if (grid) grd->grid = nullptr;
  if (!grid) {
    MESS_print(M_WARN, "GRIB_BDB: No memory for %lu values\n", static_cast<unsigned long>(total));
    return GRIB_REJECT;
  }
  // Corruption watch.
  const bool watch = d.bad_max > 0;

  d.bad = false;
  if (watch) {
    const bool first = d.bad_test;
    d.bad_test = false;
    const int lt = grd->ltype;
    const int shift = (first && (lt == 6 || lt == 7 || lt >= 90)) ? d.bpval : d.bpval - 1;
    d.bad_limit = shift > 0 ? (1L << shift) : 1;
    d.valid_data.fill(0);
    d.valid_pos = 0;
    MESS_print(0x40000000u, "Bad limit value: %ld\n", d.bad_limit);
  }
  Unpacker u{d,        BitReader{d.msg.data(), d.msg.size(), d.bit_pos, d.bit_end},
             d.ref,    d.sfac,
             d.dscale, watch};

  if (d.by_columns) {
    // Adjacent points run along j: stored column by column.
    for (int i_s = 0; i_s < nx; ++i_s) {
      const int col = d.xdir > 0 ? i_s : nx - 1 - i_s;
      for (int j_s = 0; j_s < ny; ++j_s) {
        const int row = d.ydir < 0 ? j_s : ny - 1 - j_s;
        grid[static_cast<size_t>(row) * size_t(nx) + size_t(col)] = u.next();
      }
    }
  } else {
    std::vector<float> tmp(static_cast<size_t>(nx) + 1);
    for (const RowPlan &p : plan) {
      float *out = grid + static_cast<size_t>(p.row) * static_cast<size_t>(nx);
      switch (p.kind) {
        case RowKind::Full:
          u.row(out, nx);
          break;
        case RowKind::Pole:
          std::fill(out, out + nx, u.next());
          break;
        case RowKind::WrapFirst:
          u.row(out, nx - 1);
          out[nx - 1] = out[0];
          break;
        case RowKind::Grid50:
          std::fill(out, out + nx, kMiss);
          u.row(out + p.pad, p.count);
          break;
        case RowKind::Thin: {
          tmp.resize(static_cast<size_t>(std::max(p.count, 1)));
          u.row(tmp.data(), p.count);
          stretch(tmp.data(), p.count, out, nx);
          break;
        }
      }
      if (d.xdir < 0) std::reverse(out, out + nx);
    }
  }
  d.bit_pos = u.bits.pos;
  d.thin_ptr.clear();
  grd->grid = held.release();
  return GRIB_OK;
}

int GRIB_BDB(int grd_fd, GRD_report *grd) KAV_NOEXCEPT {
  return kav::guarded("GRIB_BDB", GRIB_FAIL, [&] { return grib_bdb_body(grd_fd, grd); });
}

}  // extern "C"

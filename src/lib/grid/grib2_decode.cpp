// GRIB edition 2: the section loop over a whole message held in memory,
// several products per message, and each product made into a GRD_report:
// identification, grid, product keys, then the values unpacked by their data
// template and laid out north-up by the bit map and the scanning mode.
#include <kav/date.h>
#include <kav/grib.h>
#include <kav/mess.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "grid/grib2_int.hpp"
#include "grid/grib2_tmpl.hpp"
#include "grid/grib_int.hpp"

namespace kav::grib2 {
namespace {

constexpr M_type kTrace = 0x40000000u;

// The decoder's own state: the work space it reuses and what was last said
// about a skipped grid (said once per message).
struct State {
  std::vector<float> rows;    // quasi-regular rows before they are stretched
  std::vector<float> order;   // values in stored order for a general scan
  size_t skipped_len = 0;     // length of the message last reported skipped
  uint64_t skipped_hash = 0;  // and a hash of its octets
};

State &state() {
  static State s;
  return s;
}

uint64_t hash_of(const unsigned char *p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

}  // namespace

int decode_values(const Found &f, const Grid &g, GRD_report *grd) {
  State &st = state();
  const Sect &s5 = f.s5;
  if (!s5.has(11)) {
    MESS_print(M_WARN, "GRIB_DRS: Data representation section of %lu octets is too short\n",
               static_cast<unsigned long>(s5.len));
    return GRIB_REJECT;
  }
  const int tmpl = static_cast<int>(s5.u2(10));
  const DataTemplate *dt = find_data(tmpl);
  if (!dt) {
    MESS_print(M_WARN, "GRIB_DRS: Data representation template 5.%d is not decoded\n", tmpl);
    return GRIB_REJECT;
  }
  MESS_print(kTrace, "%s\n", dt->name);
  const size_t npacked = s5.u4(6);
  const size_t npts = static_cast<size_t>(g.npts);
  // The bit map of the product.
  if (f.s6.p && !f.s6.has(6)) {
    MESS_print(M_WARN, "GRIB_BMS: Bit-map section of %lu octets is too short\n",
               static_cast<unsigned long>(f.s6.len));
    return GRIB_REJECT;
  }
  const unsigned ind = f.s6.p ? f.s6.u1(6) : 255u;
  const unsigned char *bm = nullptr;
  if (ind == 254) {
    if (!f.bitmap.p) {
      MESS_print(M_WARN, "GRIB_BMS: Bit map 254 refers to no earlier bit map\n");
      return GRIB_REJECT;
    }
    bm = f.bitmap.at(7);
    MESS_print(kTrace, "BMS reuse: %d %d %d\n", int(ind), int(f.bitmap.len), int(npts));
  } else if (ind == 0) {
    bm = f.s6.at(7);
  } else if (ind != 255) {
    MESS_print(M_WARN, "GRIB_BMS: Predefined bit map %u is not available\n", ind);
    return GRIB_REJECT;
  }
  if (bm) {
    const Sect &b = ind == 254 ? f.bitmap : f.s6;
    if ((b.len - 6) * 8 < npts) {
      MESS_print(M_WARN, "GRIB_BMS: Bit map of %lu bits is shorter than the %lu points\n",
                 static_cast<unsigned long>((b.len - 6) * 8), static_cast<unsigned long>(npts));
      return GRIB_REJECT;
    }
    size_t set = 0;
    for (size_t k = 0; k < npts / 8; ++k) set += static_cast<size_t>(__builtin_popcount(bm[k]));
    for (size_t k = npts & ~size_t{7}; k < npts; ++k)
      set += (static_cast<unsigned>(bm[k >> 3]) >> (7 - (k & 7))) & 1u;
    if (set != npacked) {
      MESS_print(M_WARN, "GRIB_BMS: Bit map marks %lu points for %lu values\n",
                 static_cast<unsigned long>(set), static_cast<unsigned long>(npacked));
      return GRIB_REJECT;
    }
    MESS_print(kTrace, "BMS: %d %d %d\n", int(ind), int(b.len), int(npts));
  } else if (npacked != npts) {
    MESS_print(M_WARN, "GRIB_DS: %lu values for a grid of %lu points\n",
               static_cast<unsigned long>(npacked), static_cast<unsigned long>(npts));
    return GRIB_REJECT;
  }
  const int nx = g.dom.nx, ny = g.dom.ny;
  const size_t cells = static_cast<size_t>(nx) * static_cast<size_t>(ny);
  const bool thin = !g.rows.empty();
  float *grid = static_cast<float *>(std::malloc(cells * sizeof(float)));
  if (!grid) {
    MESS_print(M_WARN, "GRIB_DS: No memory for %lu values\n", static_cast<unsigned long>(cells));
    return GRIB_REJECT;
  }
  // Values in stored order: into the record's array, or the row buffer of a
  // quasi-regular grid.
  float *v = grid;
  if (thin) {
    try {
      st.rows.resize(npts);
    } catch (const std::bad_alloc &) {
      std::free(grid);
      return GRIB_REJECT;
    }
    v = st.rows.data();
  }
  DataJob job{f.s5, f.s7, npacked, v};
  if (f.s7.len < 5 || dt->decode(job) != 0) {
    std::free(grid);
    return GRIB_REJECT;
  }
  // Bit map: spread the packed values over the points, from the last down
  // so that no value is overwritten before it is moved.
  if (bm) {
    size_t src = npacked;
    for (size_t k = npts; k-- > 0;) {
      if ((k & 7) == 7 && k >= 7 && bm[k >> 3] == 0) {  // eight points without data
        for (int b = 0; b < 8; ++b) v[k - static_cast<size_t>(b)] = kMiss;
        k -= 7;
        continue;
      }
      v[k] = ((static_cast<unsigned>(bm[k >> 3]) >> (7 - (k & 7))) & 1u) ? v[--src] : kMiss;
    }
  }
  const int scan = g.scan;
  const bool xneg = (scan & 0x80) != 0, ypos = (scan & 0x40) != 0, bycol = (scan & 0x20) != 0,
             alt = (scan & 0x10) != 0;
  if (thin) {
    // Quasi-regular rows stretched to nx points by linear interpolation.
    size_t at = 0;
    for (int j = 0; j < ny; ++j) {
      const int c = g.rows[static_cast<size_t>(j)];
      const float *r = v + at;
      at += static_cast<size_t>(c);
      const int y = ypos ? ny - 1 - j : j;
      float *out = grid + static_cast<size_t>(y) * static_cast<size_t>(nx);
      const bool back = xneg != (alt && (j & 1));
      for (int i = 0; i < nx; ++i) {
        float val = kMiss;
        if (c == 0) {
        } else if (c == 1 || nx == 1) {
          val = r[0];
        } else {
          // Position of column i in the row: stretched over the row's span,
          // or, on a full circle, at its own mesh (the last point joins the
          // first).
          const double t = g.circle ? static_cast<double>(i) * c / nx
                                    : static_cast<double>(i) * (c - 1) / (nx - 1);
          int i0 = static_cast<int>(t);
          if (i0 > c - 1) i0 = c - 1;
          const double fr = t - i0;
          const float a = r[i0], b = r[i0 + 1 < c ? i0 + 1 : (g.circle ? 0 : i0)];
          if (fr < 1e-9)
            val = a;
          else if (a == kMiss || b == kMiss)
            val = fr < 0.5 ? a : b;
          else
            val = static_cast<float>(a + (b - a) * fr);
        }
        out[back ? nx - 1 - i : i] = val;
      }
    }
  } else if (!bycol && !alt) {
    // Rows as stored: turn them north-up and west to east in place.
    const size_t w = static_cast<size_t>(nx);
    if (ypos)
      for (int j = 0; j < ny / 2; ++j)
        std::swap_ranges(grid + static_cast<size_t>(j) * w, grid + static_cast<size_t>(j + 1) * w,
                         grid + static_cast<size_t>(ny - 1 - j) * w);
    if (xneg)
      for (int j = 0; j < ny; ++j)
        std::reverse(grid + static_cast<size_t>(j) * w, grid + static_cast<size_t>(j + 1) * w);
  } else {
    try {
      st.order.assign(grid, grid + cells);
    } catch (const std::bad_alloc &) {
      std::free(grid);
      return GRIB_REJECT;
    }
    const size_t line_len = static_cast<size_t>(bycol ? ny : nx);
    for (size_t k = 0; k < cells; ++k) {
      const size_t line = k / line_len;
      size_t along = k % line_len;
      if (alt && (line & 1)) along = line_len - 1 - along;
      const size_t is = bycol ? line : along, js = bycol ? along : line;
      const size_t x = xneg ? static_cast<size_t>(nx) - 1 - is : is;
      const size_t y = ypos ? static_cast<size_t>(ny) - 1 - js : js;
      grid[x + static_cast<size_t>(nx) * y] = st.order[k];
    }
  }
  std::free(grd->grid);
  grd->grid = grid;
  return 0;
}

int decode_ids(const Sect &s1, int discipline, GRD_report *grd, ProductContext &ctx) {
  if (!s1.p || !s1.has(21)) {
    MESS_print(M_WARN, "GRIB_IDS: Message without its identification section\n");
    return GRIB_REJECT;
  }
  ctx.centre = static_cast<int>(s1.u2(6));
  ctx.discipline = discipline;
  ctx.ref_year = static_cast<int>(s1.u2(13));
  ctx.ref_month = static_cast<int>(s1.u1(15));
  ctx.ref_day = static_cast<int>(s1.u1(16));
  ctx.ref_hour = static_cast<int>(s1.u1(17));
  ctx.ref_min = static_cast<int>(s1.u1(18));
  grd->version = 2;
  grd->source = ctx.centre;
  grd->type = 0;
  Date &date = grd->date;
  DATE_init(&date);
  date.year = ctx.ref_year;
  date.month = ctx.ref_month;
  date.day = ctx.ref_day;
  date.hour = ctx.ref_hour;
  date.min = ctx.ref_min;
  date.sec = 0;
  if (date.month >= 1 && date.month <= 12 && date.day >= 1 && date.day <= 31) {
    const int days = DATE_date_days(date.year, date.month, date.day);
    date.jday = days - DATE_date_days(date.year, 1, 1) + 1;
    date.wday = ((days - 1) % 7 + 7 + 4) % 7;  // 1 January 1970 was a Thursday
  } else {
    date.jday = date.wday = KAV_IMISSING;
  }
  return 0;
}

int decode_grid(const Sect &s3, Grid &g) {
  g = Grid{};
  DOM_init(&g.dom);
  if (!s3.has(14)) {
    MESS_print(M_WARN, "GRIB_GDS: Product without a grid definition\n");
    return GRIB_REJECT;
  }
  const int gt = static_cast<int>(s3.u2(13));
  MESS_print(kTrace, "GDS: %d\n", gt);
  const GridTemplate *gtp = find_grid(gt);
  if (!gtp) {
    MESS_print(M_WARN, "GRIB_GDS: Grid definition template 3.%d is not decoded\n", gt);
    return GRIB_REJECT;
  }
  if (gtp->decode(s3, g) != 0) return GRIB_REJECT;
  g.tmpl = gt;
  if (s3.u4(7) != static_cast<uint32_t>(g.npts)) {
    MESS_print(M_WARN, "GRIB_GDS: Grid of %ld points states %lu data points\n", g.npts,
               static_cast<unsigned long>(s3.u4(7)));
    return GRIB_REJECT;
  }
  return 0;
}

int decode_keys(const Sect &s4, const ProductContext &ctx, GRD_report *grd) {
  using kav::grib::Decoder;
  if (!s4.p || !s4.has(11)) {
    MESS_print(M_WARN, "GRIB_PDS: Product definition section too short\n");
    return GRIB_REJECT;
  }
  Product pr;
  pr.tmpl = static_cast<int>(s4.u2(8));
  const ProductTemplate *ptp = find_product(pr.tmpl);
  if (ptp) {
    MESS_print(kTrace, "4.%d: %s\n", pr.tmpl, ptp->name);
    if (ptp->decode(s4, ctx, pr) != 0) return GRIB_REJECT;
  } else {
    // The keys no template gives stay missing rather than the last product's.
    MESS_print(M_WARN, "GRIB_PDS: Product definition template 4.%d is not decoded; keys missing\n",
               pr.tmpl);
    pr.var = param_var(ctx.centre, ctx.discipline, static_cast<int>(s4.u1(10)),
                       static_cast<int>(s4.u1(11)), pr.units, sizeof pr.units);
  }
  grd->version = 2;
  grd->source = ctx.centre;
  grd->model = pr.model;
  grd->ltype = pr.ltype;
  grd->level = pr.level;
  grd->time = pr.time;
  grd->var = pr.var;
  put(grd->units, sizeof grd->units, pr.units);
  Decoder &d = kav::grib::dec();
  d.ens = pr.ens;
  d.ens_type = pr.ens_type;
  d.ens_id = pr.ens_id;
  d.ens_prod = pr.ens_prod;
  d.ens_smooth = 0;
  d.ens_prob_var = pr.ens_prob_var;
  d.ens_prob_type = pr.ens_prob_type;
  d.ens_prob_low = pr.ens_prob_low;
  d.ens_prob_up = pr.ens_prob_up;
  GRIB_set_var(grd);
  char label[DATE_LABEL_LEN] = "";
  DATE_make_label_for_time(grd->time, grd->source * 1000 + grd->model, &grd->date, label);
  put(grd->datim, sizeof grd->datim, label);
  return 0;
}

namespace {

// Decodes one product into grd. 0 or GRIB_REJECT.
int decode_product(const Found &f, int discipline, GRD_report *grd, int rep_type) {
  ProductContext ctx;
  Grid g;
  if (decode_ids(f.s1, discipline, grd, ctx) != 0 || decode_grid(f.s3, g) != 0) return GRIB_REJECT;
  grd->domain = g.dom;
  if (decode_keys(f.s4, ctx, grd) != 0) return GRIB_REJECT;
  grd->type = g.type;
  if (rep_type != 0) return 0;  // 1 and 2: the header only, as GRD_read reads
  if (!f.s5.p || !f.s7.p) return GRIB_REJECT;
  return decode_values(f, g, grd);
}

}  // namespace
}  // namespace kav::grib2

using namespace kav::grib2;

int kav_grib2_decode(const unsigned char *msg, size_t len, int product, GRD_report *grd,
                     int rep_type) {
  if (!msg || len < 16 + 4 || std::memcmp(msg, "GRIB", 4) != 0 || msg[7] != 2) return GRIB_FAIL;
  if (std::memcmp(msg + len - 4, "7777", 4) != 0) {
    MESS_print(M_WARN, "GRIB_read_section: Message of %lu octets does not end with 7777\n",
               static_cast<unsigned long>(len));
    return GRIB_REJECT;
  }
  const int discipline = msg[6];
  const size_t end = len - 4;
  size_t pos = 16;
  Found f;
  int count = 0;
  int result = -1;  // the wanted product's result, -1 not met
  bool said_skip = false;
  int last = 0;  // number of the section before
  while (pos < end) {
    if (end - pos < 5) {
      MESS_print(M_WARN, "GRIB_read_section: Section cut at octet %lu of the message\n",
                 static_cast<unsigned long>(pos));
      return GRIB_REJECT;
    }
    const unsigned char *p = msg + pos;
    const size_t slen = (size_t(p[0]) << 24) | (size_t(p[1]) << 16) | (size_t(p[2]) << 8) | p[3];
    const int sect = p[4];
    if (slen < 5 || slen > end - pos || sect < 1 || sect > 7) {
      MESS_print(M_WARN, "GRIB_read_section: Bad section %d of %lu octets at octet %lu\n", sect,
                 static_cast<unsigned long>(slen), static_cast<unsigned long>(pos));
      return GRIB_REJECT;
    }
    MESS_print(kTrace, "SECT: %d %d\n", sect, static_cast<int>(slen));
    const Sect s{p, slen};
    switch (sect) {
      case 1:
        f.s1 = s;
        break;
      case 3:
        f.s3 = s;
        f.bitmap = Sect{};  // a bit map belongs to its grid
        break;
      case 4:
        f.s4 = s;
        f.s5 = f.s6 = f.s7 = Sect{};
        break;
      case 5:
        f.s5 = s;
        break;
      case 6:
        f.s6 = s;
        if (s.has(6) && s.u1(6) == 0) f.bitmap = s;
        break;
      case 7: {
        f.s7 = s;
        const int gt = f.s3.has(14) ? static_cast<int>(f.s3.u2(13)) : -1;
        if (!f.s3.p || !f.s4.p || !f.s5.p) {
          MESS_print(M_WARN, "GRIB_DS: Data section without its definitions at octet %lu\n",
                     static_cast<unsigned long>(pos));
        } else if (!find_grid(gt)) {
          // Products on grids that are not decoded are passed over.
          State &st = state();
          const uint64_t h = hash_of(f.s3.p, f.s3.len);
          if (!said_skip && (st.skipped_len != len || st.skipped_hash != h)) {
            MESS_print(M_WARN,
                       "GRIB_GDS: Grid definition template 3.%d is not decoded; product skipped\n",
                       gt);
            st.skipped_len = len;
            st.skipped_hash = h;
          }
          said_skip = true;
        } else {
          if (grd && count == product) result = decode_product(f, discipline, grd, rep_type);
          ++count;
        }
        break;
      }
      default:
        break;  // 2: local use
    }
    last = sect;
    pos += slen;
  }
  if (count == 0 && !said_skip && last != 7) MESS_print(0xC0u, "No product found\n");
  if (grd && product < count && result != 0) return result < 0 ? result : GRIB_REJECT;
  return count;
}

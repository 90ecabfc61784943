#include "gribbuild.h"

#include <cmath>
#include <cstdlib>

namespace kavtest {
namespace {

void put(std::string &m, uint32_t v, int n) {
  for (int i = n - 1; i >= 0; --i) m.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void put_sm(std::string &m, int v, int n) {  // sign and magnitude
  uint32_t mag = static_cast<uint32_t>(std::abs(v));
  if (v < 0) mag |= 1u << (8 * n - 1);
  put(m, mag, n);
}
void set3(std::string &m, size_t at, size_t v) {
  m[at] = static_cast<char>((v >> 16) & 0xFF);
  m[at + 1] = static_cast<char>((v >> 8) & 0xFF);
  m[at + 2] = static_cast<char>(v & 0xFF);
}

}  // namespace

void ibm_float(double v, uint8_t out[4]) {
  if (v == 0) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return;
  }
  const bool neg = v < 0;
  double a = std::fabs(v);
  int e = 64;
  while (a >= 1) {
    a /= 16;
    ++e;
  }
  while (a < 1.0 / 16) {
    a *= 16;
    --e;
  }
  uint32_t frac = static_cast<uint32_t>(a * 16777216.0);
  if (frac > 0xFFFFFF) frac = 0xFFFFFF;
  out[0] = static_cast<uint8_t>((neg ? 0x80 : 0) | e);
  out[1] = static_cast<uint8_t>(frac >> 16);
  out[2] = static_cast<uint8_t>(frac >> 8);
  out[3] = static_cast<uint8_t>(frac);
}

std::string build_grib(const GribSpec &s) {
  std::string m = "GRIB";
  if (s.edition == 1) put(m, 0, 3), put(m, 1, 1);
  // Product definition.
  const size_t pds = m.size();
  put(m, static_cast<uint32_t>(s.pds_len), 3);
  put(m, static_cast<uint32_t>(s.table), 1);
  put(m, static_cast<uint32_t>(s.centre), 1);
  put(m, static_cast<uint32_t>(s.process), 1);
  put(m, static_cast<uint32_t>(s.grid_id), 1);
  put(m, (s.gds ? 0x80u : 0u) | (!s.bitmap.empty() || s.bitmap_table ? 0x40u : 0u), 1);
  put(m, static_cast<uint32_t>(s.param), 1);
  put(m, static_cast<uint32_t>(s.ltype), 1);
  put(m, static_cast<uint32_t>(s.level), 2);
  for (int v : {s.year, s.month, s.day, s.hour, s.minute, s.unit, s.p1, s.p2, s.range})
    put(m, static_cast<uint32_t>(v), 1);
  put(m, 0, 2);  // N
  put(m, 0, 1);  // missing in averages
  if (s.pds_len >= 25) put(m, static_cast<uint32_t>(s.century), 1);
  if (s.pds_len >= 26) put(m, static_cast<uint32_t>(s.subcentre), 1);
  if (s.pds_len >= 28) put_sm(m, s.dscale, 2);
  for (int k = 29; k <= s.pds_len; ++k) {
    const size_t e = static_cast<size_t>(k - 41);
    m.push_back(k >= 41 && e < s.pds_extra.size() ? static_cast<char>(s.pds_extra[e]) : 0);
  }
  m.resize(pds + static_cast<size_t>(s.pds_len));
  // Grid description.
  if (s.gds) {
    const size_t g = m.size();
    const size_t fixed = (s.rep == 1 || s.rep == 3) ? 42 : 32;
    const bool lists = !s.pv.empty() || !s.rows.empty();
    put(m, 0, 3);
    put(m, static_cast<uint32_t>(s.pv.size()), 1);
    put(m, lists ? static_cast<uint32_t>(fixed + 1) : 255u, 1);
    put(m, static_cast<uint32_t>(s.rep), 1);
    put(m, static_cast<uint32_t>(s.ni), 2);
    put(m, static_cast<uint32_t>(s.nj), 2);
    put_sm(m, s.la1, 3);
    put_sm(m, s.lo1, 3);
    put(m, static_cast<uint32_t>(s.res), 1);
    if (s.rep == 0) {
      put_sm(m, s.la2, 3);
      put_sm(m, s.lo2, 3);
      put(m, static_cast<uint32_t>(s.di), 2);
      put(m, static_cast<uint32_t>(s.dj), 2);
      put(m, static_cast<uint32_t>(s.scan), 1);
    } else if (s.rep == 1) {
      put_sm(m, s.la2, 3);
      put_sm(m, s.lo2, 3);
      put_sm(m, 0, 3);
      put(m, 0, 1);
      put(m, static_cast<uint32_t>(s.scan), 1);
      put(m, static_cast<uint32_t>(s.dxm), 3);
      put(m, static_cast<uint32_t>(s.dym), 3);
    } else {
      put_sm(m, s.lov, 3);
      put(m, static_cast<uint32_t>(s.dxm), 3);
      put(m, static_cast<uint32_t>(s.dym), 3);
      put(m, static_cast<uint32_t>(s.centre_flag), 1);
      put(m, static_cast<uint32_t>(s.scan), 1);
      if (s.rep == 3) {
        put_sm(m, s.latin1, 3);
        put_sm(m, s.latin2, 3);
      }
    }
    m.resize(g + fixed);
    for (float v : s.pv) {
      uint8_t b[4];
      ibm_float(v, b);
      m.append(reinterpret_cast<const char *>(b), 4);
    }
    for (int c : s.rows) put(m, static_cast<uint32_t>(c), 2);
    set3(m, g, m.size() - g);
  }
  // Bit map.
  if (!s.bitmap.empty() || s.bitmap_table) {
    const size_t b = m.size();
    const size_t octets = (s.bitmap.size() + 7) / 8;
    put(m, 0, 3);
    put(m, static_cast<uint32_t>(octets * 8 - s.bitmap.size()), 1);
    put(m, static_cast<uint32_t>(s.bitmap_table), 2);
    std::string bits(octets, '\0');
    for (size_t k = 0; k < s.bitmap.size(); ++k)
      if (s.bitmap[k]) bits[k / 8] = static_cast<char>(bits[k / 8] | (0x80 >> (k % 8)));
    m += bits;
    set3(m, b, m.size() - b);
  }
  // Binary data.
  const size_t d = m.size();
  put(m, 0, 3);
  const size_t nbits = s.codes.size() * static_cast<size_t>(s.bits);
  size_t octets = (nbits + 7) / 8;
  if ((11 + octets) % 2) ++octets;
  put(m, static_cast<uint32_t>(s.bds_flag | static_cast<int>(octets * 8 - nbits)), 1);
  put_sm(m, s.binary_scale, 2);
  uint8_t r[4];
  ibm_float(s.ref, r);
  m.append(reinterpret_cast<const char *>(r), 4);
  put(m, static_cast<uint32_t>(s.bits), 1);
  std::string packed(octets, '\0');
  size_t pos = 0;
  for (uint32_t c : s.codes)
    for (int b = s.bits - 1; b >= 0; --b, ++pos)
      if ((c >> b) & 1) packed[pos / 8] = static_cast<char>(packed[pos / 8] | (0x80 >> (pos % 8)));
  m += packed;
  if (s.cut_bds > 0 && static_cast<size_t>(s.cut_bds) < packed.size())
    m.resize(m.size() - static_cast<size_t>(s.cut_bds));
  set3(m, d, m.size() - d);
  m += "7777";
  if (s.edition == 1) set3(m, 4, m.size());
  return m;
}

}  // namespace kavtest

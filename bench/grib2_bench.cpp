// Decoding a GRIB 2 field of 1440 x 721 points (a quarter-degree global
// latitude/longitude grid) in each packing, beside ecCodes decoding the same
// message from memory. The messages are made with ecCodes (packing types
// grid_simple, grid_complex, grid_complex_spatial_differencing, grid_jpeg,
// grid_ccsds; a bit map marking a third of the points missing); without
// ecCodes only simple packing is measured, on a message built here.
#include <benchmark/benchmark.h>
#include <kav/grd_read.h>
#include <kav/mess.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "grid/grib2_int.hpp"

#ifdef KAV_HAVE_ECCODES
#include <eccodes.h>
#endif

namespace {

constexpr int kNx = 1440, kNy = 721;
constexpr double kMissing = 9999.0;

// Cases by number: packing and whether a bit map is present.
struct Case {
  const char *packing;
  bool bitmap;
};
constexpr Case kCases[] = {
    {"grid_simple", false},
    {"grid_simple", true},
    {"grid_complex", false},
    {"grid_complex_spatial_differencing", false},
    {"grid_complex_spatial_differencing", true},
    {"grid_jpeg", false},
    {"grid_ccsds", false},
};

std::vector<double> values(bool bitmap) {
  std::vector<double> v(size_t(kNx) * kNy);
  for (int j = 0; j < kNy; ++j)
    for (int i = 0; i < kNx; ++i) {
      const size_t k = size_t(j) * kNx + size_t(i);
      v[k] = 250 + 40 * std::sin(i * 0.01) * std::cos(j * 0.02) + 0.1 * ((i * 7 + j * 3) % 11);
      if (bitmap && std::sin(i * 0.013) * std::cos(j * 0.017) > 0.3) v[k] = kMissing;
    }
  return v;
}

#ifndef KAV_HAVE_ECCODES
// Big-endian helpers for the message built without ecCodes.
void be(std::string &s, uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Simple packing at 16 bits, sections 0-8, by hand.
std::string simple_by_hand() {
  const std::vector<double> v = values(false);
  std::string s1, s3, s4, s5, s7;
  be(s1, 21, 4), be(s1, 1, 1), be(s1, 98, 2), be(s1, 0, 2), be(s1, 4, 1), be(s1, 0, 1),
      be(s1, 1, 1), be(s1, 2024, 2), be(s1, 1, 1), be(s1, 1, 1), be(s1, 0, 3), be(s1, 0, 1),
      be(s1, 1, 1);
  be(s3, 72, 4), be(s3, 3, 1), be(s3, 0, 1), be(s3, uint64_t(kNx) * kNy, 4), be(s3, 0, 2),
      be(s3, 0, 2), be(s3, 6, 1);
  for (int i = 0; i < 15; ++i) s3.push_back(static_cast<char>(0xFF));
  be(s3, kNx, 4), be(s3, kNy, 4), be(s3, 0, 4), be(s3, 0xFFFFFFFF, 4), be(s3, 90000000, 4),
      be(s3, 0, 4), be(s3, 48, 1), be(s3, 0x80000000u | 90000000u, 4), be(s3, 359750000, 4),
      be(s3, 250000, 4), be(s3, 250000, 4), be(s3, 0, 1);
  be(s4, 34, 4), be(s4, 4, 1), be(s4, 0, 2), be(s4, 0, 2), be(s4, 0, 1), be(s4, 0, 1), be(s4, 0, 1),
      be(s4, 0, 1), be(s4, 96, 1), be(s4, 0, 2), be(s4, 0, 1), be(s4, 1, 1), be(s4, 0, 4),
      be(s4, 1, 1), be(s4, 0, 1), be(s4, 0, 4), be(s4, 255, 1), be(s4, 0, 1), be(s4, 0, 4);
  double lo = 1e300, hi = -1e300;
  for (double x : v) lo = std::min(lo, x), hi = std::max(hi, x);
  const int e = static_cast<int>(std::ceil(std::log2((hi - lo) / 65535.0)));
  const float ref = static_cast<float>(lo);
  uint32_t rbits;
  std::memcpy(&rbits, &ref, 4);
  be(s5, 21, 4), be(s5, 5, 1), be(s5, uint64_t(kNx) * kNy, 4), be(s5, 0, 2), be(s5, rbits, 4),
      be(s5, e < 0 ? 0x8000u | unsigned(-e) : unsigned(e), 2), be(s5, 0, 2), be(s5, 16, 1),
      be(s5, 0, 1);
  be(s7, 5 + 2 * v.size(), 4), be(s7, 7, 1);
  for (double x : v) be(s7, static_cast<uint64_t>(std::lround((x - ref) / std::ldexp(1.0, e))), 2);
  std::string m = "GRIB";
  be(m, 0, 2), be(m, 0, 1), be(m, 2, 1);
  const std::string body = s1 + s3 + s4 + s5 + std::string("\0\0\0\6\6\377", 6) + s7;
  be(m, 16 + body.size() + 4, 8);
  return m + body + "7777";
}
#endif

#ifdef KAV_HAVE_ECCODES
std::string with_eccodes(const Case &c) {
  codes_handle *h = codes_grib_handle_new_from_samples(nullptr, "regular_ll_sfc_grib2");
  if (!h) return {};
  codes_set_long(h, "Ni", kNx);
  codes_set_long(h, "Nj", kNy);
  codes_set_double(h, "latitudeOfFirstGridPointInDegrees", 90);
  codes_set_double(h, "longitudeOfFirstGridPointInDegrees", 0);
  codes_set_double(h, "latitudeOfLastGridPointInDegrees", -90);
  codes_set_double(h, "longitudeOfLastGridPointInDegrees", 359.75);
  codes_set_double(h, "iDirectionIncrementInDegrees", 0.25);
  codes_set_double(h, "jDirectionIncrementInDegrees", 0.25);
  codes_set_long(h, "bitsPerValue", 16);
  if (c.bitmap) {
    codes_set_double(h, "missingValue", kMissing);
    codes_set_long(h, "bitmapPresent", 1);
  }
  const std::vector<double> v = values(c.bitmap);
  codes_set_double_array(h, "values", v.data(), v.size());
  size_t len = 0;
  codes_set_string(h, "packingType", c.packing, &len);
  const void *msg = nullptr;
  codes_get_message(h, &msg, &len);
  std::string out(static_cast<const char *>(msg), len);
  codes_handle_delete(h);
  return out;
}
#endif

const std::string &message(int n) {
  static std::map<int, std::string> made;
  auto it = made.find(n);
  if (it != made.end()) return it->second;
#ifdef KAV_HAVE_ECCODES
  std::string m = with_eccodes(kCases[n]);
#else
  std::string m = n == 0 ? simple_by_hand() : std::string();
#endif
  return made[n] = m;
}

void label(benchmark::State &state, int n) {
  state.SetLabel(std::string(kCases[n].packing) + (kCases[n].bitmap ? "+bitmap" : "") + " " +
                 std::to_string(message(n).size()) + " octets");
  state.SetItemsProcessed(state.iterations() * int64_t(kNx) * kNy);
}

void BM_kav_decode(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::string &m = message(n);
  if (m.empty()) {
    state.SkipWithError("no message");
    return;
  }
  MESS_set(0, 0);
  GRD_report grd;
  GRD_init(&grd);
  const auto *p = reinterpret_cast<const unsigned char *>(m.data());
  for (auto _ : state) {
    if (kav_grib2_decode(p, m.size(), 0, &grd, 0) != 1) {
      state.SkipWithError("decode failed");
      break;
    }
    benchmark::DoNotOptimize(grd.grid);
  }
  std::free(grd.grid);
  label(state, n);
}
BENCHMARK(BM_kav_decode)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

// Through the grid layer: the message read from a file and decoded.
void BM_kav_grd_read(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::string &m = message(n);
  if (m.empty()) {
    state.SkipWithError("no message");
    return;
  }
  const std::string name = "/tmp/grib2_bench_" + std::to_string(n) + ".grb2";
  if (FILE *fp = std::fopen(name.c_str(), "wb")) {
    std::fwrite(m.data(), 1, m.size(), fp);
    std::fclose(fp);
  }
  MESS_set(0, 0);
  int type = 0;
  const int fd = GRD_open(name.c_str(), 0, &type);
  GRD_info info{};
  GRD_getinfo(fd, &info);
  GRD_report grd;
  GRD_init(&grd);
  for (auto _ : state) {
    int num = 0;
    if (GRD_read(fd, &grd, 0, &num) != 0) {
      state.SkipWithError("read failed");
      break;
    }
    benchmark::DoNotOptimize(grd.grid);
  }
  std::free(grd.grid);
  GRD_close(fd);
  std::remove(name.c_str());
  label(state, n);
}
BENCHMARK(BM_kav_grd_read)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);

#ifdef KAV_HAVE_ECCODES
void BM_eccodes_decode(benchmark::State &state) {
  const int n = static_cast<int>(state.range(0));
  const std::string &m = message(n);
  std::vector<double> out(size_t(kNx) * kNy);
  for (auto _ : state) {
    codes_handle *h = codes_handle_new_from_message(nullptr, m.data(), m.size());
    size_t count = out.size();
    if (!h || codes_get_double_array(h, "values", out.data(), &count) != 0) {
      state.SkipWithError("ecCodes failed");
      if (h) codes_handle_delete(h);
      break;
    }
    benchmark::DoNotOptimize(out.data());
    codes_handle_delete(h);
  }
  label(state, n);
}
BENCHMARK(BM_eccodes_decode)->DenseRange(0, 6)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

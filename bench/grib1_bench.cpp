// Decoding a GRIB 1 field of 1440 x 721 points (a quarter-degree global
// latitude/longitude grid, simple packing) through the grid layer, beside
// ecCodes decoding the same message from memory when it is available. At 16
// bits a value the message passes the 2000000 octets an edition-1 message
// may hold, so 8 and 12 bits are measured.
#include <benchmark/benchmark.h>
#include <kav/grd_read.h>
#include <kav/mess.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/gribbuild.h"

#ifdef KAV_HAVE_ECCODES
#include <eccodes.h>
#endif

namespace {

constexpr int kNx = 1440, kNy = 721;

// A smooth field packed with the given bits per value.
std::string field(int bits) {
  kavtest::GribSpec s;
  s.ni = kNx;
  s.nj = kNy;
  s.la1 = 90000;
  s.la2 = -90000;
  s.lo1 = 0;
  s.lo2 = 359750;
  s.di = s.dj = 250;
  s.bits = bits;
  s.ref = 200;
  s.binary_scale = -4;
  const uint32_t top = (1u << bits) - 1;
  s.codes.resize(size_t(kNx) * kNy);
  for (int j = 0; j < kNy; ++j)
    for (int i = 0; i < kNx; ++i) {
      const double v = 0.5 + 0.45 * std::sin(i * 0.01) * std::cos(j * 0.02);
      s.codes[size_t(j) * kNx + size_t(i)] = static_cast<uint32_t>(v * top);
    }
  return kavtest::build_grib(s);
}

std::string write_temp(const std::string &bytes, int bits) {
  const std::string name = "/tmp/grib1_bench_" + std::to_string(bits) + ".grb";
  if (FILE *fp = std::fopen(name.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), fp);
    std::fclose(fp);
  }
  return name;
}

void BM_kav_decode(benchmark::State &state) {
  const int bits = static_cast<int>(state.range(0));
  const std::string file = write_temp(field(bits), bits);
  int type = 0;
  const int fd = GRD_open(file.c_str(), 0, &type);
  GRD_info info{};
  GRD_getinfo(fd, &info);
  GRD_report g;
  GRD_init(&g);
  for (auto _ : state) {
    int num = 0;
    if (GRD_read(fd, &g, 0, &num) != 0) {
      state.SkipWithError("GRD_read failed");
      break;
    }
    benchmark::DoNotOptimize(g.grid[12345]);
  }
  state.SetItemsProcessed(state.iterations() * kNx * kNy);
  std::free(g.grid);
  GRD_close(fd);
  std::remove(file.c_str());
}
BENCHMARK(BM_kav_decode)->Arg(8)->Arg(12)->Unit(benchmark::kMillisecond);

#ifdef KAV_HAVE_ECCODES
void BM_eccodes_decode(benchmark::State &state) {
  const int bits = static_cast<int>(state.range(0));
  const std::string msg = field(bits);
  std::vector<double> values(size_t(kNx) * kNy);
  for (auto _ : state) {
    codes_handle *h = codes_handle_new_from_message(nullptr, msg.data(), msg.size());
    size_t n = values.size();
    if (!h || codes_get_double_array(h, "values", values.data(), &n) != 0) {
      state.SkipWithError("ecCodes failed");
      if (h) codes_handle_delete(h);
      break;
    }
    benchmark::DoNotOptimize(values[12345]);
    codes_handle_delete(h);
  }
  state.SetItemsProcessed(state.iterations() * kNx * kNy);
}
BENCHMARK(BM_eccodes_decode)->Arg(8)->Arg(12)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

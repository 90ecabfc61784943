// Hot paths of the formulas and the sounding interpolation: the grid
// calculator and the sounding analysis call them point by point.
#include <benchmark/benchmark.h>
#include <kav/calc.h>
#include <kav/ua_calc.h>

#include <cmath>
#include <vector>

namespace {

void BM_eq_pot_temp(benchmark::State &state) {
  float t = 300;
  for (auto _ : state) {
    benchmark::DoNotOptimize(eq_pot_temp(t, 290, 950));
    t = t > 310 ? 280 : t + 0.1f;
  }
}
BENCHMARK(BM_eq_pot_temp);

void BM_temp_on_satad(benchmark::State &state) {
  float te = 330;
  for (auto _ : state) {
    benchmark::DoNotOptimize(temp_on_satad(te, 500));
    te = te > 360 ? 310 : te + 0.1f;
  }
}
BENCHMARK(BM_temp_on_satad);

std::vector<UPA_level> sounding(int n) {
  std::vector<UPA_level> s;
  for (int i = 0; i < n; ++i) {
    float p = 1000.0f - 900.0f * static_cast<float>(i) / static_cast<float>(n);
    float lp = std::log(p / 1000.0f);
    s.push_back(UPA_level{p, -7000 * lp, 25 + 30 * lp, 18 + 45 * lp, 200 + 10 * lp, 20 - 10 * lp});
  }
  return s;
}

void BM_interp_levels(benchmark::State &state) {
  auto s = sounding(static_cast<int>(state.range(0)));
  std::vector<float> values;
  for (float p = 990; p > 150; p -= 25) values.push_back(p);
  std::vector<UPA_level> out(values.size());
  for (auto _ : state)
    benchmark::DoNotOptimize(UPA_interp_levels(s.data(), static_cast<int>(s.size()), 100,
                                               values.data(), out.data(),
                                               static_cast<int>(values.size())));
}
BENCHMARK(BM_interp_levels)->Arg(30)->Arg(300);

void BM_lifted_index(benchmark::State &state) {
  auto s = sounding(120);
  for (auto _ : state) benchmark::DoNotOptimize(lifted_index(s.data(), 120, 100, 1000, 100, 500));
}
BENCHMARK(BM_lifted_index);

}  // namespace

// The full sounding analysis (THERM_calc) of the OAX ascent (151 levels),
// and its parcel ascent and helicity alone.
#include <benchmark/benchmark.h>
#include <kav/mess.h>
#include <kav/thm_tool.h>
#include <kav/ua_calc.h>
#include <kav/ua_read.h>

#include <string>
#include <vector>

namespace {

struct Ascent {
  std::vector<UPA_level> sm, wm;
  float ps = KAV_MISSING;
  Ascent() {
    sm.resize(THERM_MAX_LEVELS);
    char id[20];
    Date date;
    int n = UPA_read_text(KAV_BENCH_DATA "/ua_oax_2014061619.txt", sm.data(), THERM_MAX_LEVELS, id,
                          sizeof id, &date);
    sm.resize(n > 0 ? static_cast<size_t>(n) : 0);
    for (const auto &l : sm) {
      if (ps == KAV_MISSING && l.t != KAV_MISSING) ps = l.p;
      if (l.dir != KAV_MISSING && l.spd != KAV_MISSING) wm.push_back(l);
    }
  }
};

const Ascent &oax() {
  static Ascent a;
  return a;
}

void BM_THERM_calc_oax(benchmark::State &state) {
  MESS_set(0, M_WARN);
  Ascent a = oax();
  THERM_set_parcel(2, 100, nullptr);
  THERM_set_data(a.ps, a.sm.data(), static_cast<int>(a.sm.size()), a.wm.data(),
                 static_cast<int>(a.wm.size()));
  for (auto _ : state) {
    THERM_calc();
    benchmark::DoNotOptimize(THERM_get_values()->parcel.Bplus);
  }
  state.SetLabel(std::to_string(a.sm.size()) + " levels");
}
BENCHMARK(BM_THERM_calc_oax)->Unit(benchmark::kMicrosecond);

void BM_parcel_calc_oax(benchmark::State &state) {
  MESS_set(0, M_WARN);
  Ascent a = oax();
  PARCEL_params pp;
  for (auto _ : state) {
    parcel_calc(a.sm.data(), static_cast<int>(a.sm.size()), nullptr, 100, a.ps, 100, &pp);
    benchmark::DoNotOptimize(pp.Bplus);
  }
}
BENCHMARK(BM_parcel_calc_oax)->Unit(benchmark::kMicrosecond);

void BM_helicity_oax(benchmark::State &state) {
  MESS_set(0, M_WARN);
  Ascent a = oax();
  WIND storm{245, 35};
  HELICITY_params hp;
  for (auto _ : state) {
    helicity(a.wm.data(), static_cast<int>(a.wm.size()), 103, 350, 3350, &storm, &hp);
    benchmark::DoNotOptimize(hp.pos_hel);
  }
}
BENCHMARK(BM_helicity_oax)->Unit(benchmark::kMicrosecond);

}  // namespace

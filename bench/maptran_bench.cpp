// A million forward and a million inverse transforms per projection family:
// MAP_tran and MAP_untran run per grid point and per station.
#include <benchmark/benchmark.h>
#include <kav/maptran.h>
#include <kav/region.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kPoints = 1000000;

struct Family {
  const char *name;
  const char *domain;
  float lat0, lat1, lon0, lon1;  // the area the points cover
};

const Family kFamilies[] = {
    {"pstereo", "ps,40,-100,25,17,2,2", 20, 60, -130, -70},
    {"latlon", "ll,40,-100,25,17,1,1", 20, 60, -130, -70},
    {"merc", "merc,20,-100,25,17,2,2", -20, 60, -130, -70},
    {"lamb", "lamb:40:-100:30:60,40,-100,25,17,2,2", 20, 60, -130, -70},
    {"ortho", "ortho,40,-100,25,17,2,2", 20, 60, -130, -70},
    {"moll", "moll,0,0,25,17,2,2", -60, 60, -150, 150},
    {"lambaz", "lambaz,40,-100,25,17,2,2", 20, 60, -130, -70},
    {"sat", "sat:0:-75,0,-75,25,17,2,2", -50, 50, -120, -30},
    {"sat_ellipse", "sat:e:0:-75,0,-75,25,17,2,2", -50, 50, -120, -30},
    {"skewt", "skewt,-40,1050,25,17,80,-950", -40, 40, 1000, 200},
    {"teph", "teph,-40,1050,25,17,80,-950", -40, 40, 1000, 200},
    {"xy", "xy,0,0,10,20,200,400", 0, 200, 0, 400},
};

// Sets the family's domain and fills the input points: a 1000 by 1000 grid
// over its area.
void setup(const Family &f, std::vector<float> *a, std::vector<float> *b) {
  Domain d;
  if (DOM_decode(f.domain, &d) != 1 || MAP_domain(&d) != 0)
    std::fprintf(stderr, "maptran_bench: bad domain %s\n", f.domain);
  MAP_limits view = {0, 100, 0, 100};
  MAP_set_view(&view);
  a->resize(kPoints);
  b->resize(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    const float u = static_cast<float>(i / 1000) / 999.0f,
                v = static_cast<float>(i % 1000) / 999.0f;
    (*a)[static_cast<size_t>(i)] = f.lat0 + (f.lat1 - f.lat0) * u;
    (*b)[static_cast<size_t>(i)] = f.lon0 + (f.lon1 - f.lon0) * v;
  }
}

void BM_forward(benchmark::State &state, const Family &f) {
  std::vector<float> a, b;
  setup(f, &a, &b);
  for (auto _ : state) {
    float x, y;
    int on = 0;
    for (int i = 0; i < kPoints; ++i)
      on += MAP_tran(a[static_cast<size_t>(i)], b[static_cast<size_t>(i)], &x, &y);
    benchmark::DoNotOptimize(on);
    benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}

void BM_inverse(benchmark::State &state, const Family &f) {
  std::vector<float> a, b;
  setup(f, &a, &b);
  for (int i = 0; i < kPoints; ++i) {
    float x, y;
    MAP_tran(a[static_cast<size_t>(i)], b[static_cast<size_t>(i)], &x, &y);
    a[static_cast<size_t>(i)] = x;
    b[static_cast<size_t>(i)] = y;
  }
  for (auto _ : state) {
    float la, lo;
    int on = 0;
    for (int i = 0; i < kPoints; ++i)
      on += MAP_untran(a[static_cast<size_t>(i)], b[static_cast<size_t>(i)], &la, &lo);
    benchmark::DoNotOptimize(on);
    benchmark::DoNotOptimize(la);
  }
  state.SetItemsProcessed(state.iterations() * kPoints);
}

const bool kRegistered = [] {
  for (const Family &f : kFamilies) {
    benchmark::RegisterBenchmark((std::string("BM_forward/") + f.name).c_str(), BM_forward, f)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("BM_inverse/") + f.name).c_str(), BM_inverse, f)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace

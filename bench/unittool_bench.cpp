// Converting every point of a grid: the same pair again and again, served by
// the cache, against a pair of the same base unit and a fresh table lookup.
#include <benchmark/benchmark.h>
#include <kav/resrc.h>
#include <kav/unittool.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void use_table() {
  static const std::string dir = [] {
    char name[] = "/tmp/unittool_bench.XXXXXX";
    std::string d = mkdtemp(name) ? name : "/tmp";
    if (FILE *fp = std::fopen((d + "/units.lup").c_str(), "w")) {
      for (int i = 0; i < 100; ++i) std::fprintf(fp, "u%d v%d *%d.5+1\n", i, i, i);
      std::fputs("C F *1.8+32\nF C *0.555555555555556-17.7777777777778\n", fp);
      std::fclose(fp);
    }
    return d;
  }();
  RES_put("file_path", dir.c_str());
}

void BM_CachedPair(benchmark::State &state) {
  use_table();
  float v = 0.0f;
  for (auto _ : state) benchmark::DoNotOptimize(UNIT_cvt(v += 0.25f, "C", "F"));
}
BENCHMARK(BM_CachedPair);

void BM_SameBase(benchmark::State &state) {
  float v = 0.0f;
  for (auto _ : state) benchmark::DoNotOptimize(UNIT_cvt(v += 0.25f, "10^3_m", "m"));
}
BENCHMARK(BM_SameBase);

void BM_TableLookup(benchmark::State &state) {
  use_table();
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    benchmark::DoNotOptimize(UNIT_cvt(1.0f, flip ? "C" : "F", flip ? "F" : "C"));
  }
}
BENCHMARK(BM_TableLookup);

}  // namespace

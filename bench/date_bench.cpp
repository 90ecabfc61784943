// The date conversions every grid and report reader runs per record, and the
// file-name expansion run per step of a latest-file search.
#include <benchmark/benchmark.h>
#include <kav/date.h>
#include <kav/files.h>

namespace {

void BM_NumSec(benchmark::State &state) {
  int64_t total = 0;
  int i = 0;
  for (auto _ : state) {
    Date d = {2024, 1 + i % 12, 1 + i % 28, -9999, -9999, i % 24, i % 60, 0};
    total += DATE_num_sec(&d);
    ++i;
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_NumSec);

void BM_GmDate(benchmark::State &state) {
  int64_t secs = 1709641800;
  Date d;
  for (auto _ : state) {
    DATE_get_gmdate(&secs, &d);
    secs += 3607;
    benchmark::DoNotOptimize(d);
  }
}
BENCHMARK(BM_GmDate);

void BM_MakeLabel(benchmark::State &state) {
  Date d = {2024, 3, 5, 65, 2, 12, 30, 0};
  char str[DATE_LABEL_LEN];
  for (auto _ : state) {
    DATE_make_label(&d, str);
    benchmark::DoNotOptimize(str);
  }
}
BENCHMARK(BM_MakeLabel);

void BM_SetDate(benchmark::State &state) {
  FILE_set_name("@%D/%y%m%d%h_sao.sfc");
  Date d = {2024, 3, 5, 65, 2, 12, 30, 0};
  char out[FILE_NAME_LEN];
  for (auto _ : state) {
    FILE_set_date(&d, out);
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_SetDate);

}  // namespace

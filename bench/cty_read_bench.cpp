// The station database: loading the whole surface station file into the
// station table, and looking up 10,000 identifiers in it.
#include <benchmark/benchmark.h>
#include <kav/cty_read.h>
#include <kav/cty_tool.h>
#include <kav/mess.h>
#include <kav/resrc.h>

#include <string>
#include <vector>

namespace {

// The identifiers of the shipped file, read once (the package's data
// directory is the default path).
const std::vector<std::string> &identifiers() {
  static const std::vector<std::string> ids = [] {
    std::vector<std::string> out;
    const int fd = CTY_open_file("sao.cty", nullptr);
    CTY_data d;
    while (fd >= 0 && CTY_read(fd, &d) > 0) out.push_back(d.id);
    CTY_close(fd);
    return out;
  }();
  return ids;
}

void setup() {
  MESS_set(0, M_ERROR);
  RES_put("identifier", "all");
}

void BM_StoreWholeFile(benchmark::State &state) {
  setup();
  for (auto _ : state) {
    CTY_clear();
    benchmark::DoNotOptimize(CTY_store("sao.cty", 1, nullptr, 9));
  }
  state.counters["stations"] = static_cast<double>(CTY_get_table()->num_entry);
  CTY_clear();
}
BENCHMARK(BM_StoreWholeFile)->Unit(benchmark::kMillisecond);

void BM_Lookup10000(benchmark::State &state) {
  setup();
  const auto &ids = identifiers();
  CTY_clear();
  CTY_store("sao.cty", 1, nullptr, 9);
  CTY_data d;
  for (auto _ : state) {
    int found = 0;
    for (size_t i = 0; i < 10000; ++i) found += CTY_search(ids[i % ids.size()].c_str(), &d);
    benchmark::DoNotOptimize(found);
  }
  CTY_clear();
}
BENCHMARK(BM_Lookup10000)->Unit(benchmark::kMillisecond);

void BM_LoadAndLookup10000(benchmark::State &state) {
  setup();
  const auto &ids = identifiers();
  CTY_data d;
  for (auto _ : state) {
    CTY_clear();
    CTY_store("sao.cty", 3, nullptr, 9);
    int found = 0;
    for (size_t i = 0; i < 10000; ++i) found += CTY_search(ids[i % ids.size()].c_str(), &d);
    benchmark::DoNotOptimize(found);
  }
  CTY_clear();
}
BENCHMARK(BM_LoadAndLookup10000)->Unit(benchmark::kMillisecond);

}  // namespace

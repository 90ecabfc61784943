// Decoding long command lines: many positional values appended to one
// resource, and many options the program does not know (each a resource of
// its own). Both grow linearly with the number of arguments.
#include <benchmark/benchmark.h>
#include <kav/resrc.h>

#include <string>
#include <vector>

namespace {

void decode(benchmark::State &state, bool unknown_options) {
  const int n = static_cast<int>(state.range(0));
  std::vector<std::string> words{"bench"};
  for (int i = 0; i < n; ++i)
    words.push_back(unknown_options ? "-opt" + std::to_string(i) : std::to_string(i));
  std::vector<char *> argv;
  for (auto &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  RES_defobj table[2] = {};
  RES_enter(&table[0], RES_values);
  for (auto _ : state)
    RES_decode("bench", "Kav", static_cast<int>(words.size()), argv.data(), table);
  state.SetComplexityN(n);
}

void BM_PositionalValues(benchmark::State &state) { decode(state, false); }
void BM_UnknownOptions(benchmark::State &state) { decode(state, true); }

BENCHMARK(BM_PositionalValues)->RangeMultiplier(4)->Range(1000, 64000)->Complexity();
BENCHMARK(BM_UnknownOptions)->RangeMultiplier(4)->Range(1000, 64000)->Complexity();

}  // namespace

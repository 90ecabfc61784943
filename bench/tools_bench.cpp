// Line readers and swap readers over large generated files.
#include <benchmark/benchmark.h>
#include <kav/tools.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// A text file of about 16 MB: lines of 0 to 300 characters, some with CR-LF
// endings and control characters, some longer than the 160-character limit.
const std::string &text_file() {
  static const std::string name = [] {
    std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                       "/kav_tools_bench_text.txt";
    FILE *f = std::fopen(path.c_str(), "wb");
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> len(0, 300), ch(32, 126), kind(0, 9);
    size_t written = 0;
    std::string line;
    while (written < (16u << 20)) {
      line.assign(static_cast<size_t>(len(gen)), ' ');
      for (char &c : line) c = static_cast<char>(ch(gen));
      const int k = kind(gen);
      if (k == 0 && !line.empty()) line[line.size() / 2] = '\t';
      line += k == 1 ? "\r\n" : "\n";
      std::fwrite(line.data(), 1, line.size(), f);
      written += line.size();
    }
    std::fclose(f);
    return path;
  }();
  return name;
}

// A binary file of 4 Mi four-byte values.
const std::string &binary_file() {
  static const std::string name = [] {
    std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                       "/kav_tools_bench_binary.bin";
    FILE *f = std::fopen(path.c_str(), "wb");
    std::vector<uint32_t> values(4u << 20);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint32_t>(i * 2654435761u);
    std::fwrite(values.data(), sizeof values[0], values.size(), f);
    std::fclose(f);
    return path;
  }();
  return name;
}

template <typename ReadLine>
void read_text(benchmark::State &state, ReadLine read) {
  const std::string &name = text_file();
  std::vector<char> buf(600);
  int64_t bytes = 0;
  for (auto _ : state) {
    FILE *f = std::fopen(name.c_str(), "rb");
    int lines = 0;
    int n;
    while ((n = read(f, buf.data())) >= 0) {
      bytes += static_cast<int64_t>(std::strlen(buf.data()));
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
    std::fclose(f);
  }
  state.SetBytesProcessed(bytes);
}

void BM_fgetline(benchmark::State &state) {
  read_text(state, [](FILE *f, char *b) { return fgetline(f, b); });
}
BENCHMARK(BM_fgetline)->Unit(benchmark::kMillisecond);

void BM_fgetnline_500(benchmark::State &state) {
  read_text(state, [](FILE *f, char *b) { return fgetnline(f, b, 500); });
}
BENCHMARK(BM_fgetnline_500)->Unit(benchmark::kMillisecond);

void BM_fget_rawstring_500(benchmark::State &state) {
  read_text(state, [](FILE *f, char *b) { return fget_rawstring(f, b, 500); });
}
BENCHMARK(BM_fget_rawstring_500)->Unit(benchmark::kMillisecond);

// The C library's own line reader over the same file, for comparison.
void BM_fgets_baseline(benchmark::State &state) {
  read_text(state, [](FILE *f, char *b) { return std::fgets(b, 501, f) ? 1 : -1; });
}
BENCHMARK(BM_fgets_baseline)->Unit(benchmark::kMillisecond);

void BM_fread_long_swap(benchmark::State &state) {
  const std::string &name = binary_file();
  swap_setup(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    FILE *f = std::fopen(name.c_str(), "rb");
    uint32_t v = 0, sum = 0;
    while (fread_long_swap(&v, f) == 1) sum += v;
    benchmark::DoNotOptimize(sum);
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (16 << 20));
}
// Flag -1: no swapping; 0: always swapped.
BENCHMARK(BM_fread_long_swap)->Arg(-1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_swap_longs(benchmark::State &state) {
  std::vector<uint32_t> values(1u << 20, 0x01020304u);
  swap_setup(0);
  for (auto _ : state) {
    swap_longs(values.data(), static_cast<int>(values.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (4 << 20));
}
BENCHMARK(BM_swap_longs)->Unit(benchmark::kMicrosecond);

}  // namespace

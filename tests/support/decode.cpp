#include "support/decode.h"

#include <deque>

namespace kavtest {
namespace {

struct CommandLine {
  std::vector<std::string> words;
  std::vector<char *> argv;
};

std::deque<CommandLine> &lines() {
  static std::deque<CommandLine> kept;
  return kept;
}

}  // namespace

void decode(std::vector<std::string> words, std::vector<res_type> keyed,
            std::vector<res_type> positional) {
  words.insert(words.begin(), "/usr/bin/prog");
  lines().emplace_back();
  CommandLine &cl = lines().back();
  cl.words = std::move(words);
  for (auto &w : cl.words) cl.argv.push_back(w.data());
  cl.argv.push_back(nullptr);
  keyed.push_back(RES_null);
  positional.push_back(RES_null);
  RES_init(static_cast<int>(cl.words.size()), cl.argv.data(), keyed.data(), positional.data());
}

std::string get(const char *name) {
  const char *v = RES_get(name);
  return v ? v : "<absent>";
}

}  // namespace kavtest

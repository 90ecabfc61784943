// Fuzz entry point for the command-line decoder: the input is split at
// newlines into arguments and decoded with the wind chill command's tables.
// Arguments that would open log files or pause for input are dropped, so that
// a run touches nothing outside the process.
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

bool harmless(const std::string &arg) {
  std::string low;
  for (char c : arg) low += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return low.find("fi") == std::string::npos && low.find("page") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const res_type keyed[] = {RES_help,  RES_batch,     RES_message, RES_file_path,
                                   RES_table, RES_parameter, RES_null};
  static const res_type positional[] = {RES_values, RES_null};
  // The store keeps the argument vector, so the words live as long as it.
  static std::vector<std::string> words;
  static std::vector<char *> argv;
  words.assign(1, "fuzz");
  std::string cur;
  for (size_t i = 0; i < size; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\n' || c == '\0') {
      if (harmless(cur)) words.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty() && harmless(cur)) words.push_back(cur);
  argv.clear();
  for (auto &w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  RES_init(static_cast<int>(words.size()), argv.data(), keyed, positional);
  int n = 0;
  char **list = nullptr;
  RES_getvals("value", &n, &list);
  free_parsed_array(n, list);
  int table = 0;
  RES_getval("table", &table, CV_bool);
  MESS_set(10, 0);  // keep the runs quiet
  return 0;
}

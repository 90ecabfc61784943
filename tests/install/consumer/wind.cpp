// A C++ program built against the installed library: the headers work from
// C++ and the library's text utilities and version are reachable.
#include <cstdio>
#include <string>
#include <vector>

#include "kav_all.h"  // every installed public header

int main() {
  int n = 0;
  char **list = nullptr;
  if (parse_string("wctemp2,wctemp,wcval", ',', &n, &list) != 0) return 1;
  std::vector<std::string> formulas(list, list + n);
  free_parsed_array(n, list);
  std::printf("version %s\n", KAV_version());
  std::printf("formulas %zu, last %s\n", formulas.size(), formulas.back().c_str());
  std::printf("wind chill %.1f K\n", static_cast<double>(wind_chill_temp2(266.48f, 7.717f)));
  return stricmp("WCVAL", formulas.back().c_str()) == 0 ? 0 : 1;
}

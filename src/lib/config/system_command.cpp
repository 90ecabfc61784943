// The commands typed at any prompt: "set" puts or lists resources, "exit"
// ends the program.
#include <kav/mess.h>
#include <kav/resrc.h>
#include <kav/string.h>
#include <kav/system.h>

#include <cctype>
#include <cstddef>
#include <string>

#include "console/guard.hpp"

namespace {

constexpr size_t kSetNameMax = 19;

}  // namespace

extern "C" {

int KAV_set_command(const char *string) KAV_NOEXCEPT try {
  if (!string) return 0;
  if (strnicmp(string, "set", 3) == 0) {
    // "%*s %[^= ]%*[= ]%n": skip the first word, take the name up to a blank
    // or '=', skip the blanks and '=' after it; the rest is the value.
    const char *p = string;
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    while (*p && !std::isspace(static_cast<unsigned char>(*p))) ++p;
    while (*p && std::isspace(static_cast<unsigned char>(*p))) ++p;
    const char *name = p;
    while (*p && *p != '=' && *p != ' ') ++p;
    std::string res_name(name, static_cast<size_t>(p - name));
    if (res_name.empty()) {
      MESS_print(M_MESS & M_SUB_D, "Set resources\n");
      RES_list();
      MESS_print(M_MESS & M_SUB_D, "\n");
      return 1;
    }
    if (res_name.size() > kSetNameMax) {
      MESS_print(M_WARN, "KAV_set_command: resource name longer than %zu characters: %s\n",
                 kSetNameMax, res_name.c_str());
      return 1;
    }
    // A name with nothing after it takes the empty value.
    while (*p == '=' || *p == ' ') ++p;
    RES_put(res_name.c_str(), p);
    return 1;
  }
  if (strnicmp(string, "exit", 4) == 0) KAV_exit(0);
  return 0;
} catch (...) {
  kav::out_of_memory("KAV_set_command");
  return -1;
}

}  // extern "C"

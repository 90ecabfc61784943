#include "lib/mess.h"

#include <cstdarg>
#include <cstdio>

#include "lib/system.h"

namespace {

struct MessState {
  M_type mess_level = 0x000FFFFFu;  // current level
  int mess_set = 0;                  // count of explicit level settings
};

MessState &state() {
  static MessState s;
  return s;
}

}  // namespace

extern "C" {

int MESS_print(M_type type, const char *mess, ...) {
  if (!(type & state().mess_level)) return 0;
  FILE *out = (type & (M_ERROR | M_WARN)) ? stderr : stdout;
  va_list ap;
  va_start(ap, mess);
  std::vfprintf(out, mess, ap);
  va_end(ap);
  return 1;
}

int MESS_set(int oper, M_type level) {
  (void)oper;
  state().mess_level = level;
  return 0;
}

M_type MESS_get(void) { return state().mess_level; }

int MESS_check(M_type level) { return (level & state().mess_level) ? 1 : 0; }

int MESS_check_set(void) { return state().mess_set; }

}  // extern "C"

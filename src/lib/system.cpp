#include "lib/system.h"

#include <cstdio>
#include <cstdlib>

extern "C" {

void KAV_exit(int status) { std::exit(status); }

const char *KAV_version(void) { return "5.60.4-LINUX-X11"; }

// No command is recognised until the process utilities handle "set" and
// "exit"; every typed line is an ordinary answer.
int KAV_set_command(const char *string) {
  (void)string;
  return 0;
}

}  // extern "C"

// The sources of resources besides the command line. Until the defaults
// files, the display window and the environment are wired in, every step is
// empty and resources come from the command line and RES_put alone.
#include "lib/resrc_int.hpp"

namespace kav::res {

void sources_identify(const char *) {}
void sources_title(const char *) {}
void sources_search_path(RES_defobj *) {}
void sources_environment(RES_defobj *) {}
void sources_forward(const char *, const char *) {}
void sources_close() {}
void sources_timezone() {}

}  // namespace kav::res

// Internal interface between the resource store and the sources of resources
// other than the command line (environment, defaults files, display window).
#ifndef KAV_RESRC_INT_HPP
#define KAV_RESRC_INT_HPP

#include <kav/resrc.h>

namespace kav::res {

// Decode step 2: the program's identity and the `default` search path from
// the environment.
void sources_identify(const char *progname);
// Pre-scan: the program title given by the `name` option.
void sources_title(const char *title);
// Decode step 4: the defaults search path (files, tags, display windows).
void sources_search_path(RES_defobj *table);
// Decode step 5: the environment variables of every decoding entry.
void sources_environment(RES_defobj *table);
// Main pass: a keyed option was stored; forward it to a connected window.
void sources_forward(const char *name, const char *value);
// Decode step 7: close the display-window exchange.
void sources_close();
// After decoding: the display time zone from "kavtz".
void sources_timezone();

}  // namespace kav::res

#endif

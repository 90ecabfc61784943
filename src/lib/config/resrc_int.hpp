// Internal interface between the resource store and the sources of resources
// other than the command line (environment, defaults files, display window).
#ifndef KAV_RESRC_INT_HPP
#define KAV_RESRC_INT_HPP

#include <kav/resrc.h>

#include <string>

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

// Decode steps 1 to 7 (resrc.cpp): every source into the store, entries of
// table recorded in the records; the conversion pass is the caller's.
void decode_sources(const char *progname, int argc, char **argv, RES_defobj *table);
// The first record of the store in creation order (null when empty).
resource *first_record();
// The record of a resource by exact name, or null.
resource *find_record(const char *name);

// Converts one value by kind (resrc_conv.cpp): every kind but the domain
// kinds, which the geography layer converts. who names the reporting
// function and name the resource (null when the text is not a resource's)
// in the messages about values that do not convert. Results as
// RES_conv_data's.
int convert(const char *who, const char *name, const char *data, void *out, DEF_convert cvt);
// " for NAME" when name is given, else the empty text: the resource a
// message about a bad value names.
std::string for_resource(const char *name);

}  // namespace kav::res

#endif

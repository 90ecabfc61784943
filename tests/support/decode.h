// Command lines decoded in process, for the suites of the resource layer.
#ifndef KAV_TESTS_DECODE_H
#define KAV_TESTS_DECODE_H

#include <kav/resrc.h>

#include <string>
#include <vector>

namespace kavtest {

// Runs RES_init on "/usr/bin/prog" followed by words, with the given keyed and
// positional keys (the RES_null terminators are added). The argument vectors
// live as long as the process, because the store keeps argv.
void decode(std::vector<std::string> words, std::vector<res_type> keyed,
            std::vector<res_type> positional = {});

// A resource's value, "<absent>" when it does not exist.
std::string get(const char *name);

}  // namespace kavtest

#endif

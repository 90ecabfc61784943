// Internal to the configuration layer: what the resource sources need to know
// of the definition file being read.
#ifndef KAV_DEF_READ_INT_HPP
#define KAV_DEF_READ_INT_HPP

#include <cstdio>
#include <string>

namespace kav::def {

// The stream of the open definition file, or null when none is open.
std::FILE *open_stream();
// The name it was opened under (empty when none is open).
const std::string &open_name();

}  // namespace kav::def

#endif

#include <kav/version.h>

extern "C" {

const char *KAV_version(void) { return KAV_VERSION_TEXT; }

}  // extern "C"

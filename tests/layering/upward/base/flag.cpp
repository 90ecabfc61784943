// A base source that reaches up to the console: the check must refuse it.
#include <kav/mess.h>

/* Text utilities on NUL-terminated byte strings. */
#ifndef KAV_STRING_H
#define KAV_STRING_H

#include "lib/kavdefs.h"

KAV_BEGIN_DECLS

/* Splits string at the character delim into *argc tokens. *argv[0] is one new
 * buffer holding every token; the array and the buffer are released together
 * with free_parsed_array. Delimiters at the end are dropped (a text of
 * delimiters only leaves one empty token). Returns 0, or -1 with *argc 0 and
 * *argv null for a null or empty text or when memory runs out. */
KAV_API int parse_string(const char *string, char delim, int *argc, char ***argv);

/* Releases what parse_string or parse_command made; nothing when argc is 0 or
 * argv is null. */
KAV_API void free_parsed_array(int argc, char **argv);

/* Case-blind comparison: the difference of the first folded characters that
 * differ (0 when equal); 1 when either text is null. */
KAV_API int stricmp(const char *s1, const char *s2);

/* stricmp over at most n characters (n below 1 counts as 1). */
KAV_API int strnicmp(const char *s1, const char *s2, int n);

/* Removes every line feed and carriage return. Returns 1. */
KAV_API int wsstrip_string(char *string);

/* As wsstrip_string, then trailing blanks are removed. Returns 1. */
KAV_API int wstrim_string(char *string);

KAV_END_DECLS

#endif

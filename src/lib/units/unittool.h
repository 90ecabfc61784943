/* Unit conversion: numeric unit prefixes, the conversion table "units.lup"
 * and unit labels of the form "name (units)". */
#ifndef KAV_UNITTOOL_H
#define KAV_UNITTOOL_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Longest unit text and table base unit, in characters. */
#define UNIT_LEN 14
/* Longest conversion field of a table record, in characters. */
#define UNIT_CVT_LEN 39
/* Longest name or units part of a label, in characters. */
#define UNIT_LABEL_LEN 63

/* Converts value from unit text iunit to ounit. A unit text is an optional
 * prefix ("f^e ", "f " or "-") and a base unit; '_' and blanks are the same.
 * Equal units, or a non-empty input with an empty (or null) output, return
 * the value unchanged; equal base units scale by the prefixes alone; other
 * pairs use the first matching record of "units.lup" in the directory of the
 * file_path resource (a pair not in the table converts by the prefixes
 * alone). The last table pair is cached and never read again while it is
 * repeated. Returns -9999 for a missing value, a unit text longer than 14
 * characters, a zero or unreadable prefix, a table that cannot be opened or
 * read, or
 * a result that is not a finite float (each with a warning; the
 * missing-table one once per file name). */
KAV_API float UNIT_cvt(float value, const char *iunit, const char *ounit) KAV_NOEXCEPT;

/* Writes "%.0e %s%s" of the prefix value of in times scale, the base unit of
 * in and mstr into out, cut to 63 characters (out holds at least 64).
 * Returns 0, or -1 with out empty for a null in, a unit text longer than
 * 14 characters or a prefix that overflows (with a warning). */
KAV_API int UNIT_scale(const char *in, float scale, const char *mstr, char *out) KAV_NOEXCEPT;

/* Splits the label str: var gets the text before the first '(' without
 * trailing blanks, units the text from there to the next ')'. Both are empty
 * when absent; each is cut to 63 characters (the buffers hold at least 64).
 * Returns 0. */
KAV_API int UNIT_parse(const char *str, char *var, char *units) KAV_NOEXCEPT;

/* Rewrites the label str in place as "name (units)", its name part kept
 * (cut, like units, to 63 characters): str holds at least 130 characters.
 * Returns 0. */
KAV_API int UNIT_change(char *str, const char *units) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

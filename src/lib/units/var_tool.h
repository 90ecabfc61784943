/* Variable names and data labels: the variable description table
 * "variable.lup", name and abbreviation lookups, and the one-line description
 * of a field made of its time range, level, name and units. */
#ifndef KAV_VAR_TOOL_H
#define KAV_VAR_TOOL_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Room of the name and abbreviation of an entry (49 and 9 characters). */
#define VAR_NAME_LEN 50
#define VAR_ABBR_LEN 10
/* Most entries the table holds. */
#define VAR_MAX_ENTRIES 749
/* Room every text of this module needs: VAR_str, VAR_abbr,
 * VAR_make_datalevel and VAR_make_datatype write at most
 * VAR_LABEL_LEN - 1 characters and the terminator, cutting longer texts. */
#define VAR_LABEL_LEN 256

/* One entry of the variable description table. */
typedef struct {
  int ind[5];              /* codes; ind[0] is the number lookups match; -9999 unset */
  char name[VAR_NAME_LEN]; /* descriptive name */
  char abbr[VAR_ABBR_LEN]; /* abbreviation */
} VAR_desc;

/* Loads (or loads again) the table from "variable.lup" in the directory of
 * the file_path resource (the package's data directory when it is unset). A line is a
 * comma-separated list of up to five integer codes, an abbreviation and the rest of the line as the
 * name; a line with fewer than two fields, an empty line and a line whose first non-blank is '#'
 * enter nothing, and a " #" ends the name (a comment). Longer names and abbreviations are cut to
 * fit; at most VAR_MAX_ENTRIES are held. Returns 1, 0 when the file cannot be opened (with a
 * warning, once while the name stays the same; the next lookup tries again) or read (with a
 * warning; a table loaded before stays) or -1 when memory runs out. */
KAV_API int VAR_read_varfile(void) KAV_NOEXCEPT;

/* Writes into str (VAR_LABEL_LEN bytes) the name of variable modulo 1000 (its
 * abbreviation when the label type is negative), or "v%d" with the number
 * when the table has none; then " (units)" when units is neither null nor
 * empty. Loads the table on first use. Returns str (null for a null str). */
KAV_API char *VAR_str(char *str, int variable, const char *units) KAV_NOEXCEPT;

/* Writes into str (VAR_LABEL_LEN bytes) the abbreviation of variable (the
 * whole number), or the empty text when the table has none. Returns str. */
KAV_API char *VAR_abbr(char *str, int variable) KAV_NOEXCEPT;

/* The table's number of a variable name or abbreviation (case-blind), or -1
 * when neither is known. */
KAV_API int VAR_search_var_num(const char *name) KAV_NOEXCEPT;

/* Writes into str (VAR_LABEL_LEN bytes) the long time and level label of a
 * field: time is R*1000000 + T1*1000 + T2 (R above 1 gives a time-range text
 * such as "6 hour acc "), ltype and level the vertical level ("Surface",
 * "500 mb", "sfc-500 mb", ...). Unknown positive level types add nothing and
 * a warning. Returns 0 (-1 for a null str). */
KAV_API int VAR_make_datalevel(int time, int ltype, int level, char *str) KAV_NOEXCEPT;

/* Writes into str (VAR_LABEL_LEN bytes) the full description: for label
 * types -1, 0 and 1 the long label and a blank (when it is not empty), then
 * VAR_str of variable with units, as in "6 hour acc Surface Total
 * precipitation (in)". Returns 0 (-1 for a null str). */
KAV_API int VAR_make_datatype(int time, int ltype, int level, int variable, const char *units,
                              char *str) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

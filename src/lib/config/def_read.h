/* Definition files: the plain-text defaults files of the resource layer, with
 * key/value lines, tags and conditional blocks; whether a key addresses a
 * resource of the running program; resources from the environment. One file
 * is open at a time; tags and open blocks last for the life of the process. */
#ifndef KAV_DEF_READ_H
#define KAV_DEF_READ_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* The longest piece of a line read at once; longer lines are read in pieces
 * of this many characters, each taken as a line of its own. */
#define DEF_LINE_MAX 249

/* Buffer sizes DEF_get and DEF_env fill (terminator included): each holds a
 * whole line, so DEF_get returns every key and value of a line whole. With
 * DEF_getn's smaller buffers a longer key is skipped with a warning and a
 * longer value cut with a warning; DEF_env cuts a longer variable's value. */
#define DEF_KEY_SIZE (DEF_LINE_MAX + 1)
#define DEF_VALUE_SIZE (DEF_LINE_MAX + 1)

/* The most tags and the deepest nesting of open IF blocks. */
#define DEF_MAX_TAG 10
#define DEF_MAX_MATCH 10

/* Opens a definition file for reading, closing any file still open. A null or
 * empty name opens ".kavdef" of the current directory; a directory opens the
 * first of "kav.cfg", ".kavdef", "Kav.res" found in it. 0, or -1 when no file
 * could be opened. */
KAV_API int DEF_open(const char *filename) KAV_NOEXCEPT;

/* Closes the open file, if any. Returns 0. */
KAV_API int DEF_close(void) KAV_NOEXCEPT;

/* Takes the program name from the resource layer's command line. Returns 0. */
KAV_API int DEF_prog(void) KAV_NOEXCEPT;

/* Both set the program title that qualifies keys: a plain title replaces the
 * program name, a title "+t" qualifies as "prog.t". Null or empty clears it.
 * The text is copied. Return 0. */
KAV_API int DEF_name(const char *name) KAV_NOEXCEPT;
KAV_API int DEF_title(const char *title) KAV_NOEXCEPT;

/* Adds a tag for the conditional blocks (the text is copied). 0, or -1 when
 * DEF_MAX_TAG tags are already defined or str is null. */
KAV_API int DEF_tag(const char *str) KAV_NOEXCEPT;

/* Empties the tag list. Returns 0. */
KAV_API int DEF_clr_tag(void) KAV_NOEXCEPT;

/* Reads the next entry of the open file: its key (lower case, one trailing
 * colon removed) into resrc, its value into value; buffers of DEF_KEY_SIZE
 * and DEF_VALUE_SIZE bytes. Directives (DEF, UNDEF, IF, ELIF, ELSE, END) are
 * obeyed on the way. 1 for an entry; -1 at end of file, when no file is open
 * or a buffer is null; -2 (reported, and again at each later call) when a
 * read of the file failed or memory ran out: the entries returned before
 * were whole lines, but the rest of the file is unknown. */
KAV_API int DEF_get(char *resrc, char *value) KAV_NOEXCEPT;

/* DEF_get into buffers of the given sizes (each at least 2 bytes). */
KAV_API int DEF_getn(char *resrc, int resrc_size, char *value, int value_size) KAV_NOEXCEPT;

/* 1 when the key string (as read from a file, a pattern with '*') addresses
 * the resource resrc of the running program, else 0 (also for null texts). */
KAV_API int DEF_cmp(const char *resrc, const char *string) KAV_NOEXCEPT;

/* 1 when the key string addresses the running program at all, whatever
 * resource it names; 0 otherwise, for a key with neither '.' nor '*', and
 * for one that ends in them (it names no resource). */
KAV_API int DEF_valid(const char *string) KAV_NOEXCEPT;

/* Copies the part of str after its last '.' or '*' (all of str when it has
 * neither) into ostr, which must hold strlen(str)+1 bytes. 1; 0 when either
 * pointer is null. */
KAV_API int DEF_parse_name(const char *str, char *ostr) KAV_NOEXCEPT;

/* Looks the resource up in the environment: the program-qualified variable
 * ("kavprog.resrc", or with the title), then env (the resource's own
 * variable; null or empty when it has none), then "kavresrc". 1 with the
 * first set variable's value copied into value (DEF_VALUE_SIZE bytes), else
 * 0. */
KAV_API int DEF_env(const char *resrc, const char *env, char *value) KAV_NOEXCEPT;

/* DEF_env into a value buffer of size bytes (at least 1). */
KAV_API int DEF_envn(const char *resrc, const char *env, char *value, int size) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

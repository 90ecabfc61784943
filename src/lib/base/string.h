/* Text utilities on NUL-terminated byte strings.
 *
 * Every function works on 8-bit characters; "blank" means the space
 * character (32) unless a function says otherwise. The in-place editors never
 * grow a string, so the caller's buffer only has to hold the input. Functions
 * that make a new string return a malloc'ed copy that the caller releases
 * with free. Nothing here prints a message. */
#ifndef KAV_STRING_H
#define KAV_STRING_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* ---- Splitting at one delimiter, case-blind comparison -------------------- */

/* Splits string at the character delim into *argc tokens. *argv[0] is one new
 * buffer holding every token and the array ends with a null pointer; both are
 * released together with free_parsed_array. Delimiters at the end are dropped
 * (a text of delimiters only leaves one empty token); a leading delimiter
 * gives an empty first token; tokens keep their blanks. Returns 0, or -1 with
 * *argc 0 and *argv null for a null or empty text, null outputs, or when
 * memory runs out. */
KAV_API int parse_string(const char *string, char delim, int *argc, char ***argv) KAV_NOEXCEPT;

/* Releases what parse_string, parse_command or parse_command_line made;
 * nothing when argc is 0 or argv is null. The tokens die with it. */
KAV_API void free_parsed_array(int argc, char **argv) KAV_NOEXCEPT;

/* Case-blind comparison (tolower of the current locale): the difference of
 * the first folded characters that differ, bytes taken as signed characters,
 * or 0 when the texts are equal; 1 when either text is null. */
KAV_API int stricmp(const char *s1, const char *s2) KAV_NOEXCEPT;

/* stricmp over at most n characters: 0 when the first n folded characters
 * agree or both texts end equal within them. n below 1 counts as 1. */
KAV_API int strnicmp(const char *s1, const char *s2, int n) KAV_NOEXCEPT;

/* ---- In-place editors ------------------------------------------------------ */

/* Replaces every tar by fill. A null string is left alone. Returns 0. */
KAV_API int fill_string(char *string, char tar, char fill) KAV_NOEXCEPT;

/* Removes every tar, the rest closing up. Returns 0. */
KAV_API int strip_string(char *string, char tar) KAV_NOEXCEPT;

/* Removes every line feed and carriage return. Returns 1 (also for null). */
KAV_API int wsstrip_string(char *string) KAV_NOEXCEPT;

/* As wsstrip_string, then trailing blanks are removed. Returns 1. */
KAV_API int wstrim_string(char *string) KAV_NOEXCEPT;

/* Removes trailing blanks. Returns 0. */
KAV_API int trim_string(char *string) KAV_NOEXCEPT;

/* Removes trailing carriage returns. Returns 0. */
KAV_API int trim_cr_string(char *string) KAV_NOEXCEPT;

/* Removes trailing blanks, then collapses every run of two or more blanks
 * (a leading run too) to one blank. Returns 0. */
KAV_API int strip_spaces(char *string) KAV_NOEXCEPT;

/* Removes every backslash and keeps the character after it unexamined, so a
 * doubled backslash leaves one. A backslash at the very end is removed.
 * Returns 0. */
KAV_API int strip_escape(char *string) KAV_NOEXCEPT;

/* num below 0 drops the first -num characters, the rest moving to the front;
 * num 0 or above cuts off the last num characters. A count whose magnitude
 * is the length of the string or more leaves the empty string. Returns 0. */
KAV_API int shift_string(char *string, int num) KAV_NOEXCEPT;

/* Letters a-z become A-Z (no other byte changes). 0 for a null or empty
 * string, else 1. */
KAV_API int up_string(char *string) KAV_NOEXCEPT;

/* Letters A-Z become a-z. 0 for a null or empty string, else 1. */
KAV_API int low_string(char *string) KAV_NOEXCEPT;

/* Makes a line printable: trailing bytes below the blank are cut off; every
 * other byte below 32 or at 128 and above becomes a blank. 0 for a null or
 * empty line, else 1. */
KAV_API int clean_line(char *line) KAV_NOEXCEPT;

/* ---- Predicates (1 true, 0 false; the string is never changed) ------------ */

/* The string holds a '.' or an upper-case 'E' (a lower-case 'e' does not
 * count). Null or empty is false. */
KAV_API int string_is_float(const char *string) KAV_NOEXCEPT;

/* Every character is a letter (isalpha of the current locale). Null or empty
 * is false. */
KAV_API int string_is_alpha(const char *string) KAV_NOEXCEPT;

/* After one optional leading '-', every character is a decimal digit. Null
 * or empty is false; a lone "-" is true. */
KAV_API int string_is_num(const char *string) KAV_NOEXCEPT;

/* The first len characters are all decimal digits; a terminator met before
 * len makes it false. Null or empty is false; a len below 1 checks nothing,
 * so any other string is true. */
KAV_API int string_is_num_len(const char *string, int len) KAV_NOEXCEPT;

/* The string is null or empty, or every byte is at or below the blank as a
 * signed character (control characters and bytes of 128 and above count as
 * blank). */
KAV_API int string_is_blank(const char *string) KAV_NOEXCEPT;

/* ---- New strings (malloc'ed; the caller frees) ----------------------------- */

/* A heap copy of string; null when string is null or memory ran out. */
KAV_API char *create_string(const char *string) KAV_NOEXCEPT;

/* A new string holding oldstr, delim and string; null when string is null or
 * memory ran out. A null oldstr or delim counts as empty. */
KAV_API char *create_strcat(const char *oldstr, const char *delim, const char *string) KAV_NOEXCEPT;

/* ---- Splitting command texts into words ------------------------------------ */

/* Splits a command text into words at blanks, leading and trailing blanks
 * dropped, runs of blanks never giving an empty word. A word that begins with
 * a double quote after a blank runs to the next double quote (or the end) and
 * loses its quotes, keeping its blanks; the first word is never quoted, and a
 * quote inside a word is an ordinary character. Text that directly follows a
 * closing quote is a word of its own: `a "b c"d` gives a, "b c" and d.
 * A text of blanks only gives one empty word.
 * On success *argv is a new array of *argc words followed by a null pointer,
 * the words lying in one buffer that is element 0; free_parsed_array(*argc,
 * *argv) releases both. Returns 0, or -1 with *argc 0, *argv null and
 * nothing allocated for a null or empty string, null outputs or no memory. */
KAV_API int parse_command(const char *string, int *argc, char ***argv) KAV_NOEXCEPT;

/* parse_command on the text command + " " + string, except that no leading
 * blank is dropped: with an empty command element 0 is the blank followed by
 * the first word, and that word also stands alone as element 1. A null
 * command counts as empty. Returns -1 (nothing allocated) when string is
 * null, when both texts are empty, for null outputs or with no memory. */
KAV_API int parse_command_line(const char *command, const char *string, int *argc,
                               char ***argv) KAV_NOEXCEPT;

/* ---- Search and bounded copy ---------------------------------------------- */

/* 1 when one of the n strings of s1 equals s2 under stricmp, else 0 (also for
 * a null array or n below 1). */
KAV_API int searchstr(const char *const *s1, int n, const char *s2) KAV_NOEXCEPT;

/* The last place in s1 where s2 begins, or null when there is none or either
 * is null. An empty s2 gives the terminator of s1. */
KAV_API char *strlstr(const char *s1, const char *s2) KAV_NOEXCEPT;

/* Copies exactly n characters of str2 to str1 (not stopping at a terminator)
 * and writes a terminator after them: str2 must hold n readable bytes and
 * str1 room for n + 1. n below 1 writes the terminator only. Returns 1, or 0
 * with nothing done when either pointer is null. */
KAV_API int strntcpy(char *str1, const char *str2, int n) KAV_NOEXCEPT;

/* Appends as much of s2 to s1 as keeps s1 within m characters (s1 must have
 * room for m + 1). Returns 1, or 0 with nothing done when either is null or
 * s1 already holds m characters or more. */
KAV_API int strmcat(char *s1, const char *s2, int m) KAV_NOEXCEPT;

/* ---- Formatting and matching ----------------------------------------------- */

/* Writes x into str in fixed point with a precision set by significant
 * digits, and returns str (null for a null str). format is "w.s.d": field
 * width w, significant digits s, minimum decimals d; missing numbers (or a
 * null format) count as 0. A width of 0 or less becomes s + 1 and one above
 * 9 becomes 9; the decimals are s less the digits before the point (values
 * below 1e-5 in magnitude count as 0, taken to have 3 such digits), at least
 * d, and the width is at least the decimals. The decimals are kept within 0
 * to 20 and the width at least 1, so str must have room for 64 characters; a
 * NaN or an infinity is printed as the C library writes it. */
KAV_API char *set_num(char *str, const char *format, float x) KAV_NOEXCEPT;

/* Matches a typed answer against num_items names: the position (from 0) of
 * the first name equal to arg under stricmp; else the number arg starts
 * with, when it lies in 1..num_items; else -9999 (also for a null arg). */
KAV_API int chk_arg(const char *arg, const char *const *items, int num_items) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

/* Stream helpers shared by the file readers: bounded line readers, and binary
 * values read and written in a chosen byte order whatever the host's order. */
#ifndef KAV_TOOLS_H
#define KAV_TOOLS_H

#include <kav/kavdefs.h>

/* FILE */
#include <stdio.h>

KAV_BEGIN_DECLS

/* ---- Line readers -----------------------------------------------------------
 * A read takes at most the limit of characters up to the line end and leaves
 * the line end in the stream; the next read passes over it first. Consecutive
 * calls therefore return consecutive lines, a line longer than the limit
 * comes in pieces (the rest with the next call), and an empty line comes back
 * as an empty text, except that an empty first line of a stream is passed
 * over. The line end is the line feed alone: a carriage return before it
 * stays part of the line (fget_rawstring removes it). A read never writes
 * more than limit + 1 characters (the terminator included) into string.
 * At end of file, or for a null stream or buffer, string is left alone and
 * the result is -1. A read that fails gives -1 as well (ferror tells it from
 * the end of the file): a line cut short by the failure is never returned. */

/* Reads the next line, at most 160 characters of it, into string (room for
 * 161). Returns the number of characters read, 0 for an empty line, -1 at end
 * of file. */
KAV_API int fgetline(FILE *ifile, char *string) KAV_NOEXCEPT;

/* As fgetline with a limit of len characters (string has room for len + 1).
 * A len below 1 reads nothing and gives -1, so that a reading loop ends. */
KAV_API int fgetnline(FILE *ifile, char *string, int len) KAV_NOEXCEPT;

/* As fgetnline, but returns 1 when a line was read, 0 for an empty line and
 * -1 at end of file. */
KAV_API int fgetstring(FILE *ifile, char *string, int len) KAV_NOEXCEPT;

/* As fgetstring, then the line is cleaned from its last character back to its
 * first: a carriage return ends the text there, and every other byte below
 * '!' as a signed character (control characters, bytes of 128 and above)
 * becomes a blank. The result is that of the read, so a line holding only a
 * carriage return gives 1 and the empty text. */
KAV_API int fget_rawstring(FILE *ifile, char *string, int len) KAV_NOEXCEPT;

/* Passes over the rest of the current line and its line end. When the stream
 * stands at a line end already (the rest is empty) nothing is passed over:
 * the next read handles that line end. Returns 0, or -1 at end of file, when
 * a read fails or for a null stream. */
KAV_API int fskipline(FILE *ifile) KAV_NOEXCEPT;

/* ---- Byte order -------------------------------------------------------------
 * One process-wide switch says whether values are byte-reversed; it is on
 * until swap_setup says otherwise. */

/* Chooses when values are swapped: swapping goes on, then flag -1 turns it
 * off, flag 1 (data most significant byte first) turns it off on a
 * big-endian host and flag 2 (data least significant byte first) on a
 * little-endian host; any other flag leaves it on. Returns 0. */
KAV_API int swap_setup(int flag) KAV_NOEXCEPT;

/* Reverse the bytes of the 4-, 8- or 2-byte value at val in place. Return 0,
 * or -1 with nothing done when swapping is off or val is null. */
KAV_API int swap_long(void *val) KAV_NOEXCEPT;
KAV_API int swap_double(void *val) KAV_NOEXCEPT;
KAV_API int swap_short(void *val) KAV_NOEXCEPT;

/* Reverse the bytes of each of count consecutive 4- or 2-byte values at val.
 * Return 0, or -1 with nothing done when swapping is off or val is null. */
KAV_API int swap_longs(void *val, int count) KAV_NOEXCEPT;
KAV_API int swap_shorts(void *val, int count) KAV_NOEXCEPT;

/* Read one 4-, 8- or 2-byte value from ifile into buf, byte-reversed when
 * swapping is on. Return the count of items read: 1, or 0 at the end (buf
 * then unchanged); -1 for a null buffer or stream, and when the read fails
 * (buf unchanged: a value cut short by the failure is not one). */
KAV_API int fread_long_swap(void *buf, FILE *ifile) KAV_NOEXCEPT;
KAV_API int fread_double_swap(void *buf, FILE *ifile) KAV_NOEXCEPT;
KAV_API int fread_short_swap(void *buf, FILE *ifile) KAV_NOEXCEPT;

/* Write the 4- or 2-byte value at buf to ofile. When swapping is on the value
 * is byte-reversed in place first, so the caller's variable holds the swapped
 * bytes afterwards. Return the count of items written (1 on success, 0 on a
 * write error); -1 for a null buffer or stream. */
KAV_API int fwrite_long_swap(void *buf, FILE *ofile) KAV_NOEXCEPT;
KAV_API int fwrite_short_swap(void *buf, FILE *ofile) KAV_NOEXCEPT;

/* Exchanges the 4-byte values at a and b. Returns 0 (-1 when either is null). */
KAV_API int fswap(void *a, void *b) KAV_NOEXCEPT;

/* ---- Interpolation ---------------------------------------------------------- */

/* The value at x on the straight line through (x1, y1) and (x2, y2):
 * (x - x1) * (y2 - y1) / (x2 - x1) + y1. -9999 when any argument is missing
 * or x1 equals x2 (no line through one abscissa). */
KAV_API float linear_interp(float x, float x1, float x2, float y1, float y2) KAV_NOEXCEPT;

/* ---- Station identifiers and WMO numbers ------------------------------------
 * A five-character station identifier stands for a WMO block and station
 * number: a letter A to J gives the tens of the block, a digit its units,
 * and three digits the station ("H2558" is 72558). */

/* The WMO number of such an identifier; 99999 when id is null or not of
 * that form. */
KAV_API int stn_id_to_wmo(const char *id) KAV_NOEXCEPT;

/* Writes the identifier of WMO number wmo (0 to 99999) into id (room for 11
 * characters); "--" (no identifier) for any other number. Returns id (null
 * for a null id). */
KAV_API char *stn_wmo_to_id(int wmo, char *id) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

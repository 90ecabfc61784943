/* Upper-air code groups: each sounding level is stored as three five-character
 * groups in the style of the radiosonde code, a pressure/height group
 * ("85512": 850 mb, 1512 m), a temperature/dew-point group ("12456": 12.4 C,
 * dew point 6.4 C) and a wind group ("27615": 275 degrees, 115 knots).
 * Pressure in mb, height in m, temperatures in degrees Celsius, direction in
 * degrees, speed in knots; -9999 is missing. */
#ifndef KAV_UA_READ_H
#define KAV_UA_READ_H

#include <kav/date.h>
#include <kav/kavdefs.h>
#include <kav/ua_calc.h>

KAV_BEGIN_DECLS

/* Sets the upper-air file type in use and returns the previous one. With
 * types 3, 4 and 5 a wholly missing group is written "X", with any other
 * type (0 at start) "99999". */
KAV_API int UPA_set_file_type(int type) KAV_NOEXCEPT;

/* The upper-air file type in use. */
KAV_API int UPA_get_file_type(void) KAV_NOEXCEPT;

/* Decodes the first five characters of a pressure/height group into *pres
 * and *hght. Returns 0 when a pressure was decoded (the height may still be
 * missing), -1 when the group is missing ("X...", pressure code 99,
 * unreadable or null). Unreadable characters other than slashes are warned
 * about. */
KAV_API int decd_ph(const char *str, float *pres, float *hght) KAV_NOEXCEPT;

/* Decodes a temperature/dew-point group into *temp and *dewpt. Returns 0
 * when a temperature was decoded (the dew point may be missing), -1 when the
 * group is missing ("X...", temperature code 999, unreadable or null). */
KAV_API int decd_td(const char *str, float *temp, float *dewpt) KAV_NOEXCEPT;

/* Decodes a wind group into *dir and *spd. Returns 0 when a direction was
 * decoded (the speed may be missing), -1 when the group is missing ("X...",
 * code 999, a speed above 250 knots or a direction above 360, unreadable or
 * null). */
KAV_API int decd_wd(const char *str, float *dir, float *spd) KAV_NOEXCEPT;

/* Encodes a pressure/height group into the module's group text (see
 * encd_group). Returns 0, or -1 when it wrote the missing-group text: both
 * values missing, or a pressure missing, below 1 mb or from 1010 mb up, which
 * the group cannot carry. A missing height is written "/". */
KAV_API int encd_ph(float pres, float hght) KAV_NOEXCEPT;

/* Encodes a temperature/dew-point group. Returns 0, or -1 when it wrote the
 * missing-group text: the temperature missing or outside -99.7..99.9 C. A
 * dew point that is missing, more than a tenth of a degree above the
 * temperature, or 49 degrees or more below it is written as the missing
 * depression 99; one less than a tenth above is saturation (depression 0). */
KAV_API int encd_td(float temp, float dewpt) KAV_NOEXCEPT;

/* Encodes a wind group, the direction rounded to 5 degrees. Returns 0, or -1
 * when it wrote the missing-group text: a negative (or missing) direction or
 * speed, a direction that rounds above 360 or a speed above 250 knots. */
KAV_API int encd_wd(float dir, float spd) KAV_NOEXCEPT;

/* The text of the group the last encoder wrote (empty before the first);
 * module storage, valid until the next encoder call. */
KAV_API const char *encd_group(void) KAV_NOEXCEPT;

/* ---- Sounding text files -------------------------------------------------
 * Two text forms of a whole sounding are read. Files are untrusted: lines are
 * read at most 255 characters at a time (the rest of a longer line is
 * passed over), an unreadable line is warned about and skipped, and nothing
 * read from a file sizes an allocation. */

#define UPA_RAW_FIELDS 7 /* label, P, H, T, Td, Dir, Spd */

/* Opens a sounding file written by the sounding analysis (first line
 * "KAVRAW") for reading. Returns a descriptor (0 to 3), or -1 when the file
 * cannot be opened or read, is not such a file, four are open already or
 * memory runs out (the file is then closed and no descriptor taken). */
KAV_API int UPA_raw_open(const char *filename) KAV_NOEXCEPT;

/* The information text of an open file: the station line without its "!"
 * ("OAX Sounding"), and the date label of its second line. Empty texts for a
 * bad descriptor. */
KAV_API const char *UPA_raw_info(int fd) KAV_NOEXCEPT;
KAV_API const char *UPA_raw_label(int fd) KAV_NOEXCEPT;

/* The number of columns (UPA_RAW_FIELDS) and the name of column field
 * ("Lev", "P", "H", "T", "Td", "Dir", "Spd"; "" out of range). */
KAV_API int UPA_raw_num_fields(int fd) KAV_NOEXCEPT;
KAV_API const char *UPA_raw_field_name(int fd, int field) KAV_NOEXCEPT;

/* The next report of the file: the level's label (at most 5 characters, into
 * station, which holds 6), its pressure, the column number field (2 H, 3 T,
 * 4 Td, 5 Dir, 6 Spd) and its value (-9999 for a "-" column). Each level line
 * gives its five columns in turn. Returns 0, -1 at the end of the file, or -2
 * (reported once) when a read of the file failed. */
KAV_API int UPA_raw_read(int fd, char *station, float *pres, int *field, float *value) KAV_NOEXCEPT;

/* Closes an open file. Returns 0, or -1 for a bad descriptor. */
KAV_API int UPA_raw_close(int fd) KAV_NOEXCEPT;

/* Reads the tabular text form forecast offices exchange: an optional
 * "%TITLE%" line followed by a line with the station and "YYMMDD/HHMM", and
 * levels of six comma-separated numbers (pressure mb, height m, temperature
 * and dew point C, direction degrees, speed knots; -9999 missing) between a
 * "%RAW%" and an "%END%" line. At most max levels go into levels (a warning
 * names the file when there were more); levels without a positive pressure
 * or not above the level before are warned about and skipped. The station
 * (at most id_len - 1 characters) goes into id and the time into date, each
 * when not null. Returns the number of levels, or -1 (with an error) when the
 * file cannot be opened or read, has no "%RAW%" line or memory runs out; id
 * is then empty and date reset, and levels may hold part of the file. */
KAV_API int UPA_read_text(const char *filename, UPA_level *levels, int max, char *id, int id_len,
                          Date *date) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

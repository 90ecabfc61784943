/* Upper-air code groups: each sounding level is stored as three five-character
 * groups in the style of the radiosonde code, a pressure/height group
 * ("85512": 850 mb, 1512 m), a temperature/dew-point group ("12456": 12.4 C,
 * dew point 6.4 C) and a wind group ("27615": 275 degrees, 115 knots).
 * Pressure in mb, height in m, temperatures in degrees Celsius, direction in
 * degrees, speed in knots; -9999 is missing. */
#ifndef KAV_UA_READ_H
#define KAV_UA_READ_H

#include <kav/kavdefs.h>

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

KAV_END_DECLS

#endif

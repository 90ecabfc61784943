/* Building one sounding from a decoded upper-air report, and printing its
 * levels: mandatory and significant levels merged in pressure, heights
 * completed by the hypsometric equation, wind levels given pressures from
 * the temperature levels. Levels run from the ground up; -9999 is missing. */
#ifndef KAV_UA_MERGE_H
#define KAV_UA_MERGE_H

#include <kav/kavdefs.h>
#include <kav/mess.h>
#include <kav/ua_calc.h>
#include <kav/vecttool.h>

KAV_BEGIN_DECLS

/* Merges the report's mandatory and significant levels that have a positive
 * pressure into sm (room for max levels), ordered by decreasing pressure;
 * levels at one pressure become one (fields of the mandatory level where
 * valid). Returns the number of levels written. */
KAV_API int UPA_sm_merge(const UPA_report *report, UPA_level *sm, int max) KAV_NOEXCEPT;

/* Merges the report's mandatory levels that carry a wind and its wind
 * levels into wm (room for max levels), ordered by increasing height (levels
 * without height keep their place by pressure among the mandatory ones).
 * Returns the number of levels written. */
KAV_API int UPA_wm_merge(const UPA_report *report, UPA_level *wm, int max) KAV_NOEXCEPT;

/* Completes missing heights of levels (ordered by decreasing pressure) by
 * the hypsometric equation in the mean virtual temperature, upward from the
 * nearest level below with a height, or downward from the nearest above; the
 * lowest level takes elev when it has no height and elev is known. Returns
 * the number of heights filled. */
KAV_API int UPA_calc_height(UPA_level *levels, int n, float elev) KAV_NOEXCEPT;

/* Gives every wind level without a pressure the pressure of the temperature
 * levels at its height. Returns the number of pressures filled. */
KAV_API int UPA_calc_press(UPA_level *wm, int wm_num, UPA_level *sm, int sm_num) KAV_NOEXCEPT;

/* Prints one level line at the message type: the label (index, or "SFC" for
 * -1, "TROP" for -2, "MWND" for -3), pressure, height, temperature, dew point,
 * direction and speed ("-" for missing). With a negative index below -3 the
 * column heading is printed instead. Returns 0. */
KAV_API int UPA_print_level(M_type type, int index, const UPA_level *lev) KAV_NOEXCEPT;

/* Prints one wind level line: label, pressure, height, direction and speed,
 * and the storm-relative direction and speed when storm is known. With an
 * index below -3 the heading is printed. Returns 0. */
KAV_API int UPA_print_wind(M_type type, int index, const UPA_level *lev,
                           const WIND *storm) KAV_NOEXCEPT;

KAV_END_DECLS

#endif

"""Writes multi.grib1: GRIB edition 1 messages made with ecCodes (centre 7, parameter
table 2) from
tests/data/grib/regular_latlon_surface.grib1 (2 m temperature on a 16 x 31
latitude/longitude grid), for the Python tests of time, step and level
dimensions and of missing values:

- temperature (parameter 11) on isobaric levels 1000, 850 and 500 hPa at steps
  0, 6 and 12 hours, values shifted by level and step;
- 2 m temperature (11, level type 105) at the same steps, with a bit map
  that leaves out the first row and every seventh point;
- geopotential height (7) at 500 hPa, step 0 only.

Run: python3 make_multi.py  (needs the eccodes Python module)."""
import os

import eccodes

here = os.path.dirname(os.path.abspath(__file__))
src = os.path.join(here, "..", "..", "..", "tests", "data", "grib", "regular_latlon_surface.grib1")

with open(src, "rb") as f:
    base = eccodes.codes_grib_new_from_file(f)
values = eccodes.codes_get_values(base)

with open(os.path.join(here, "multi.grib1"), "wb") as out:
    def put(param, ltype, level, step, vals, bitmap=False):
        h = eccodes.codes_clone(base)
        eccodes.codes_set(h, "centre", 7)
        eccodes.codes_set(h, "table2Version", 2)
        eccodes.codes_set(h, "indicatorOfParameter", param)
        eccodes.codes_set(h, "indicatorOfTypeOfLevel", ltype)
        eccodes.codes_set(h, "level", level)
        eccodes.codes_set(h, "P1", step)
        if bitmap:
            eccodes.codes_set(h, "missingValue", 9999.0)
            eccodes.codes_set(h, "bitmapPresent", 1)
        eccodes.codes_set_values(h, vals)
        eccodes.codes_write(h, out)
        eccodes.codes_release(h)

    for step in (0, 6, 12):
        for level in (1000, 850, 500):
            put(11, 100, level, step, values - (1000 - level) / 20.0 + step)
        masked = values + step
        masked[:16] = 9999.0
        masked[::7] = 9999.0
        put(11, 105, 2, step, masked, bitmap=True)
    put(7, 100, 500, 0, values * 20.0)
eccodes.codes_release(base)

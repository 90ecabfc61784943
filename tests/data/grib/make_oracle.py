#!/usr/bin/env python3
"""Writes ../grib_oracle.txt: what ecCodes (grib_ls, grib_get_data) decodes
from the GRIB 1 fixtures here, as rows the GRIB suite reads, so that the
suite runs where ecCodes is absent. Run it from this directory."""
import subprocess

FILES = ["cmc_ps60km.grib", "regular_latlon_surface.grib1", "latlon_scan40.grib1",
         "latlon_scan80.grib1", "latlon_scan20.grib1"]
KEYS = ["Ni", "Nj", "scanningMode", "centre:l", "generatingProcessIdentifier",
        "indicatorOfParameter", "indicatorOfTypeOfLevel:l", "level", "endStep:l",
        "binaryScaleFactor", "decimalScaleFactor", "min", "max", "average"]


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


out = ["# GRIB 1 fixtures decoded by ecCodes (make_oracle.py).",
       "# file NAME nx ny source model var ltype level time quantum min max mean clat clon",
       "# point NAME i j value   (i from the west, j from the north row 0)"]
for f in FILES:
    v = run("grib_get", "-F", "%.10g", "-p", ",".join(KEYS), f).split()
    nx, ny, scan = int(v[0]), int(v[1]), int(v[2])
    e, d = int(v[9]), int(v[10])
    quantum = 2.0 ** e * 10.0 ** (-d)
    pts = []
    for line in run("grib_get_data", "-F", "%.10g", f).splitlines()[1:]:
        p = line.split()
        if len(p) == 3:
            pts.append((float(p[0]), float(p[1]), float(p[2])))
    rows = []
    for k, (lat, lon, val) in enumerate(pts):
        if scan & 0x20:
            i_s, j_s = k // ny, k % ny
        else:
            i_s, j_s = k % nx, k // nx
        i = nx - 1 - i_s if scan & 0x80 else i_s
        j = ny - 1 - j_s if scan & 0x40 else j_s
        rows.append((i, j, val, lat, lon))
    centre = [r for r in rows if r[0] == (nx - 1) // 2 and r[1] == (ny - 1) // 2][0]
    clat, clon = centre[3], centre[4]
    if nx % 2 == 0:  # between two columns: their mean
        other = [r for r in rows if r[0] == nx // 2 and r[1] == (ny - 1) // 2][0]
        clon = (clon + other[4]) / 2
    if clon > 180:
        clon -= 360
    out.append("file %s %d %d %s %s %s %s %s %s %.10g %s %s %s %.4f %.4f" %
               (f, nx, ny, v[3], v[4], v[5], v[6], v[7], v[8], quantum, v[11], v[12], v[13],
                clat, clon))
    step = max(1, len(rows) // 60)
    for r in rows[::step] + [rows[-1]]:
        out.append("point %s %d %d %.10g" % (f, r[0], r[1], r[2]))
open("../grib_oracle.txt", "w").write("\n".join(out) + "\n")

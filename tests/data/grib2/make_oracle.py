#!/usr/bin/env python3
"""Writes ../grib2_oracle.txt: what ecCodes (grib_get, grib_get_data)
decodes from the edition-2 fixtures here and from the larger samples of
Debian's python-grib-doc package, so that the tests compare against it where
ecCodes is absent.

Rows (i from the western column, j from the northern row 0):
  field FILE N nx ny missing min max mean quantum
  point FILE N i j value
  corner FILE N i j lat lon      (geographic position of a grid point)
"""
import subprocess
import sys

EXAMPLES = '/usr/share/doc/python-grib-doc/examples/'
SMALL = ['regular_latlon_surface.grib2', 'll_jpeg.grib2', 'll_ccsds.grib2', 'll_complex.grib2',
         'll_sd1.grib2', 'll_sd2.grib2', 'bm_sd.grib2', 'bm_simple.grib2', 'bm_jpeg.grib2',
         'bm_ccsds.grib2', 'bm_complex.grib2', 'scan40.grib2', 'scan80.grib2', 'scan20.grib2',
         'scan10.grib2', 'lambert.grib2', 'polar_south.grib2']
LARGE = ['reduced_latlon_surface.grib2', 'safrica.grib2', 'gfs.t12z.pgrbf120.2p5deg.grib2']
KEYS = ['Ni', 'Nj', 'iScansNegatively', 'jScansPositively', 'jPointsAreConsecutive',
        'alternativeRowScanning', 'binaryScaleFactor', 'decimalScaleFactor', 'gridType']


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def fields(path):
    out = run('grib_get', '-p', ','.join(KEYS), path)
    return [line.split() for line in out.splitlines() if line.strip()]


def north_up(k, nx, ny, ineg, jpos, jcons, alt):
    line_len = ny if jcons else nx
    line, along = divmod(k, line_len)
    if alt and line % 2:
        along = line_len - 1 - along
    i, j = (line, along) if jcons else (along, line)
    if ineg:
        i = nx - 1 - i
    if jpos:
        j = ny - 1 - j
    return i, j


def main():
    print('# GRIB 2 fixtures decoded by ecCodes (tests/data/grib2/make_oracle.py).')
    print('# field FILE N nx ny missing min max mean quantum')
    print('# point FILE N i j value ; corner FILE N i j lat lon')
    for name in SMALL + LARGE:
        path = (EXAMPLES + name) if name in LARGE else name
        for n, f in enumerate(fields(path)):
            ni, nj, ineg, jpos, jcons, alt, e, d = f[:8]
            grid = f[8]
            data = run('grib_get_data', '-m', '-9999', '-F', '%.10g', '-w', 'count=%d' % (n + 1),
                       path).splitlines()[1:]
            rows = [r.split() for r in data]
            vals = [float(r[2]) for r in rows]
            ok = [v for v in vals if v != -9999]
            quantum = 2.0 ** int(e) * 10.0 ** -int(d)
            reduced = ni == 'MISSING'
            nj = int(nj)
            nx = int(ni) if not reduced else 0
            mean = sum(ok) / len(ok) if ok else -9999
            print('field %s %d %d %d %d %.10g %.10g %.10g %.6g' % (
                name, n, nx, nj, len(vals) - len(ok), min(ok) if ok else -9999,
                max(ok) if ok else -9999, mean, quantum))
            if reduced:
                # Rows of full circles: point k of a row of c lies on column
                # k * nx / c of the widest row.
                lats = [float(r[0]) for r in rows]
                counts = []
                for la in lats:
                    if counts and counts[-1][0] == la:
                        counts[-1][1] += 1
                    else:
                        counts.append([la, 1])
                width = 1000
                start = 0
                for la, c in counts:
                    j = int(round((90 - la) / 0.36))  # rows of no points print nothing
                    if j % 37 == 5 and c:
                        for k in (0, c // 4, c // 2):
                            if (k * width) % c == 0:
                                print('point %s %d %d %d %.10g' % (name, n, k * width // c, j,
                                                                   vals[start + k]))
                    start += c
                continue
            total = nx * nj
            step = max(1, total // (7 if name in LARGE else 23))
            for k in list(range(0, total, step)) + [total - 1]:
                i, j = north_up(k, nx, nj, int(ineg), int(jpos), int(jcons), int(alt))
                print('point %s %d %d %d %.10g' % (name, n, i, j, vals[k]))
            if grid in ('polar_stereographic', 'lambert') and n < 2:
                for k in (0, nx - 1, total - nx, total - 1):
                    i, j = north_up(k, nx, nj, int(ineg), int(jpos), int(jcons), int(alt))
                    lon = float(rows[k][1])
                    if lon > 180:
                        lon -= 360
                    print('corner %s %d %d %d %s %.4f' % (name, n, i, j, rows[k][0], lon))


if __name__ == '__main__':
    sys.exit(main())

#!/usr/bin/env python3
"""Opens a many-message GRIB file and loads every variable, with
engine="kav" and with cfgrib, in the same run.

    PYTHONPATH=build/python python3 bench/xarray_bench.py [--repeat N] [FILE...]

Cases, each run when it can be:
- the GFS sample of python-grib-doc (GRIB edition 2, 2.5-degree global grid),
  once kav decodes GRIB 2 (skipped with a note while it does not);
- a GRIB edition 1 file of 344 messages on the same 144 x 73 grid (6
  variables on 14 pressure levels and 2 at the surface, 4 steps), written to a
  temporary directory with ecCodes' Python module;
- any FILE given.

"cold" opens a file the engine has not seen (cfgrib without an index file);
"warm" opens it again (cfgrib reading the index file it wrote, kav with the
file in the page cache). Times are the best of --repeat runs, in seconds.
"""
import argparse
import os
import sys
import tempfile
import time
import warnings

import numpy as np
import xarray as xr

GFS = "/usr/share/doc/python-grib-doc/examples/gfs.t12z.pgrbf120.2p5deg.grib2"


def make_grib1(path):
    import eccodes
    rng = np.random.default_rng(1)
    h0 = eccodes.codes_grib_new_from_samples("GRIB1")
    for key, value in (("centre", 7), ("table2Version", 2), ("dataRepresentationType", 0),
                       ("Ni", 144), ("Nj", 73),
                       ("latitudeOfFirstGridPointInDegrees", 90.0),
                       ("longitudeOfFirstGridPointInDegrees", 0.0),
                       ("latitudeOfLastGridPointInDegrees", -90.0),
                       ("longitudeOfLastGridPointInDegrees", 357.5),
                       ("iDirectionIncrementInDegrees", 2.5),
                       ("jDirectionIncrementInDegrees", 2.5),
                       ("bitsPerValue", 16), ("dataDate", 20240305), ("dataTime", 1200)):
        eccodes.codes_set(h0, key, value)
    lat = np.linspace(90, -90, 73)[:, None]
    lon = np.linspace(0, 357.5, 144)[None, :]
    base = np.cos(np.radians(lat)) * np.sin(np.radians(2 * lon))
    levels = (1000, 925, 850, 700, 600, 500, 400, 300, 250, 200, 150, 100, 70, 50)
    fields = [(p, 100, lev) for p in (7, 11, 33, 34, 39, 52) for lev in levels]
    fields += [(2, 102, 0), (11, 105, 2)]
    n = 0
    with open(path, "wb") as out:
        for step in (0, 6, 12, 18):
            for param, ltype, level in fields:
                h = eccodes.codes_clone(h0)
                eccodes.codes_set(h, "indicatorOfParameter", param)
                eccodes.codes_set(h, "indicatorOfTypeOfLevel", ltype)
                eccodes.codes_set(h, "level", level)
                eccodes.codes_set(h, "P1", step)
                vals = 250 + param + level / 50.0 + 10 * base + rng.normal(0, 0.5, base.shape)
                eccodes.codes_set_values(h, vals.ravel())
                eccodes.codes_write(h, out)
                eccodes.codes_release(h)
                n += 1
    eccodes.codes_release(h0)
    return n


def load_kav(path):
    ds = xr.open_dataset(path, engine="kav")
    ds.load()
    n = sum(v.size for v in ds.data_vars.values())
    ds.close()
    return n


def load_cfgrib(path, indexpath):
    import cfgrib
    n = 0
    for ds in cfgrib.open_datasets(path, backend_kwargs={"indexpath": indexpath}):
        ds.load()
        n += sum(v.size for v in ds.data_vars.values())
        ds.close()
    return n


def best(fn, repeat):
    times = []
    for _ in range(repeat):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return min(times)


def kav_decodes(path):
    import kav
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            n = len(kav.open(path))
        except kav.KavError:
            return False
    return n > 0 and not any("no decoder" in str(w.message) for w in caught)


def run_case(label, path, repeat, tmp):
    import kav
    messages = len(kav.open(path)) if kav_decodes(path) else 0
    # cold: a copy cfgrib has never indexed, no index file written
    copy = os.path.join(tmp, "cold-" + os.path.basename(path))
    with open(path, "rb") as src, open(copy, "wb") as dst:
        dst.write(src.read())
    idx = os.path.join(tmp, os.path.basename(path) + ".{short_hash}.idx")
    points_k = load_kav(copy)
    points_c = load_cfgrib(copy, "")
    kav_cold = best(lambda: (kav.close_all(), load_kav(copy)), repeat)
    cf_cold = best(lambda: load_cfgrib(copy, ""), repeat)
    load_cfgrib(copy, idx)  # writes the index file
    kav_warm = best(lambda: load_kav(copy), repeat)
    cf_warm = best(lambda: load_cfgrib(copy, idx), repeat)
    print("%s: %s, %d grids, %d values with kav, %d with cfgrib"
          % (label, os.path.basename(path), messages, points_k, points_c))
    print("  %-5s  kav %8.3f s   cfgrib %8.3f s   ratio %5.1fx"
          % ("cold", kav_cold, cf_cold, cf_cold / kav_cold))
    print("  %-5s  kav %8.3f s   cfgrib %8.3f s   ratio %5.1fx"
          % ("warm", kav_warm, cf_warm, cf_warm / kav_warm))
    sys.stdout.flush()


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--repeat", type=int, default=3)
    ap.add_argument("files", nargs="*")
    args = ap.parse_args()
    import kav  # noqa: F401 - fails early without PYTHONPATH=build/python
    with tempfile.TemporaryDirectory() as tmp:
        if os.path.exists(GFS):
            if kav_decodes(GFS):
                run_case("GRIB 2 GFS sample", GFS, args.repeat, tmp)
            else:
                print("GRIB 2 GFS sample: skipped, kav does not decode GRIB edition 2 yet")
        try:
            synth = os.path.join(tmp, "gfs_like.grib1")
            make_grib1(synth)
            run_case("GRIB 1, 344 messages", synth, args.repeat, tmp)
        except ImportError:
            print("GRIB 1 case: skipped, needs the eccodes Python module")
        for f in args.files:
            run_case("file", f, args.repeat, tmp)


if __name__ == "__main__":
    main()

"""The package without xarray: inventories, values, errors and warnings."""
import os
import warnings

import numpy as np
import pytest

import kav
from conftest import data, local


def test_text_grid_inventory_and_values():
    f = kav.open(data("grid", "two.grd"))
    assert f.format_name == "text" and len(f) == 2
    g = f[0]
    assert (g.var, g.ltype, g.level, g.units, g.shape) == (11, 100, 500, "K", (2, 3))
    assert g.date.year == 2024 and g.date.hour == 12
    v = g.values
    assert v.dtype == np.float32 and v.shape == (2, 3)
    # The file's missing value (-9999) arrives as NaN; row 0 is the file's first (north) row.
    assert np.isnan(v[0, 2]) and v[0, 0] == 250.0
    assert f[1].shape == (2, 2)


def test_every_own_format_reads():
    for name, fmt in (("plain.grd", "plain"), ("chars.grd", "char"), ("header.grd4", "header")):
        f = kav.open(data("grid", name))
        assert f.format_name == fmt and len(f) >= 2
        for g in f:
            assert g.values.shape == g.shape


def test_grib_values_against_eccodes():
    eccodes = pytest.importorskip("eccodes")
    for path in (data("grib", "regular_latlon_surface.grib1"), data("grib", "cmc_ps60km.grib"),
                 local("multi.grib1"), data("grib", "latlon_scan40.grib1"),
                 data("grib", "latlon_scan80.grib1")):
        grids = kav.open(path).grids
        with open(path, "rb") as fh:
            for g in grids:
                h = eccodes.codes_grib_new_from_file(fh)
                nx, ny = eccodes.codes_get(h, "Nx"), eccodes.codes_get(h, "Ny")
                ref = eccodes.codes_get_values(h).reshape(ny, nx)
                if eccodes.codes_get(h, "bitmapPresent"):
                    ref[ref == eccodes.codes_get(h, "missingValue")] = np.nan
                if eccodes.codes_get(h, "jScansPositively"):
                    ref = ref[::-1]  # kav's row 0 is the northernmost
                if eccodes.codes_get(h, "iScansNegatively"):
                    ref = ref[:, ::-1]  # and its column 0 the westernmost
                eccodes.codes_release(h)
                np.testing.assert_allclose(g.values, ref, rtol=1e-6, atol=1e-4, equal_nan=True,
                                           err_msg="%s grid %d" % (path, g.num))


def test_grids_read_in_any_order():
    f = kav.open(local("multi.grib1"))
    forward = [g.values for g in f]
    for g in reversed(f.grids):
        np.testing.assert_array_equal(g.values, forward[g.num])
    assert np.isnan(f[3].values[0]).all()  # the bit map leaves out the first row


def truncated(tmp_path, src, size, name):
    with open(src, "rb") as fh:
        body = fh.read()
    out = tmp_path / name
    out.write_bytes(body[:size] if size >= 0 else body + body[:-size])
    return str(out)


def test_truncated_files_raise_with_the_message(tmp_path):
    cases = [
        (data("grib", "cmc_ps60km.grib"), 8000, "cut by the end of the file"),
        (data("grib", "regular_latlon_surface.grib1"), -600, "cut by the end of the file"),
        (data("grid", "two.grd"), 300, "cut short"),
    ]
    for i, (src, size, text) in enumerate(cases):
        path = truncated(tmp_path, src, size, "cut%d%s" % (i, os.path.splitext(src)[1]))
        with pytest.raises(kav.KavError) as err:
            f = kav.open(path)
            for g in f:
                g.values
        assert text in str(err.value)
        assert "_" in str(err.value).split(":")[0]  # names the library function


def test_open_errors(tmp_path):
    for name in ("", "-"):
        with pytest.raises(kav.KavError, match="not standard input"):
            kav.open(name)
    with pytest.raises(kav.KavError, match="GRD_open: Unable to open grid file"):
        kav.open(str(tmp_path / "absent.grb"))
    junk = tmp_path / "junk.txt"
    junk.write_text("hello\n")
    with pytest.raises(kav.KavError, match="GRD_open"):
        kav.open(str(junk))
    # Garbage behind a GRIB mark never brings the interpreter down.
    bad = tmp_path / "bad.grb"
    bad.write_bytes(b"GRIB" + bytes(range(256)) * 8)
    with pytest.raises(kav.KavError):
        for g in kav.open(str(bad)):
            g.values


def test_refused_grids_warn():
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        f = kav.open(data("grib", "ecoclimap_rot_head.grib1"))  # a rotated grid: refused
    assert len(f) == 0
    assert any(issubclass(w.category, kav.KavWarning) and "GRIB_GDB" in str(w.message)
               for w in caught)


def test_many_files_beyond_the_library_table(tmp_path):
    # The library holds 15 files; the package keeps a few open and reopens.
    src = data("grib", "regular_latlon_surface.grib1")
    files = []
    for i in range(20):
        p = tmp_path / ("f%02d.grib1" % i)
        p.write_bytes(open(src, "rb").read())
        files.append(kav.open(str(p)))
    first = files[0][0].values
    for f in files:
        np.testing.assert_array_equal(f[0].values, first)
    kav.close_all()


def test_a_changed_file_is_read_again(tmp_path):
    p = tmp_path / "changing.grib1"
    one = open(data("grib", "regular_latlon_surface.grib1"), "rb").read()
    p.write_bytes(one)
    assert len(kav.open(str(p))) == 1
    before = kav.open(str(p))[0].values
    p.write_bytes(open(data("grib", "cmc_ps60km.grib"), "rb").read() + one)
    f = kav.open(str(p))
    assert len(f) == 2 and f[0].shape == (95, 135)
    np.testing.assert_array_equal(f[1].values, before)


def test_threads_take_turns():
    from concurrent.futures import ThreadPoolExecutor
    paths = [local("multi.grib1"), data("grib", "cmc_ps60km.grib"), data("grid", "two.grd")]
    expected = {p: [g.values for g in kav.open(p)] for p in paths}

    def work(i):
        p = paths[i % len(paths)]
        f = kav.open(p)
        for g in (reversed(f.grids) if i % 2 else f.grids):
            np.testing.assert_array_equal(g.values, expected[p][g.num])
        return True

    with ThreadPoolExecutor(max_workers=4) as pool:
        assert all(pool.map(work, range(24)))

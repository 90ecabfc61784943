"""The xarray backend: against cfgrib, round trips, laziness and Dask."""
import os
import warnings

import numpy as np
import pytest

import kav
from conftest import data, local

xr = pytest.importorskip("xarray")


def grib_files():
    return [
        data("grib", "regular_latlon_surface.grib1"),
        data("grib", "cmc_ps60km.grib"),
        data("grib", "latlon_scan40.grib1"),
        # Not latlon_scan80.grib1: cfgrib lays out the longitudes of a grid
        # scanned westward from west to east with the values unturned (ecCodes'
        # own point list agrees with kav; test_kav.py compares with it).
        local("multi.grib1"),
        # GRIB edition 2: compared once kav decodes it.
        data("grib", "regular_latlon_surface.grib2"),
        "/usr/share/doc/python-grib-doc/examples/gfs.t12z.pgrbf120.2p5deg.grib2",
        "/usr/share/doc/python-grib-doc/examples/safrica.grib2",
    ]


def grib2_parameters():
    """The (discipline, category, number) each parameter name of the package's
    GRIB 2 table stands for: kav names an edition-2 field by that table."""
    lup = os.path.join(os.path.dirname(__file__), "..", "..", "data", "grib2_var.lup")
    codes = {}
    with open(lup) as f:
        for line in f:
            fields = line.split()
            if len(fields) < 5 or line.startswith("#"):
                continue
            codes.setdefault(fields[4], set()).add(tuple(int(x) for x in fields[1:4]))
    return codes


def distance_km(lat1, lon1, lat2, lon2):
    lat1, lon1, lat2, lon2 = map(np.radians, (lat1, lon1, lat2, lon2))
    a = np.sin((lat2 - lat1) / 2) ** 2 + np.cos(lat1) * np.cos(lat2) * np.sin((lon2 - lon1) / 2) ** 2
    return 2 * 6371.0 * np.arcsin(np.sqrt(a))


@pytest.mark.parametrize("path", grib_files(), ids=os.path.basename)
def test_same_values_and_coordinates_as_cfgrib(path):
    cfgrib = pytest.importorskip("cfgrib")
    if not os.path.exists(path):
        pytest.skip("%s is not installed" % path)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        ours = xr.open_dataset(path, engine="kav")
    if not ours.data_vars and any("no decoder" in str(w.message) for w in caught):
        pytest.skip("kav does not decode GRIB edition 2 yet")
    theirs = {}
    keys = ["indicatorOfParameter", "discipline", "parameterCategory", "parameterNumber"]
    for ds in cfgrib.open_datasets(path, backend_kwargs={"indexpath": "", "read_keys": keys}):
        for var in ds.data_vars.values():
            a = var.attrs
            if "GRIB_indicatorOfParameter" in a:  # edition 1
                param = a["GRIB_indicatorOfParameter"]
            else:
                param = (a["GRIB_discipline"], a["GRIB_parameterCategory"],
                         a["GRIB_parameterNumber"])
            theirs[(param, a["GRIB_typeOfLevel"])] = var
    edition2 = grib2_parameters()
    compared = 0
    for name, var in ours.data_vars.items():
        level_type = var.attrs["GRIB_typeOfLevel"]
        candidates = [var.attrs["GRIB_indicatorOfParameter"]]
        candidates += sorted(edition2.get(var.attrs["GRIB_shortName"], ()))
        ref = next((theirs[(p, level_type)] for p in candidates if (p, level_type) in theirs),
                   None)
        if level_type == "potentialVorticity":
            # The level -2 PVU is stored sign-and-magnitude; cfgrib reads it as
            # 2147486 (kav: -2), so the two cannot be lined up by level.
            continue
        if level_type.endswith("Layer"):
            # cfgrib keys a layer by one of its bounds, so layers sharing that
            # bound (sigma 0.44-1 and 0.44-0.72) collide there; kav keeps both.
            continue
        if ref is None:
            # A centre's own parameter table (ECMWF's 167, 2 m temperature, which
            # kav reads as the WMO number 11 at 2 m): files of one variable.
            if len(theirs) != 1 or len(ours.data_vars) != 1:
                continue
            ref = next(iter(theirs.values()))
        # Same dimensions by name; the same coordinate values along each.
        if "y" in ref.dims and ref.latitude[0, 0] < ref.latitude[-1, 0]:
            ref = ref.isel(y=slice(None, None, -1))  # kav's row 0 is the northernmost
        if "latitude" in ref.dims and ref.latitude[0] < ref.latitude[-1]:
            ref = ref.isel(latitude=slice(None, None, -1))
        mine = var
        for dim in mine.dims:
            base = dim.rstrip("0123456789")
            if base != dim:
                mine = mine.rename({dim: base})
        mine = mine.rename({c: c.rstrip("0123456789") for c in mine.coords
                            if c.rstrip("0123456789") != c})
        # A single level kav makes a dimension of length 1 is cfgrib's scalar.
        mine = mine.squeeze([d for d in mine.dims if d not in ref.dims and mine.sizes[d] == 1])
        assert sorted(mine.dims) == sorted(ref.dims), name
        levels = var.attrs["GRIB_typeOfLevel"]
        for c in ("time", "step", "valid_time", levels):
            if c in ref.coords:
                a, b = np.sort(mine[c].values.ravel()), np.sort(ref[c].values.ravel())
                if c == levels:  # levels in other units come to the same within rounding
                    np.testing.assert_allclose(a, b, rtol=1e-12, err_msg=c)
                else:
                    np.testing.assert_array_equal(a, b, err_msg=c)
        lead = [d for d in ref.dims if d in ref.coords and ref[d].ndim == 1
                and d not in ("latitude", "longitude")]
        if lead:
            mine, ref = mine.sortby(lead), ref.sortby(lead)
        if "latitude" in ref.dims:
            np.testing.assert_allclose(mine.latitude, ref.latitude, atol=1e-4)
            np.testing.assert_allclose(np.mod(mine.longitude, 360), np.mod(ref.longitude, 360),
                                       atol=1e-4)
        else:
            # Projected grids: within a tenth of a 60 km mesh (earth radii differ).
            d = distance_km(mine.latitude.values, mine.longitude.values, ref.latitude.values,
                            ref.longitude.values)
            assert np.nanmax(d) < 6.0
        mine = mine.transpose(*ref.dims)
        np.testing.assert_allclose(mine.values, ref.values, rtol=1e-6, atol=1e-4,
                                   equal_nan=True, err_msg=name)
        assert np.isnan(mine.values).sum() == np.isnan(ref.values).sum()
        compared += 1
    assert compared >= 1


def test_dimensions_attributes_and_laziness(monkeypatch):
    calls = []
    real = kav._kav.read_grids

    def counting(path, nums, offsets, firsts, out):
        calls.append(list(nums))
        return real(path, nums, offsets, firsts, out)

    monkeypatch.setattr(kav._kav, "read_grids", counting)
    ds = xr.open_dataset(local("multi.grib1"), engine="kav")
    assert calls == []  # nothing decoded on opening
    t = ds["TMP_isobaricInhPa"]
    assert t.dims == ("step", "isobaricInhPa", "latitude", "longitude")
    assert list(ds.isobaricInhPa.values) == [1000.0, 850.0, 500.0]
    assert [int(s / np.timedelta64(1, "h")) for s in ds.step.values] == [0, 6, 12]
    assert t.attrs["units"] == "K" and t.attrs["long_name"] == "Temperature"
    assert t.attrs["GRIB_indicatorOfParameter"] == 11
    assert t.attrs["GRIB_typeOfLevel"] == "isobaricInhPa"
    assert ds.isobaricInhPa.attrs["units"] == "hPa"
    assert ds.latitude.attrs["units"] == "degrees_north"
    assert ds.time.attrs["standard_name"] == "forecast_reference_time"
    one = t.isel(step=1, isobaricInhPa=2).values
    assert calls == [[6]]  # one grid: step 6 h at 500 hPa is the file's grid 6
    np.testing.assert_array_equal(one, kav.open(local("multi.grib1"))[6].values)
    # The 2 m temperature has its own level type, hence its own variable.
    # Its single level is a dimension of its own: as a scalar coordinate it
    # would be taken for the level of every variable.
    assert ds["TMP_heightAboveGround"].dims == ("step", "heightAboveGround", "latitude",
                                                "longitude")
    assert list(ds.heightAboveGround.values) == [2.0]
    assert "heightAboveGround" not in ds["TMP_isobaricInhPa"].coords
    assert ds["HGT"].dims == ("step1", "isobaricInhPa1", "latitude", "longitude")
    # The one reference time of the file is a scalar.
    assert ds.time.dims == ()


def test_projected_grid_has_2d_coordinates():
    ds = xr.open_dataset(data("grib", "cmc_ps60km.grib"), engine="kav")
    assert ds.latitude.dims == ("y", "x") and ds.longitude.dims == ("y", "x")
    assert ds["WIND"].attrs["GRIB_gridType"] == "polar_stereographic"
    # Row 0 is the northernmost: along the middle column latitude falls.
    mid = ds.sizes["x"] // 2
    assert ds.latitude[0, mid] > ds.latitude[-1, mid]


def test_backend_class_as_engine():
    from kav.xarray_backend import KavBackendEntrypoint
    ds = xr.open_dataset(data("grib", "regular_latlon_surface.grib1"),
                         engine=KavBackendEntrypoint)
    assert "TMP" in ds


@pytest.mark.parametrize("name", ["two.grd", "plain.grd", "chars.grd", "header.grd4"])
def test_own_grid_formats_round_trip_through_netcdf(tmp_path, name):
    pytest.importorskip("netCDF4")
    ds = xr.open_dataset(data("grid", name), engine="kav").load()
    out = tmp_path / (name + ".nc")
    ds.to_netcdf(out)
    back = xr.open_dataset(out).load()
    xr.testing.assert_identical(back, ds)


def test_grib_round_trips_through_netcdf(tmp_path):
    pytest.importorskip("netCDF4")
    ds = xr.open_dataset(local("multi.grib1"), engine="kav").load()
    out = tmp_path / "multi.nc"
    ds.to_netcdf(out)
    xr.testing.assert_identical(xr.open_dataset(out).load(), ds)


def test_truncated_file_raises_through_xarray(tmp_path):
    body = open(data("grib", "cmc_ps60km.grib"), "rb").read()
    cut = tmp_path / "cut.grib"
    cut.write_bytes(body[:5000])
    with pytest.raises(kav.KavError, match="cut by the end of the file"):
        xr.open_dataset(cut, engine="kav")


def split_by_step(tmp_path):
    """multi.grib1's temperatures written as one file per step."""
    src = local("multi.grib1")
    f = kav.open(src)
    body = open(src, "rb").read()
    ends = [g.offset for g in f.grids[1:]] + [len(body)]
    files = {}
    for g, end in zip(f.grids, ends):
        if g.var != 11:
            continue
        files.setdefault(g.time, bytearray()).extend(body[g.offset:end])
    paths = []
    for step, blob in sorted(files.items()):
        p = tmp_path / ("step%02d.grib1" % step)
        p.write_bytes(bytes(blob))
        paths.append(str(p))
    return paths


def test_open_mfdataset_on_a_dask_cluster(tmp_path):
    pytest.importorskip("dask")
    distributed = pytest.importorskip("distributed")
    paths = split_by_step(tmp_path)
    assert len(paths) == 3
    serial = xr.open_mfdataset(paths, engine="kav", combine="nested", concat_dim="step",
                               parallel=False).load()
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        assert len(client.scheduler_info()["workers"]) == 2
        parallel = xr.open_mfdataset(paths, engine="kav", combine="nested", concat_dim="step",
                                     parallel=True)
        assert parallel["TMP_isobaricInhPa"].chunks is not None  # Dask arrays
        parallel = parallel.load()
    xr.testing.assert_identical(parallel, serial)
    whole = xr.open_dataset(local("multi.grib1"), engine="kav")
    np.testing.assert_array_equal(serial["TMP_isobaricInhPa"].values,
                                  whole["TMP_isobaricInhPa"].values)


def test_repeated_grids_warn(tmp_path):
    body = open(data("grib", "regular_latlon_surface.grib1"), "rb").read()
    twice = tmp_path / "twice.grib1"
    twice.write_bytes(body + body)
    with pytest.warns(kav.KavWarning, match="grid 1 has the keys of grid 0"):
        ds = xr.open_dataset(twice, engine="kav")
    assert ds["TMP"].dims == ("latitude", "longitude")

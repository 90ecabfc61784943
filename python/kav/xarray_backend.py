"""The xarray backend of kav: ``xr.open_dataset(path, engine="kav")``.

A Dataset has one variable per variable code and level type of the file (split
again when the grids of one pair differ in size or map). Dimensions:

- ``time`` (reference time), ``step`` (forecast period) and the level, named
  after the level type as ``isobaricInhPa``, ``heightAboveGround`` ...,
  where the variable has several of them; a single value is a scalar
  coordinate. Variables whose times, steps or levels differ get dimensions of
  their own (``isobaricInhPa1``, ``step1`` ...).
- ``latitude``/``longitude`` for latitude-longitude grids, else ``y``/``x``
  with 2-D ``latitude``/``longitude`` coordinates from the projection's
  inverse transform. Row 0 is the northernmost, as the library reads it.

Nothing is decoded until values are asked for: the file is read header-only
when the Dataset is made, and each variable is a lazy array that reads just
the grids an index selects. The arrays pickle (path and grid numbers only), so
``xr.open_mfdataset(files, engine="kav", parallel=True)`` spreads the work
over a Dask cluster's processes.
"""

import os
import warnings

import numpy as np

from . import _kav
from ._errors import KavWarning
from . import open as _open_file

try:
    import xarray as xr
    from xarray.backends import BackendArray, BackendEntrypoint
    from xarray.core import indexing
except ImportError:  # pragma: no cover - the package works without xarray
    xr = None
    BackendArray = object
    BackendEntrypoint = object

MISSING = -9999

# Level types: the names of the coordinate and their units.
LEVEL_NAMES = {
    1: "surface", 2: "cloudBase", 3: "cloudTop", 4: "isothermZero", 5: "adiabaticCondensation",
    6: "maxWind", 7: "tropopause", 8: "nominalTop", 9: "seaBottom", 100: "isobaricInhPa",
    101: "isobaricLayer", 102: "meanSea", 103: "heightAboveSea", 104: "heightAboveSeaLayer",
    105: "heightAboveGround", 106: "heightAboveGroundLayer", 107: "sigma", 108: "sigmaLayer",
    109: "hybrid", 110: "hybridLayer", 111: "depthBelowLand", 112: "depthBelowLandLayer",
    113: "theta", 114: "thetaLayer", 115: "pressureFromGround", 116: "pressureFromGroundLayer",
    117: "potentialVorticity", 160: "depthBelowSea", 200: "atmosphere", 201: "entireOcean",
}
# Level types whose stored values are in other units than the coordinate's:
# sigma is kept in ten-thousandths.
LEVEL_DIVISOR = {107: 10000.0}
LEVEL_ATTRS = {
    100: {"units": "hPa", "positive": "down", "standard_name": "air_pressure",
          "long_name": "pressure"},
    103: {"units": "m", "positive": "up", "standard_name": "height_above_mean_sea_level",
          "long_name": "height above the sea"},
    105: {"units": "m", "positive": "up", "standard_name": "height",
          "long_name": "height above the ground"},
    107: {"units": "1", "positive": "down", "long_name": "sigma level"},
    111: {"units": "cm", "positive": "down", "long_name": "depth below land surface"},
    113: {"units": "K", "positive": "up", "standard_name": "air_potential_temperature",
          "long_name": "potential temperature"},
    160: {"units": "m", "positive": "down", "standard_name": "depth",
          "long_name": "depth below the sea"},
}
_GRID_TYPES = {"latlon": "regular_ll", "pstereo": "polar_stereographic", "merc": "mercator",
               "lamb": "lambert", "lambert": "lambert"}


# Coordinates of the maps met so far, by domain.
_LATLON = {}


def _step_hours(time):
    """Forecast hours of a grid's time key: the hours, or the end of a range
    (R*1000000 + start*1000 + end)."""
    if time is None or time == MISSING or time < 0:
        return None
    return time if time < 1000 else time % 1000


def _domain_key(d):
    return (d["proj"], d["plat"], d["plon"], tuple(d["param"]), d["clat"], d["clon"], d["dx"],
            d["dy"], d["nx"], d["ny"], d["ellipse"])


class KavArray(BackendArray):
    """A variable's values: grids nums (-1 where none) over the leading
    dimensions, each ny x nx, read on demand."""

    def __init__(self, path, nums, offsets, firsts, ny, nx):
        self.path = path
        self.nums = np.asarray(nums, dtype=np.int64)
        self.offsets = np.asarray(offsets, dtype=np.int64)
        self.firsts = np.asarray(firsts, dtype=np.int64)
        self.shape = self.nums.shape + (ny, nx)
        self.dtype = np.dtype(np.float32)

    def __getitem__(self, key):
        return indexing.explicit_indexing_adapter(
            key, self.shape, indexing.IndexingSupport.OUTER, self._raw_indexing)

    def _raw_indexing(self, key):
        lead = len(self.nums.shape)
        picks, squeeze = [], []
        for axis, k in enumerate(key):
            idx = np.arange(self.shape[axis])[k]
            if np.ndim(idx) == 0:
                squeeze.append(axis)
            picks.append(np.atleast_1d(idx))
        nums = self.nums[np.ix_(*picks[:lead])] if lead else self.nums.reshape(())
        offs = self.offsets[np.ix_(*picks[:lead])] if lead else self.offsets.reshape(())
        fsts = self.firsts[np.ix_(*picks[:lead])] if lead else self.firsts.reshape(())
        ny, nx = self.shape[-2:]
        flat, flat_off = nums.ravel(), offs.ravel()
        valid = flat >= 0
        wanted, first, inverse = np.unique(flat[valid], return_index=True, return_inverse=True)
        buf = np.empty((len(wanted), ny, nx), dtype=np.float32)
        if len(wanted):
            _kav.read_grids(self.path, wanted.tolist(), flat_off[valid][first].tolist(),
                            fsts.ravel()[valid][first].tolist(), buf)
        ys, xs = picks[-2], picks[-1]
        if len(ys) != ny or np.any(ys != np.arange(ny)):
            buf = buf[:, ys]
        if len(xs) != nx or np.any(xs != np.arange(nx)):
            buf = buf[:, :, xs]
        if valid.all():
            out = buf if np.array_equal(inverse, np.arange(len(flat))) else buf[inverse]
        else:
            out = np.full((len(flat), len(ys), len(xs)), np.nan, dtype=np.float32)
            out[valid] = buf[inverse]
        out = out.reshape(nums.shape + (len(ys), len(xs)))
        if squeeze:
            out = out.squeeze(axis=tuple(squeeze))
        return out


class _Dims:
    """Dimension and coordinate names of a Dataset being made: a name is
    taken again only for the same values, else a numbered one is found."""

    def __init__(self):
        self.coords = {}

    def name(self, base, values):
        i = 0
        while True:
            name = base if i == 0 else "%s%d" % (base, i)
            have = self.coords.get(name)
            if have is None:
                self.coords[name] = values
                return name
            if _same(have, values):
                return name
            i += 1


def _same(a, b):
    a, b = np.asarray(a), np.asarray(b)
    return a.shape == b.shape and a.dtype == b.dtype and bool(np.all((a == b) | (a != a) & (b != b)))


def _time_values(grids):
    ns = []
    for g in grids:
        ns.append(np.datetime64(g.date, "ns").astype(np.int64) if g.date else
                  np.datetime64("NaT", "ns").astype(np.int64))
    return ns


def build_dataset(path, drop_variables=None):
    f = _open_file(path)
    proj_names = _kav.proj_names()
    drop = set([drop_variables] if isinstance(drop_variables, str) else (drop_variables or ()))

    # Group the grids: variable code, level type, map.
    groups = {}
    for g in f.grids:
        groups.setdefault((g.var, g.ltype, _domain_key(g.domain)), []).append(g)
    abbr_ltypes = {}
    for (var, ltype, _), _g in groups.items():
        abbr_ltypes.setdefault(var, set()).add(ltype)

    dims = _Dims()
    variables = {}
    latlon_cache = _LATLON
    if len(latlon_cache) > 32:
        latlon_cache.clear()
    used_names = set()
    plans = []
    for (var, ltype, dkey), grids in groups.items():
        abbr = _kav.var_abbr(var) if var != MISSING else ""
        base = abbr if abbr else ("v%d" % var if var != MISSING else "unknown")
        if len(abbr_ltypes[var]) > 1 and ltype in LEVEL_NAMES:
            base = "%s_%s" % (base, LEVEL_NAMES[ltype])
        elif len(abbr_ltypes[var]) > 1:
            base = "%s_%d" % (base, ltype)
        name, i = base, 1
        while name in used_names:
            i += 1
            name = "%s_%d" % (base, i)
        used_names.add(name)
        if name in drop:
            continue

        tvals = _time_values(grids)
        svals = [_step_hours(g.time) for g in grids]
        lvals = [g.level for g in grids]
        times = sorted(set(tvals))
        steps = sorted(set(s for s in svals if s is not None))
        # Pressure falls upward: its levels run from the ground up, as
        # cfgrib and most tools show them.
        levels = sorted(set(lvals), reverse=ltype in (100, 107))
        has_step = all(s is not None for s in svals)
        has_level = ltype is not None and ltype > 0 and ltype != MISSING
        axes = []  # (coordinate name, values, each grid's value, coordinate maker)
        axes.append(("time", times, tvals, lambda v: ({"standard_name": "forecast_reference_time",
                                                         "long_name": "initial time of forecast"},
                                                        np.asarray(v, dtype="datetime64[ns]"))))
        if has_step:
            axes.append(("step", steps, svals, lambda v: ({"standard_name": "forecast_period",
                                                           "long_name": "time since forecast_reference_time"},
                                                          np.asarray(v, dtype="timedelta64[h]").astype("timedelta64[ns]"))))
        if has_level:
            lname = LEVEL_NAMES.get(ltype, "level%d" % ltype)
            attrs = dict(LEVEL_ATTRS.get(ltype, {"long_name": lname}))
            attrs["GRIB_indicatorOfTypeOfLevel"] = int(ltype)
            divisor = LEVEL_DIVISOR.get(ltype, 1.0)
            axes.append((lname, levels, lvals,
                         lambda v, a=attrs, k=divisor: (a, np.asarray(v, dtype=np.float64) / k)))
        plans.append((name, var, ltype, dkey, grids, abbr, axes))

    # A single time, step or level is a scalar coordinate when every variable
    # has that one value; else a dimension of length 1 of the variables that
    # have it (a scalar would be taken for every variable's).
    seen = {}
    for plan in plans:
        for base_name, values, _, _ in plan[6]:
            seen.setdefault(base_name, []).append(tuple(values))

    def scalar(base_name, values):
        have = seen.get(base_name, [])
        return len(have) == len(plans) and all(h == tuple(values) for h in have)

    for name, var, ltype, dkey, grids, abbr, axes in plans:
        lead_dims, lead_sizes, index_of = [], [], []
        coords = {}
        for base_name, values, per_grid, make in axes:
            attrs, arr = make(values)
            if len(values) > 1 or not scalar(base_name, values):
                cname = dims.name(base_name, arr)
                lead_dims.append(cname)
                lead_sizes.append(len(values))
                pos = {v: k for k, v in enumerate(values)}
                index_of.append([pos[v] for v in per_grid])
                coords[cname] = xr.Variable((cname,), arr, attrs)
            else:
                cname = dims.name(base_name, arr)
                coords[cname] = xr.Variable((), arr[0], attrs)
        nums = np.full(lead_sizes, -1, dtype=np.int64)
        offsets = np.full(lead_sizes, -1, dtype=np.int64)
        firsts = np.full(lead_sizes, -1, dtype=np.int64)
        for k, g in enumerate(grids):
            at = tuple(ix[k] for ix in index_of)
            if nums[at] < 0:
                nums[at] = g.num
                offsets[at] = g.offset
                firsts[at] = g.first
            else:
                warnings.warn("%s: grid %d has the keys of grid %d (%s); the first is kept"
                              % (os.path.basename(f.path), g.num, nums[at], name), KavWarning, 3)
        # valid_time beside a reference time and a step.
        tname = next((c for c in coords if c == "time" or c.startswith("time")), None)
        sname = next((c for c in coords if c == "step" or c.startswith("step")), None)
        if tname and sname:
            vt = coords[tname] + coords[sname]
            vname = dims.name("valid_time", vt.values)
            coords[vname] = xr.Variable(vt.dims, vt.values,
                                        {"standard_name": "time", "long_name": "time"})

        d = grids[0].domain
        ny, nx = d["ny"], d["nx"]
        proj = proj_names.get(d["proj"], str(d["proj"]))
        if dkey not in latlon_cache:
            try:
                latlon_cache[dkey] = _kav.latlon(d)
            except Exception:  # a map without a transform: no coordinates
                latlon_cache[dkey] = None
        ll = latlon_cache[dkey]
        lat_attrs = {"units": "degrees_north", "standard_name": "latitude", "long_name": "latitude"}
        lon_attrs = {"units": "degrees_east", "standard_name": "longitude", "long_name": "longitude"}
        if d["proj"] == 2 and ll is not None:
            lat1 = np.round(ll[0][:, 0], 6)
            lon = ll[1][0, :]
            lon1 = np.round(lon[0] + np.mod(lon - lon[0], 360.0), 6)
            yname = dims.name("latitude", lat1)
            xname = dims.name("longitude", lon1)
            coords[yname] = xr.Variable((yname,), lat1, lat_attrs)
            coords[xname] = xr.Variable((xname,), lon1, lon_attrs)
        else:
            k = _domain_key(d)
            key = np.asarray(k[:3] + k[3] + k[4:], dtype=np.float64)
            yname = dims.name("y", key)
            xname = "x" if yname == "y" else "x" + yname[1:]
            if ll is not None:
                latn = dims.name("latitude", ll[0])
                lonn = dims.name("longitude", ll[1])
                coords[latn] = xr.Variable((yname, xname), ll[0], lat_attrs)
                coords[lonn] = xr.Variable((yname, xname), ll[1], lon_attrs)

        g0 = grids[0]
        units = g0.units or ""
        attrs = {
            "long_name": _kav.var_name(var) if var != MISSING else name,
            "units": units,
            "GRIB_shortName": abbr or name,
            "GRIB_name": _kav.var_name(var) if var != MISSING else name,
            "GRIB_units": units,
            "GRIB_indicatorOfParameter": int(var),
            "GRIB_indicatorOfTypeOfLevel": int(ltype),
            "GRIB_typeOfLevel": LEVEL_NAMES.get(ltype, str(ltype)),
            "GRIB_centre": int(g0.source),
            "GRIB_generatingProcessIdentifier": int(g0.model),
            "GRIB_gridDefinition": int(g0.type),
            "GRIB_gridType": _GRID_TYPES.get(proj, proj),
            "GRIB_Nx": int(nx),
            "GRIB_Ny": int(ny),
            "kav_info": g0.info,
            "kav_projection": proj,
        }
        if d["dx"] != MISSING:
            attrs["kav_dx"] = float(d["dx"])
            attrs["kav_dy"] = float(d["dy"])
        if not attrs["units"]:
            del attrs["units"]
        data = indexing.LazilyIndexedArray(KavArray(f.path, nums, offsets, firsts, ny, nx))
        var_obj = xr.Variable(tuple(lead_dims) + (yname, xname), data, attrs)
        var_obj.encoding["preferred_chunks"] = {dim: 1 for dim in lead_dims}
        variables[name] = (var_obj, coords)

    all_coords = {}
    for _, (_, coords) in variables.items():
        all_coords.update(coords)
    ds = xr.Dataset({n: v for n, (v, _) in variables.items()}, coords=all_coords)
    ds.attrs["Conventions"] = "CF-1.7"
    ds.attrs["source"] = "kav grid file (%s)" % f.format_name
    ds.attrs["history"] = "read by kav from %s" % os.path.basename(f.path)
    centres = {g.source for g in f.grids}
    if len(centres) == 1:
        ds.attrs["GRIB_centre"] = int(centres.pop())
    ds.set_close(lambda: _kav.close(f.path))
    return ds


class KavBackendEntrypoint(BackendEntrypoint):
    """``engine="kav"``: the package's own grid files, GRIB and netCDF files
    through the kav library."""

    description = "Grid files (kav text and binary grids, GRIB, netCDF) read by the kav library"
    open_dataset_parameters = ("filename_or_obj", "drop_variables")

    def open_dataset(self, filename_or_obj, *, drop_variables=None):
        return build_dataset(os.fspath(filename_or_obj), drop_variables)

    def guess_can_open(self, filename_or_obj):
        try:
            ext = os.path.splitext(os.fspath(filename_or_obj))[1].lower()
        except TypeError:
            return False
        return ext in (".grd", ".grd4", ".grid", ".kavgrid")

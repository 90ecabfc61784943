"""Grid files of the kav meteorological library from Python.

    >>> import kav
    >>> f = kav.open("gfs.grb")
    >>> len(f), f[0].var, f[0].level
    >>> f[0].values            # numpy float32 (ny, nx), NaN where missing, row 0 north

With xarray: ``xr.open_dataset(path, engine="kav")`` (see kav.xarray_backend).
"""

import datetime as _dt
import os as _os
import sys as _sys

import numpy as _np

from ._errors import KavError, KavWarning
from . import _kav


def _find_data_dir():
    """share/kav of the tree the package lies in: build/python/share/kav in a
    build tree, PREFIX/share/kav of an installation."""
    d = _os.path.dirname(_os.path.abspath(__file__))
    for _ in range(6):
        d = _os.path.dirname(d)
        cand = _os.path.join(d, "share", "kav")
        if _os.path.isfile(_os.path.join(cand, "variable.lup")):
            return cand
    return None


_data = _find_data_dir()
if _data:
    _kav.set_data_dir(_data)

__all__ = ["open", "GridFile", "Grid", "KavError", "KavWarning", "close_all"]

#: Format codes of the library's grid files.
FORMAT_NAMES = {1: "plain", 2: "text", 3: "binary", 4: "header", 11: "netcdf", 21: "grib", 22: "char"}
MISSING = -9999


def _date(t):
    year, month, day, hour, minute, sec = t
    if MISSING in (year, month, day):
        return None
    return _dt.datetime(year, month, day, max(hour, 0), max(minute, 0), max(sec, 0))


class Grid:
    """One grid of a file: its header keys, and its values read on demand."""

    __slots__ = ("file", "num", "offset", "first", "type", "source", "version", "datim", "info", "date",
                 "model", "ltype", "level", "time", "var", "units", "domain")

    def __init__(self, file, h):
        self.file = file
        for k in ("num", "offset", "first", "type", "source", "version", "datim", "info", "model",
                  "ltype", "level", "time", "var", "units", "domain"):
            setattr(self, k, h[k])
        self.date = _date(h["date"])

    @property
    def nx(self):
        return self.domain["nx"]

    @property
    def ny(self):
        return self.domain["ny"]

    @property
    def shape(self):
        return (self.ny, self.nx)

    @property
    def values(self):
        """The values as a float32 array (ny, nx): row 0 north, NaN where missing."""
        out = _np.empty((1, self.ny, self.nx), dtype=_np.float32)
        _kav.read_grids(self.file.path, [self.num], [self.offset], [self.first], out)
        return out[0]

    def keys(self):
        return {k: getattr(self, k) for k in self.__slots__ if k not in ("file", "first")}

    def __repr__(self):
        return "<kav.Grid %d: %s, %s, %dx%d>" % (self.num, self.info or self.var, self.datim,
                                                   self.nx, self.ny)


# Inventories of files read before, by path, while the file stays the same
# (device, inode, size and modification time): opening such a file again
# reads no header, as an index file spares other readers the scan.
_INVENTORIES = {}
_INVENTORIES_KEPT = 64


def _inventory(path):
    try:
        st = _os.stat(path)
        key = (st.st_dev, st.st_ino, st.st_size, st.st_mtime_ns)
    except OSError:
        key = None  # the library says why it cannot be opened
    kept = _INVENTORIES.get(path)
    if kept is not None:
        if kept[0] == key:
            return kept[1]
        _kav.close(path)  # the file changed: the library's handle goes too
    result = _kav.inventory(path)
    if key is not None:
        if len(_INVENTORIES) >= _INVENTORIES_KEPT:
            _INVENTORIES.pop(next(iter(_INVENTORIES)))
        _INVENTORIES[path] = (key, result)
    return result


class GridFile:
    """The inventory of a grid file: a sequence of Grid, header-only."""

    def __init__(self, path):
        self.path = _os.fspath(path)
        if self.path in ("", "-"):
            # The library reads such a name as standard input.
            raise KavError("kav.open: a file name is needed, not standard input")
        self.format, headers = _inventory(self.path)
        self.grids = [Grid(self, h) for h in headers]

    @property
    def format_name(self):
        return FORMAT_NAMES.get(self.format, str(self.format))

    def __len__(self):
        return len(self.grids)

    def __getitem__(self, i):
        return self.grids[i]

    def __iter__(self):
        return iter(self.grids)

    def close(self):
        """Releases the library's handle of the file (reads reopen it)."""
        _kav.close(self.path)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __repr__(self):
        return "<kav.GridFile %r: %s, %d grids>" % (self.path, self.format_name, len(self.grids))


def open(path):  # noqa: A001 - the package's entry, as in kav.open(path)
    """Opens a grid file of any format the library reads and lists its grids."""
    return GridFile(path)


def close_all():
    """Closes every file the library holds open for this process and forgets
    the inventories and map coordinates kept."""
    _kav.close_all()
    _INVENTORIES.clear()
    backend = _sys.modules.get(__name__ + ".xarray_backend")
    if backend is not None:
        backend._LATLON.clear()

"""Grid files of the kav meteorological library from Python.

    >>> import kav
    >>> f = kav.open("gfs.grb")
    >>> len(f), f[0].var, f[0].level
    >>> f[0].values            # numpy float32 (ny, nx), NaN where missing, row 0 north

With xarray: ``xr.open_dataset(path, engine="kav")`` (see kav.xarray_backend).
"""

import datetime as _dt

import numpy as _np

from ._errors import KavError, KavWarning
from . import _kav

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

    __slots__ = ("file", "num", "offset", "type", "source", "version", "datim", "info", "date",
                 "model", "ltype", "level", "time", "var", "units", "domain")

    def __init__(self, file, h):
        self.file = file
        for k in ("num", "offset", "type", "source", "version", "datim", "info", "model",
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
        _kav.read_grids(self.file.path, [self.num], [self.offset], out)
        return out[0]

    def keys(self):
        return {k: getattr(self, k) for k in self.__slots__ if k != "file"}

    def __repr__(self):
        return "<kav.Grid %d: %s, %s, %dx%d>" % (self.num, self.info or self.var, self.datim,
                                                   self.nx, self.ny)


class GridFile:
    """The inventory of a grid file: a sequence of Grid, header-only."""

    def __init__(self, path):
        import os
        self.path = os.fspath(path)
        self.format, headers = _kav.inventory(self.path)
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
    """Closes every file the library holds open for this process."""
    _kav.close_all()

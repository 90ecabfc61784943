#!/usr/bin/python3
# Writes cf_xarray.nc the way xarray writes a dataset (netCDF-4 storage,
# int64 times in "hours since", NaN fill values, a packed int16 variable).
# Run with Debian's python3-xarray and python3-netcdf4:
#   /usr/bin/python3 make_xarray.py
import numpy as np
import pandas as pd
import xarray as xr

lat = np.array([10.0, 0.0, -10.0])        # north to south, as many reanalyses
lon = np.array([0.0, 90.0, 180.0, 270.0])
time = pd.date_range("2024-03-05", periods=2, freq="6H")
t, j, i = np.meshgrid(range(2), range(3), range(4), indexing="ij")
tp = (100.5 + 20 * t + 4 * j + i).astype("float32")
tp[1, 2, 3] = np.nan
t2m = 273.15 + 0.5 * (t + j + i)
ds = xr.Dataset(
    {
        "tp": (("time", "latitude", "longitude"), tp,
               {"long_name": "Total precipitation", "units": "mm"}),
        "t2m": (("time", "latitude", "longitude"), t2m,
                {"standard_name": "air_temperature", "units": "K"}),
    },
    coords={"time": time, "latitude": ("latitude", lat, {"units": "degrees_north"}),
            "longitude": ("longitude", lon, {"units": "degrees_east"})},
)
ds.to_netcdf("cf_xarray.nc", engine="netcdf4", encoding={
    "time": {"units": "hours since 2024-03-05 00:00:00"},
    "t2m": {"dtype": "int16", "scale_factor": 0.01, "add_offset": 273.15, "_FillValue": -32767},
})

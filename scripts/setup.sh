#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing kav needs, when
# they are missing. Run as root (or through sudo).
#   --python  also the Python package's: pybind11, numpy, xarray, Dask, and
#             what its tests compare with (cfgrib, ecCodes, netCDF4, pytest)
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libnetcdf-dev libopenjp2-7-dev libaec-dev
  clang-format
  man-db groff-base
)
if [ "${1:-}" = "--python" ]; then
  packages+=(
    python3-dev pybind11-dev python3-numpy python3-xarray python3-dask python3-distributed
    python3-cfgrib python3-eccodes python3-netcdf4 python3-pytest
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  log=$(mktemp)
  if ! { $SUDO apt-get update -qq && \
         $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
    tail -n 30 "$log"
    rm -f "$log"
    echo "setup: installing packages failed" >&2
    exit 1
  fi
  rm -f "$log"
  echo "setup: done"
fi

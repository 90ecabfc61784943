#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing kav needs, when
# they are missing. Run as root (or through sudo).
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libnetcdf-dev libopenjp2-7-dev libaec-dev
  clang-format
  man-db groff-base
)

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

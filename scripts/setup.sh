#!/usr/bin/env bash
# Installs the Debian packages the project needs (only the missing ones),
# then configures and builds it.
#
#   scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
#
# BUILD_DIR defaults to "build".  Set KESTREL_SKIP_APT=1 to skip the package step,
# KESTREL_FUZZ=1 to install clang and its run-time libraries as well, which the
# fuzz targets need (fuzz/run.sh).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${1:-build}"
shift || true

packages=(
  build-essential cmake clang-format
  libsqlite3-dev sqlite3
  libicu-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  python3 python3-dbfread python3-dbf
  # Independent DBF readers of the reader tests: ogr2ogr, and LibreOffice
  # Calc with its dBASE driver (82 MB, about 20 s to install).
  gdal-bin libreoffice-calc-nogui libreoffice-base-drivers
)
if [[ "${KESTREL_FUZZ:-0}" == 1 ]]; then
  packages+=(clang-14 libclang-rt-14-dev)
fi

if [[ "${KESTREL_SKIP_APT:-0}" != 1 ]]; then
  missing=()
  for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
fi

cd "$here"
cmake -S . -B "$build_dir" "$@"
cmake --build "$build_dir" -j "$(nproc)"

#!/usr/bin/env bash
# Installs the Debian packages rangeloom needs (when root) and builds it.
#   scripts/setup.sh run    packages to build and run the viewer (with Xvfb for headless use)
#   scripts/setup.sh test   packages to build and run the whole test suite
#   scripts/setup.sh package  packages to build the programs and their Debian package
# Idempotent: when everything is installed it only runs an incremental build.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MODE=${1:-run}

RUN_PKGS=(g++ cmake make freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev libfast-float-dev libpugixml-dev
          libpng-dev libfreetype-dev fonts-dejavu-core libeigen3-dev libnanoflann-dev
          libtbb-dev nlohmann-json3-dev xvfb xauth xdotool imagemagick pybind11-dev python3-dev python3-numpy)
TEST_PKGS=("${RUN_PKGS[@]}" libgtest-dev libgmock-dev libbenchmark-dev
           x11-utils assimp-utils cloudcompare clang clang-format libclang-rt-14-dev llvm python3
           dpkg-dev file man-db python3-dask python3-distributed)

case "$MODE" in
  run) PKGS=("${RUN_PKGS[@]}") ;;
  test) PKGS=("${TEST_PKGS[@]}") ;;
  package) PKGS=("${RUN_PKGS[@]}" dpkg-dev file) ;;
  *) echo "usage: $0 run|test|package" >&2; exit 2 ;;
esac

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "rangeloom needs these Debian packages: ${missing[*]}" >&2
    echo "Install them as root, then run this command again:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# build DIR [cmake options...]: configure once, then build incrementally.
build() {
  local dir=$1
  shift
  if [ ! -f "$ROOT/$dir/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  fi
  cmake --build "$ROOT/$dir" -j "$(nproc)" -- --no-print-directory >/dev/null
}

if [ "$MODE" = run ]; then
  build build -DRANGELOOM_TESTS=OFF -DRANGELOOM_BENCH=OFF
fi

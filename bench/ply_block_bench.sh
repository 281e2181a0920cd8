#!/usr/bin/env bash
# Block reads against instance-by-instance reads of binary little-endian
# range images from the page cache, in one run of ply_bench per set: four
# generated campaign scans of 1000 x 1000, and the scans of SET.conf (any
# encoding) copied into binary little-endian first.
#   bench/ply_block_bench.sh BUILD [SET.conf] [-- BENCHMARK_OPTIONS...]
set -euo pipefail
BUILD=${1:?usage: bench/ply_block_bench.sh BUILD [SET.conf] [-- BENCHMARK_OPTIONS...]}
shift
SET=
if [ $# -gt 0 ] && [ "$1" != -- ]; then SET=$1; shift; fi
[ "${1:-}" = -- ] && shift
OPTIONS=("$@")
DATA=$BUILD/bench-data/campaign-1000x1000-4
if [ ! -f "$DATA/campaign.conf" ]; then
  mkdir -p "$(dirname "$DATA")"
  "$BUILD/tools/campaign/rangeloom-campaign" "$DATA" --stations 4 --raster 1000x1000 >/dev/null
fi
echo "== generated campaign scans: $DATA"
"$BUILD/bench/ply_bench" "${OPTIONS[@]}" "$DATA"/scan*.ply
if [ -n "$SET" ]; then
  TMP=$(mktemp -d)
  trap 'rm -rf "$TMP"' EXIT
  dir=$(dirname "$SET")
  for name in $(awk '$1 == "bmesh" { print $2 }' "$SET"); do
    [ -f "$name" ] || name=$dir/$name
    "$BUILD/tools/rangeloom-plyconvert" "$name" "$TMP/$(basename "$name")" binary_little_endian
  done
  echo "== $SET, in binary little-endian"
  "$BUILD/bench/ply_bench" "${OPTIONS[@]}" "$TMP"/*.ply
fi

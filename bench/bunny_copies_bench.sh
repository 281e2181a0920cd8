#!/usr/bin/env bash
# rangeloom-clean --summary --quiet on a scan set listed K times in one
# configuration, each copy shifted by 0.5 m along x so that copies do not
# overlap: time and peak memory per point as the set grows K-fold.
#   bench/bunny_copies_bench.sh BUILD SET.conf [K...] [-- CLEAN_ARGS...]
# K defaults to 1 5 20. The configurations are written into a temporary folder
# beside nothing else (scan names are resolved beside SET.conf).
set -euo pipefail
BUILD=${1:?usage: bench/bunny_copies_bench.sh BUILD SET.conf [K...] [-- CLEAN_ARGS...]}
SET=${2:?usage: bench/bunny_copies_bench.sh BUILD SET.conf [K...] [-- CLEAN_ARGS...]}
shift 2
COPIES=()
CLEAN_ARGS=()
while [ $# -gt 0 ]; do
  if [ "$1" = -- ]; then shift; CLEAN_ARGS=("$@"); break; fi
  COPIES+=("$1")
  shift
done
[ ${#COPIES[@]} -gt 0 ] || COPIES=(1 5 20)
REPEATS=${REPEATS:-3}
. "$(dirname "$0")/clean_measure.sh"
find_clean "$BUILD"
SETDIR=$(cd "$(dirname "$SET")" && pwd)
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

echo "rangeloom-clean --summary --quiet ${CLEAN_ARGS[*]}: $SET listed K times, best of $REPEATS"
measure_header
per_copy=$(scan_points "$SET")
for k in "${COPIES[@]}"; do
  conf=$TMP/copies-$k.conf
  # Scan names made absolute; tx moved by 0.5 m per copy.
  awk -v k="$k" -v dir="$SETDIR" '$1 == "bmesh" { rec[n++] = $0 } END {
    for (c = 0; c < k; ++c)
      for (i = 0; i < n; ++i) {
        split(rec[i], f, " ")
        name = f[2] ~ /^\// ? f[2] : dir "/" f[2]
        printf "bmesh %s %.9g %s %s %s %s %s %s\n", name, f[3] + 0.5 * c, f[4], f[5], f[6], f[7], f[8], f[9]
      }
  }' "$SET" >"$conf"
  scans=$(grep -c '^bmesh' "$conf")
  measure "k=$k" "$scans" $((per_copy * k)) "$conf"
done

#!/usr/bin/env bash
# The export of rangeloom-clean is read by an independent PLY reader (assimp)
# as a point cloud with the scan's point count.
. "$(dirname "$0")/clean_lib.sh"
command -v assimp >/dev/null || { echo "SKIP: assimp is not installed"; exit 77; }
clean_init clean-export-assimp --scans 3 --cols 48 --rows 48
clean_run 0 --export --out x sample.conf
for s in scan00 scan01 scan02; do
  points=$(awk -v f="$s.ply" '$1 == f { print $2 }' "$OUT/stdout")
  [ -n "$points" ] || fail "no table row for $s"
  report=$(assimp info "$OUT/set/x/$s.values.ply" -r 2>/dev/null) || fail "assimp cannot read $s.values.ply"
  vertices=$(echo "$report" | sed -n 's/^Vertices: *//p')
  kind=$(echo "$report" | sed -n 's/^Primitive Types: *//p')
  [ "$vertices" = "$points" ] || fail "$s.values.ply: assimp reads $vertices points, the scan has $points"
  [ "$kind" = points ] || fail "$s.values.ply: assimp reads primitive types '$kind'"
done
echo PASS

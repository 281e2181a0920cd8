#!/usr/bin/env bash
# The export and the merged cloud of rangeloom-clean are read by an
# independent PLY reader (assimp) as point clouds with the scan's point
# count, and the kept (or, with --keep-tossed, all) points of every scan.
. "$(dirname "$0")/clean_lib.sh"
command -v assimp >/dev/null || { echo "SKIP: assimp is not installed"; exit 77; }
clean_init clean-export-assimp --scans 3 --cols 48 --rows 48
clean_run 0 --export --out x --merge x/all.ply sample.conf
for s in scan00 scan01 scan02; do
  points=$(awk -v f="$s.ply" '$1 == f { print $2 }' "$OUT/stdout")
  [ -n "$points" ] || fail "no table row for $s"
  report=$(assimp info "$OUT/set/x/$s.values.ply" -r 2>/dev/null) || fail "assimp cannot read $s.values.ply"
  vertices=$(echo "$report" | sed -n 's/^Vertices: *//p')
  kind=$(echo "$report" | sed -n 's/^Primitive Types: *//p')
  [ "$vertices" = "$points" ] || fail "$s.values.ply: assimp reads $vertices points, the scan has $points"
  [ "$kind" = points ] || fail "$s.values.ply: assimp reads primitive types '$kind'"
done
assimp_points() {
  local report
  report=$(assimp info "$1" -r 2>/dev/null) || fail "assimp cannot read $1"
  echo "$report" | sed -n 's/^Vertices: *//p'
}
kept=$(awk '$1 == "total" { print $2 - $4 }' "$OUT/stdout")
all=$(awk '$1 == "total" { print $2 }' "$OUT/stdout")
[ "$(assimp_points "$OUT/set/x/all.ply")" = "$kept" ] || fail "all.ply: assimp does not read the $kept kept points"
expect_stdout "merged $kept points of 3 scans into x/all.ply"
clean_run 0 -q --merge everything.ply --keep-tossed sample.conf
[ "$(assimp_points "$OUT/set/everything.ply")" = "$all" ] || fail "everything.ply: assimp does not read all $all points"
echo PASS

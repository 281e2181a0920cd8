#!/usr/bin/env bash
# The file-writing tools (rangeloom-plyconvert, rangeloom-torus,
# rangeloom-sample) replace their output only when the whole of it is
# written: a write that fails (here: the file size limit) leaves the earlier
# files, even the converter's input itself, as they were, and no temporary
# file behind.
set -u
: "${RANGELOOM_PLYCONVERT:?RANGELOOM_PLYCONVERT must name rangeloom-plyconvert}"
: "${RANGELOOM_SAMPLE:?RANGELOOM_SAMPLE must name the sample generator}"
: "${RANGELOOM_TORUS:?RANGELOOM_TORUS must name the torus generator}"
. "$(dirname "$0")/common.sh"
OUT=${E2E_OUT:-$(mktemp -d)}/tools_replace
rm -rf "$OUT"
mkdir -p "$OUT"

"$RANGELOOM_SAMPLE" --out "$OUT" --scans 1 --cols 64 --rows 64 >/dev/null || fail "no sample scan"
scan=$OUT/scan00.ply
cp "$scan" "$OUT/before.ply"

"$RANGELOOM_PLYCONVERT" "$scan" "$OUT/big" binary_big_endian || fail "conversion failed"
head -c 40 "$OUT/big.ply" | grep -q "format binary_big_endian 1.0" || fail "big.ply is not big-endian"

"$RANGELOOM_TORUS" "$OUT/torus.m" 3 3 || fail "no small torus"
cp "$OUT/torus.m" "$OUT/torus-before.m"
cp "$OUT/sample.conf" "$OUT/conf-before"

# limited STATUS PROGRAM ARGS...: runs PROGRAM with at most 16 KiB per file
# (none of the files below fits) and checks its exit status.
limited() {
  local want=$1
  shift
  (
    ulimit -f 16
    trap '' XFSZ
    exec "$@"
  ) >"$OUT/stdout" 2>"$OUT/stderr"
  local status=$?
  [ $status = "$want" ] || fail "status $status, not $want, for a write that failed: $*"
  grep -q "cannot write" "$OUT/stderr" || fail "the failure is not named: $*"
}
limited 3 "$RANGELOOM_PLYCONVERT" "$OUT/big.ply" "$scan" ascii
limited 1 "$RANGELOOM_TORUS" "$OUT/torus.m" 200 100
limited 1 "$RANGELOOM_SAMPLE" --out "$OUT" --scans 2 --seed 7
cmp -s "$scan" "$OUT/before.ply" || fail "a failed write changed scan00.ply"
cmp -s "$OUT/torus.m" "$OUT/torus-before.m" || fail "a failed write changed torus.m"
cmp -s "$OUT/sample.conf" "$OUT/conf-before" || fail "a failed write changed sample.conf"
[ "$(ls "$OUT" | grep -c tmp)" = 0 ] || fail "a temporary file was left: $(ls "$OUT")"
echo "PASS"

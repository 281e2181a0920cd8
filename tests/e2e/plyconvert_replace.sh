#!/usr/bin/env bash
# rangeloom-plyconvert replaces its output only when the whole file is
# written: a write that fails (here: the file size limit) leaves the earlier
# file, even the input itself, as it was, and no temporary file behind.
set -u
: "${RANGELOOM_PLYCONVERT:?RANGELOOM_PLYCONVERT must name rangeloom-plyconvert}"
: "${RANGELOOM_SAMPLE:?RANGELOOM_SAMPLE must name the sample generator}"
. "$(dirname "$0")/common.sh"
OUT=${E2E_OUT:-$(mktemp -d)}/plyconvert_replace
rm -rf "$OUT"
mkdir -p "$OUT"

"$RANGELOOM_SAMPLE" --out "$OUT" --scans 1 --cols 64 --rows 64 >/dev/null || fail "no sample scan"
scan=$OUT/scan00.ply
cp "$scan" "$OUT/before.ply"

"$RANGELOOM_PLYCONVERT" "$scan" "$OUT/big" binary_big_endian || fail "conversion failed"
head -c 40 "$OUT/big.ply" | grep -q "format binary_big_endian 1.0" || fail "big.ply is not big-endian"

# 16 KiB at most per file: the text copy of the scan does not fit.
(
  ulimit -f 16
  trap '' XFSZ
  exec "$RANGELOOM_PLYCONVERT" "$OUT/big.ply" "$scan" ascii
) 2>"$OUT/stderr"
status=$?
[ $status = 3 ] || fail "status $status, not 3, for a write that failed"
grep -q "cannot write .*scan00.ply" "$OUT/stderr" || fail "the failure is not named: $(cat "$OUT/stderr")"
cmp -s "$scan" "$OUT/before.ply" || fail "the failed write changed scan00.ply"
[ "$(ls "$OUT" | grep -c tmp)" = 0 ] || fail "a temporary file was left: $(ls "$OUT")"
echo "PASS"

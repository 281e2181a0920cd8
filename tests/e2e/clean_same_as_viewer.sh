#!/usr/bin/env bash
# At the same threshold rangeloom-clean writes byte for byte the files that
# the viewer's 'p' key writes: at the default threshold and after two presses
# of 't' (--steps -2). Its verbose transcript is the viewer's console output.
. "$(dirname "$0")/lib.sh"
: "${RANGELOOM_CLEAN:?RANGELOOM_CLEAN must name the rangeloom-clean binary}"
: "${RANGELOOM_SAMPLE:?RANGELOOM_SAMPLE must name the sample generator}"
e2e_init clean-same-as-viewer
VIEWER=$OUT/viewer
mkdir -p "$VIEWER"
"$RANGELOOM_SAMPLE" --out "$VIEWER" >/dev/null 2>&1 || fail "rangeloom-sample failed"
SCANS=$(sed -n 's/^bmesh \(scan[0-9]*\)\.ply .*/\1/p' "$VIEWER/sample.conf")
[ -n "$SCANS" ] || fail "no scans in the sample configuration"

all_written() {
  local s
  for s in $SCANS; do [ -f "$VIEWER/$s.cln.ply" ] || return 1; done
}

# keep FOLDER: moves the viewer's cleaned files into FOLDER once all are there.
keep() {
  wait_for all_written || fail "the viewer did not write every cleaned file"
  mkdir -p "$OUT/$1"
  mv "$VIEWER"/*.cln.ply "$OUT/$1/"
}

RUNDIR=$VIEWER e2e_start sample.conf
e2e_wait_window
e2e_key p
keep viewer-default
e2e_key t t p
keep viewer-down2
e2e_quit

"$RANGELOOM_CLEAN" --out "$OUT/batch-default" "$VIEWER/sample.conf" >"$OUT/batch.out" 2>&1 ||
  fail "rangeloom-clean failed: $(cat "$OUT/batch.out")"
"$RANGELOOM_CLEAN" --steps -2 --out "$OUT/batch-down2" "$VIEWER/sample.conf" >"$OUT/batch.out" 2>&1 ||
  fail "rangeloom-clean --steps -2 failed: $(cat "$OUT/batch.out")"
differing=0
for s in $SCANS; do
  cmp "$OUT/viewer-default/$s.cln.ply" "$OUT/batch-default/$s.cln.ply" ||
    fail "$s.cln.ply differs from the viewer's at the default threshold"
  cmp "$OUT/viewer-down2/$s.cln.ply" "$OUT/batch-down2/$s.cln.ply" ||
    fail "$s.cln.ply differs from the viewer's after 't' 't'"
  cmp -s "$OUT/batch-default/$s.cln.ply" "$OUT/batch-down2/$s.cln.ply" || differing=$((differing + 1))
done
# The lower threshold tosses more points, so the comparison above tells the
# two thresholds apart.
[ "$differing" -gt 0 ] || fail "the two thresholds gave the same files"

# The viewer's output up to its first threshold line is the transcript of
# loading and analysing; the batch tool prints it in verbose mode, then a
# line end and its own report.
end=$(grep -bo 'Toss threshold is' "$OUT/stdout" | head -1 | cut -d: -f1)
[ -n "$end" ] || fail "the viewer printed no threshold line"
head -c "$end" "$OUT/stdout" >"$OUT/viewer.transcript"
(cd "$VIEWER" && "$RANGELOOM_CLEAN" -v -n sample.conf) >"$OUT/batch.verbose" 2>&1 ||
  fail "rangeloom-clean -v failed"
head -c "$end" "$OUT/batch.verbose" | cmp - "$OUT/viewer.transcript" ||
  fail "the verbose transcript differs from the viewer's console output"
tail -c "+$((end + 1))" "$OUT/batch.verbose" | head -2 | grep -q '^removal threshold ' ||
  fail "the report does not follow the transcript on a line of its own"
echo PASS

#!/usr/bin/env bash
# The run script's headless path: without DISPLAY, the viewer runs under its
# own Xvfb on the sample set, and a screenshot of the drawn scans is saved.
. "$(dirname "$0")/lib.sh"
: "${RANGELOOM_SAMPLE:?}"
OUT=${E2E_OUT:-$(mktemp -d)}/headless-run
rm -rf "$OUT"
mkdir -p "$OUT/sample"
"$RANGELOOM_SAMPLE" --out "$OUT/sample" || fail "cannot generate the sample set"
cd "$OUT/sample" || fail "no sample folder"
env -u DISPLAY RANGELOOM_SCREENSHOT="$OUT/shot.png" \
  bash "$E2E_DATA/../../../scripts/headless-run.sh" "$RANGELOOM" sample.conf >"$OUT/stdout" 2>"$OUT/stderr" ||
  fail "the headless run failed"
grep -q "Screenshot of the rangeloom window saved to $OUT/shot.png" "$OUT/stdout" || fail "no screenshot line"
[ "$(e2e_lit_pixels "$OUT/shot.png")" -gt 1000 ] || fail "the screenshot shows no scans"
grep -q "Threshold for point removal" "$OUT/stdout" || fail "the viewer's report is missing"
echo PASS

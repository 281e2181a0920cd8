#!/usr/bin/env bash
# A lone E57 file (named in capitals: the extension is taken in any case)
# opens in the viewer as the configuration of its scans: the transcript is the
# PLY form's golden transcript with each file's header report replaced by the
# scan's (file, format, raster, pose) and "Adding scan N of FILE"; the scans
# are drawn, and 'p' writes STEM-NN.cln.ply beside the file.
. "$(dirname "$0")/lib.sh"
: "${RANGELOOM_SAMPLE:?}" "${SCAN_FIXTURE:?}"
e2e_init viewer-scan-file
mkdir -p "$OUT/set"
"$RANGELOOM_SAMPLE" --out "$OUT/set" >/dev/null || fail "cannot generate the sample set"
"$SCAN_FIXTURE" "$OUT/set/sample.conf" "$OUT/set/SITE" || fail "scan_fixture failed"
mv "$OUT/set/SITE.e57" "$OUT/set/SITE.E57"
RUNDIR=$OUT/set e2e_start SITE.E57
analysed() { grep -qaF "Analyzing image 5 based on image 4" "$OUT/stdout" && tail -c 4 "$OUT/stdout" | grep -q '100%'; }
WAIT_SECONDS=60 wait_for analysed || fail "the analysis did not finish"
e2e_wait_window
e2e_shot_until "$OUT/scans.png" '[ "$(e2e_lit_pixels "$SHOT")" -gt 1000 ]' || fail "the scans are not drawn"
e2e_key p
cleaned_all() { [ "$(ls "$OUT"/set/SITE-0?.cln.ply 2>/dev/null | wc -l)" = 6 ]; }
wait_for cleaned_all || fail "'p' did not write six cleaned scans"
e2e_quit

# The file-specific report lines of each scan, in both transcripts, give way
# to one marker line, and the golden's key lines go; everything else must
# agree byte for byte.
grep -c '^format E57$' "$OUT/stdout" | grep -qx 6 || fail "not six scans reported"
grep -qx 'Adding scan 6 of SITE.E57' "$OUT/stdout" || fail "no 'Adding scan 6' line"
strip() {
  sed -E -e '/^(version|type|element|property|comment =|obj_info =|format|raster|pose) /d' \
    -e 's/^Reading coordinates from .*/(scan)/' -e '/^Adding /d' -e 's/Toss threshold is [0-9.]+//' "$1" |
    grep -v '^$'
}
if ! cmp -s <(strip "$E2E_DATA/sample.conf.stdout") <(strip "$OUT/stdout"); then
  diff -u <(strip "$E2E_DATA/sample.conf.stdout") <(strip "$OUT/stdout") | head -40
  fail "the E57 file's transcript differs from the PLY form's beyond the header reports"
fi

echo PASS

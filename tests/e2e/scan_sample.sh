#!/usr/bin/env bash
# The generated sample scan set end to end: the golden transcript of loading
# and analysing it, the threshold keys, 'p' writing a cleaned range image
# beside every scan, and a cleaned file loading back into rangeloom (and into
# an independent reader, assimp, when it is installed).
. "$(dirname "$0")/lib.sh"
: "${RANGELOOM_SAMPLE:?}"
e2e_init scan-sample
mkdir -p "$OUT/sample"
"$RANGELOOM_SAMPLE" --out "$OUT/sample" || fail "cannot generate the sample set"
RUNDIR=$OUT/sample e2e_start sample.conf
analysed() { grep -qaF "Analyzing image 5 based on image 4" "$OUT/stdout" && tail -c 4 "$OUT/stdout" | grep -q '100%'; }
WAIT_SECONDS=60 wait_for analysed || fail "the analysis did not finish"
e2e_wait_window

# The scans are shown at once, with their tossed points marked.
e2e_shot_until "$OUT/scans.png" '[ "$(e2e_lit_pixels "$SHOT")" -gt 1000 ]' || fail "the scans are not drawn"
cp "$OUT/scans.png" "$OUT/../sample-scans.png" 2>/dev/null

e2e_key T
e2e_wait_stdout "Toss threshold is "
e2e_key t
two_lines() { [ "$(grep -ac 'Toss threshold is ' "$OUT/stdout")" = 2 ]; }
WAIT_SECONDS=10 wait_for two_lines || fail "'t' printed no line"
e2e_key p
cleaned_all() { [ "$(ls "$OUT"/sample/scan0?.cln.ply 2>/dev/null | wc -l)" = 6 ]; }
wait_for cleaned_all || fail "'p' did not write six cleaned scans"
e2e_quit
e2e_golden "$E2E_DATA/sample.conf.stdout"

# A cleaned scan is a range image again: it loads with its kept points.
kept=$(sed -n 's/^element vertex //p' "$OUT/sample/scan00.cln.ply")
source=$(sed -n 's/^element vertex //p' "$OUT/sample/scan00.ply")
[ "$kept" -lt "$source" ] || fail "nothing was tossed from scan00 ($kept of $source kept)"
[ "$kept" -gt $((source * 9 / 10)) ] || fail "too much was tossed from scan00 ($kept of $source kept)"
kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
e2e_init scan-sample-reload
RUNDIR=$OUT/../scan-sample/sample e2e_start scan00.cln.ply
e2e_wait_window
e2e_quit
grep -qx "Vertices: $kept" "$OUT/stdout" || fail "the cleaned scan did not load with $kept points"
grep -qx "Finding faces..." "$OUT/stdout" || fail "the cleaned scan was not read as a range image"

if command -v assimp >/dev/null; then
  # -r: a raw import; the default validation refuses meshes without faces (point clouds).
  assimp info "$OUT/../scan-sample/sample/scan00.cln.ply" -r >"$OUT/assimp.txt" 2>&1 || fail "assimp cannot read the cleaned scan: $(cat "$OUT/assimp.txt")"
  grep -Eq "Vertices: +$kept\b" "$OUT/assimp.txt" || fail "assimp reads another vertex count: $(grep -i vertices "$OUT/assimp.txt")"
fi
echo PASS

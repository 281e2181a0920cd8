#!/usr/bin/env bash
# `rangeloom tetra.ply` (an ordinary mesh) and `rangeloom raster.ply` (a
# small range image) print exactly their golden transcripts; key 1 shows the
# loaded mesh.
. "$(dirname "$0")/lib.sh"
for name in tetra.ply raster.ply; do
  e2e_init "ply-golden-$name"
  RUNDIR=$E2E_DATA e2e_start "$name"
  e2e_wait_window
  e2e_key 1
  e2e_shot_until "$OUT/shown.png" '[ "$(e2e_lit_pixels "$SHOT")" -gt 0 ]' || fail "key 1 shows nothing"
  e2e_quit
  e2e_golden "$E2E_DATA/$name.stdout"
  kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
done
echo PASS

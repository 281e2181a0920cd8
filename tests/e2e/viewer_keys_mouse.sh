#!/usr/bin/env bash
# The viewer as a user drives it, on a generated torus: key 1 shows and hides
# the mesh, 'e' steps through the display modes, 'v' switches the projection,
# 'h' prints the help text, a left drag moves the mesh in Translate mode and
# orbits the camera after "Rotate" is picked in the menu, 'q' ends with 0.
. "$(dirname "$0")/lib.sh"
: "${RANGELOOM_TORUS:?}"
e2e_init viewer-keys-mouse
"$RANGELOOM_TORUS" "$OUT/torus.m" 48 24 || fail "cannot generate the torus"
RUNDIR=$OUT e2e_start torus.m
e2e_wait_window
e2e_shot "$OUT/hidden.png"
[ "$(e2e_lit_pixels "$OUT/hidden.png")" = 0 ] || fail "the mesh shows before key 1"

lit() { e2e_lit_pixels "$SHOT"; }
e2e_key 1
e2e_shot_until "$OUT/shown.png" '[ "$(lit)" -gt 50000 ]' || fail "key 1 did not show the mesh"
e2e_key 1
e2e_shot_until "$OUT/hidden-again.png" '[ "$(lit)" = 0 ]' || fail "key 1 again did not hide it"

# Step back so that the whole torus is in view.
e2e_key 1 d d d d d d d d d d d d d d d d d d d d
e2e_shot_until "$OUT/whole.png" '[ "$(lit)" -gt 2000 ] && [ "$(lit)" -lt 200000 ]' ||
  fail "zooming out did not bring the whole torus into view"
# A slow build may still be drawing the last steps of the zoom.
e2e_shot_settled "$OUT/whole.png" || fail "the zoomed-out view never settled"
SMOOTH=$(e2e_lit_pixels "$OUT/whole.png")

# 'e' twice: from smooth shading (mode 4) to single points (mode 0).
e2e_key e e
e2e_shot_until "$OUT/points.png" '[ "$(lit)" -lt $((SMOOTH / 3)) ]' ||
  fail "'e' did not switch to points ($(e2e_lit_pixels "$SHOT") lit pixels vs $SMOOTH)"
e2e_key e e e e
e2e_shot_until "$OUT/smooth-again.png" '[ "$(lit)" = "$SMOOTH" ]' || fail "five more 'e' did not come back to smooth"

# 'v': the orthographic volume spans 4 units, the perspective one far more.
e2e_key v
e2e_shot_until "$OUT/ortho.png" '[ "$(e2e_diff_pixels "$OUT/whole.png" "$SHOT")" -gt 1000 ]' ||
  fail "'v' did not change the projection"
e2e_key v
e2e_shot_until "$OUT/perspective.png" '[ "$(e2e_diff_pixels "$OUT/whole.png" "$SHOT")" = 0 ]' ||
  fail "'v' again did not restore the perspective view"

# 'h' prints the help text, byte for byte.
HELP=$E2E_DATA/../../app/data/help.txt
e2e_key h
help_printed() { tail -c "$(wc -c <"$HELP")" "$OUT/stdout" | cmp -s - "$HELP"; }
wait_for help_printed || fail "the help text differs from $HELP"

# Translate (the initial mode): a drag to the right moves the mesh right.
read -r CX CY < <(e2e_centroid "$OUT/perspective.png")
e2e_drag 350 350 385 350
e2e_shot_until "$OUT/moved.png" 'read -r X Y < <(e2e_centroid "$SHOT"); [ "$X" -gt $((CX + 15)) ] && [ "$(e2e_lit_pixels "$SHOT")" -gt $((SMOOTH / 2)) ]' ||
  fail "a Translate drag did not move the mesh to the right"
e2e_key r
e2e_shot_until "$OUT/reset.png" '[ "$(e2e_diff_pixels "$OUT/perspective.png" "$SHOT")" = 0 ]' ||
  fail "'r' did not bring the mesh back"

# Rotate: the same kind of drag, upwards by about a radian, now orbits the
# camera: the torus is seen from below, its ring covering more of the window
# than the side view, in the middle (a Translate drag would have moved the
# side view up without changing its outline).
e2e_menu 1
e2e_drag 350 460 350 265
# (Wait for the redraw after the release: during the drag only every 20th
# point is drawn.)
e2e_shot_until "$OUT/orbited.png" '[ "$(e2e_lit_pixels "$SHOT")" -gt $((SMOOTH * 12 / 10)) ]' ||
  fail "a Rotate drag did not show the torus from below (it should cover more of the window)"
read -r X Y < <(e2e_centroid "$OUT/orbited.png")
[ "$X" -gt $((CX - 10)) ] && [ "$X" -lt $((CX + 10)) ] || fail "the orbit moved the mesh sideways"
cp "$OUT/whole.png" "$OUT/../viewer-torus.png" 2>/dev/null

e2e_quit
echo PASS

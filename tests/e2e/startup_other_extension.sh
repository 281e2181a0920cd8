#!/usr/bin/env bash
# A name with an unknown extension, or without one, loads nothing and prints
# nothing: an empty black window.
. "$(dirname "$0")/lib.sh"
for name in model.obj README; do
  e2e_init "startup-other-extension-$name"
  e2e_start "$name"
  e2e_wait_window
  e2e_shot "$OUT/shot.png"
  [ "$(e2e_lit_pixels "$OUT/shot.png")" = 0 ] || fail "window for $name is not black"
  e2e_quit
  [ ! -s "$OUT/stdout" ] || fail "unexpected output for $name"
  kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
done
echo PASS

#!/usr/bin/env bash
# Without an argument: exactly the two usage lines, and an empty black
# 700 x 700 window titled "Mesh display"; 'q' ends with status 0.
. "$(dirname "$0")/lib.sh"
e2e_init startup-no-argument
e2e_start
e2e_wait_window
[ "$(e2e_window_size)" = "700x700" ] || fail "window is $(e2e_window_size), want 700x700"
e2e_shot "$OUT/shot.png"
[ "$(e2e_lit_pixels "$OUT/shot.png")" = 0 ] || fail "the empty window is not black"
e2e_quit
e2e_golden "$E2E_DATA/no-argument.stdout"
echo PASS

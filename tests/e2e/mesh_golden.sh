#!/usr/bin/env bash
# `rangeloom tetra.m` prints exactly its golden transcript; the same file
# named with an upper-case extension reaches the same loader.
. "$(dirname "$0")/lib.sh"
e2e_init mesh-golden
RUNDIR=$E2E_DATA e2e_start tetra.m
e2e_wait_window
e2e_quit
e2e_golden "$E2E_DATA/tetra.m.stdout"

kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; XVFB_PID=""
e2e_init mesh-golden-uppercase
cp "$E2E_DATA/tetra.m" "$OUT/TETRA.M"
e2e_start TETRA.M
e2e_wait_window
e2e_quit
sed 's/tetra\.m/TETRA.M/' "$E2E_DATA/tetra.m.stdout" >"$OUT/expected"
e2e_golden "$OUT/expected"
echo PASS

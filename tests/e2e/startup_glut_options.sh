#!/usr/bin/env bash
# GLUT's own options and no file: GLUT takes them out of the command line, and
# the viewer prints exactly the two usage lines, as without an argument.
. "$(dirname "$0")/lib.sh"
e2e_init startup-glut-options

# An iconic window is never viewable: wait for the usage lines (or the end of
# the program), check that it still runs, and end it.
e2e_start -iconic
wait_for eval 'stdout_has "Accepts .m, .ply, and .conf files" || ! kill -0 "$PROG_PID" 2>/dev/null'
kill -0 "$PROG_PID" 2>/dev/null || fail "rangeloom -iconic ended by itself"
e2e_golden "$E2E_DATA/no-argument.stdout"
kill "$PROG_PID"
wait "$PROG_PID" 2>/dev/null
PROG_PID=""

e2e_start -geometry 600x600
e2e_wait_window
e2e_quit
e2e_golden "$E2E_DATA/no-argument.stdout"
echo PASS

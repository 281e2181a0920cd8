#!/usr/bin/env bash
# The real program on bad input. A file that cannot be opened or read (a
# PLY header that never ends included) is named on standard output and the
# viewer opens without it ('q' ends with status 0); a PLY file whose data
# ends early ends the program through the PLY library, with its message on
# standard error and its exit status, and a line after it naming the file.
. "$(dirname "$0")/lib.sh"
e2e_init bad-input
DATA="$OUT/data"
mkdir -p "$DATA"
RUNDIR=$DATA
XYZ='property float x\nproperty float y\nproperty float z\n'
printf "ply\nformat ascii 1.0\nelement vertex 2\n${XYZ}end_header\n1 2 3\n" >"$DATA/cut.ply"
printf "ply\nformat binary_little_endian 1.0\nelement vertex 2\n${XYZ}end_header\n" >"$DATA/cut-binary.ply"
printf '\0\0\200\77\0\0\0\100\0\0\100\100\0\0' >>"$DATA/cut-binary.ply"
printf "ply\nformat ascii 1.0\nelement vertex 2\n${XYZ}" >"$DATA/no-end-header.ply"
: >"$DATA/empty.ply"
printf '\177ELF\2\1\1\0\0\377\376\nply\n' >"$DATA/garbage.ply"
: >"$DATA/empty.conf"

# expect_viewer FILE EXPECTED-STDOUT: the viewer opens; 'q' ends it with 0.
expect_viewer() {
  e2e_start "$1"
  e2e_wait_window
  e2e_quit
  printf '%b' "$2" >"$OUT/expected"
  e2e_golden "$OUT/expected"
}

# expect_fatal FILE STATUS STDERR STDOUT-END: the program ends by itself;
# standard output ends with the report of the file being read.
expect_fatal() {
  e2e_start "$1"
  WAIT_SECONDS=60 wait_for eval '! kill -0 "$PROG_PID" 2>/dev/null' || fail "$1: still running"
  local rc=0
  wait "$PROG_PID" || rc=$?
  PROG_PID=""
  [ "$rc" = "$2" ] || fail "$1: exit status $rc, not $2"
  [ "$(cat "$OUT/stderr")" = "$3" ] || fail "$1: standard error differs"
  printf '%b' "$4" >"$OUT/expected-end"
  [ "$(tail -c "$(wc -c <"$OUT/expected-end")" "$OUT/stdout")" = "$(cat "$OUT/expected-end")" ] ||
    fail "$1: standard output does not end with: $(cat "$OUT/expected-end")"
  [ -z "$(ls "$DATA" | grep cln)" ] || fail "$1: a file was written"
}

expect_viewer missing.ply 'Reading coordinates from missing.ply\nCould not open file missing.ply\nfile missing.ply\n'
expect_viewer empty.ply 'Reading coordinates from empty.ply\nCould not read file empty.ply\nfile empty.ply\n'
expect_viewer garbage.ply 'Reading coordinates from garbage.ply\nCould not read file garbage.ply\nfile garbage.ply\n'
expect_viewer missing.conf 'Could not open file missing.conf\nNo scan has points: nothing to analyse.\n'
expect_viewer empty.conf 'Threshold for point removal:  0.002000\nNo scan has points: nothing to analyse.\n'
expect_viewer no-end-header.ply 'Reading coordinates from no-end-header.ply\nCould not read file no-end-header.ply: its header has no end_header line (the file ends inside it)\nfile no-end-header.ply\n'
HEADER_END='element vertex 2\n'
damaged() { printf "%s\nrangeloom: %s: its data is damaged or ends early (the PLY library's message above)" "$1" "$2"; }
expect_fatal cut.ply 255 "$(damaged 'ply_get_element: unexpected end of file' cut.ply)" "$HEADER_END"
expect_fatal cut-binary.ply 1 "$(damaged 'PLY ERROR: fread() failed -- aborting.' cut-binary.ply)" "$HEADER_END"
# In a configuration the scans load on several threads; a damaged one still
# ends the program after the reports of the scans before it, as if they had
# been read one after the other, and the scans after it are not reported.
printf "ply\nformat ascii 1.0\nelement vertex 1\n${XYZ}end_header\n1 2 3\n" >"$DATA/good.ply"
printf 'bmesh good.ply 0 0 0 0 0 0 1\nbmesh cut.ply 0 0 0 0 0 0 1\nbmesh good.ply 0 0 0 0 0 0 1\n' \
  >"$DATA/damaged.conf"
expect_fatal damaged.conf 255 "$(damaged 'ply_get_element: unexpected end of file' cut.ply)" \
  "Adding PLY mesh from good.ply\nReading coordinates from cut.ply\nversion 1.000000\ntype 1\n$HEADER_END"
echo PASS

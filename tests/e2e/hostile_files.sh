#!/usr/bin/env bash
# Arrangements of files that must not destroy a scan or stop a program:
# the viewer's 'p' beside a scan whose name is another scan's cleaned name,
# and devices, FIFOs, folders and huge files named as scans or as the
# configuration, in the viewer and in rangeloom-clean (neither may hang).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/clean_lib.sh"
e2e_init hostile-files
SET=$OUT/set
mkdir -p "$SET"
"$RANGELOOM_SAMPLE" --out "$SET" --scans 3 --cols 48 --rows 48 >/dev/null 2>&1 || fail "rangeloom-sample failed"
RUNDIR=$SET
POSE='0 0 0 0 0 0 1'

# 'p': scan00.cln.ply is scan 2 of the configuration and the cleaned name of
# scan 1. It is named and kept; the others are written.
cp "$SET/scan01.ply" "$SET/scan00.cln.ply"
printf "bmesh scan00.ply $POSE\nbmesh scan00.cln.ply $POSE\nbmesh scan02.ply $POSE\n" >"$SET/overlap.conf"
e2e_start overlap.conf
e2e_wait_window
e2e_key p
e2e_wait_stdout "Could not write scan00.cln.ply: it is also scan scan00.cln.ply"
e2e_quit
cmp -s "$SET/scan01.ply" "$SET/scan00.cln.ply" || fail "'p' wrote over the scan scan00.cln.ply"
for f in scan00.cln.cln.ply scan02.cln.ply; do
  [ -s "$SET/$f" ] || fail "'p' did not write $f"
done
ls "$SET" | grep -q tmp && fail "a temporary file was left behind"

# Special files as scans: named for what they are, never read; the viewer
# opens with the scans that can be read.
mkfifo "$SET/fifo.ply" "$SET/fifo.conf"
mkdir "$SET/folder.ply"
truncate -s 2G "$SET/huge.ply"  # no PLY file: refused at its first word, never read whole
printf "bmesh /dev/zero $POSE\nbmesh fifo.ply $POSE\nbmesh folder.ply $POSE\nbmesh huge.ply $POSE\nbmesh scan00.ply $POSE\nbmesh scan01.ply $POSE\n" \
  >"$SET/special.conf"
e2e_start special.conf
e2e_wait_window
e2e_quit
for line in "Could not open file /dev/zero: it is a character device, not a regular file" \
            "Could not open file fifo.ply: it is a FIFO, not a regular file" \
            "Could not open file folder.ply: it is a folder, not a regular file" \
            "Could not read file huge.ply" "Adding PLY mesh from scan01.ply"; do
  stdout_has "$line" || fail "the viewer did not say: $line"
done
e2e_start fifo.conf
e2e_wait_window
e2e_quit
stdout_has "Could not open file fifo.conf: it is a FIFO, not a regular file" || fail "fifo.conf not named"

# rangeloom-clean refuses them all with status 2.
clean_run 2 /dev/zero
expect_stderr "/dev/zero is a character device, not a scan configuration"
clean_run 2 fifo.conf
expect_stderr "fifo.conf is a FIFO, not a scan configuration"
clean_run 2 special.conf
expect_stderr "4 of 6 scans of special.conf cannot be read; nothing written:"
expect_stderr "/dev/zero: it is a character device, not a regular file"
expect_stderr "fifo.ply: it is a FIFO, not a regular file"
expect_stderr "huge.ply: not a PLY file the library accepts"
ls "$SET" | grep -q 'scan01.cln.ply' && fail "rangeloom-clean wrote a file"

# An output folder spelt through one that does not exist is judged as it
# will be: here the scans' own folder, where scan00.cln.ply is a scan.
clean_run 2 --out missing/.. overlap.conf
expect_stderr "cannot write missing/../scan00.cln.ply: it is also scan scan00.cln.ply"
[ -e "$SET/missing" ] && fail "the output folder was made for a refused run"
echo PASS

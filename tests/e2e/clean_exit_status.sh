#!/usr/bin/env bash
# rangeloom-clean's exit statuses and what each leaves behind: success, bad
# usage, unreadable input (nothing written at all) and files that cannot be
# written (the others still are, the failed ones are named).
. "$(dirname "$0")/clean_lib.sh"
clean_init clean-exit-status --scans 3 --cols 48 --rows 48
SET=$OUT/set

# Nothing beside the scans (the runs that write use folders of their own).
no_cleaned_files() {
  local written
  written=$(find "$SET" -maxdepth 1 -name '*.cln.ply' -o -maxdepth 1 -name '*.values.ply' -o \
    -maxdepth 1 -name '*.tmp*')
  [ -z "$written" ] || fail "files were written: $written"
}

# Success: one cleaned file per scan, the table, no transcript, and nothing on
# standard error (it is not a terminal, so no progress bar either).
clean_run 0 --out ok sample.conf
for s in scan00 scan01 scan02; do
  [ -s "$SET/ok/$s.cln.ply" ] || fail "ok/$s.cln.ply missing"
done
expect_stdout "removal threshold "
grep -Eq "^file +points +measured +tossed +median +p95 +written$" "$OUT/stdout" || fail "no table header"
expect_stdout "ok/scan02.cln.ply"
grep -q '^total ' "$OUT/stdout" || fail "no total line"
grep -qF "Reading coordinates" "$OUT/stdout" && fail "the loaders' transcript was printed"
[ -s "$OUT/stderr" ] && fail "standard error is not empty"

# The thread count does not change a byte.
clean_run 0 --threads 1 --out one sample.conf
for s in scan00 scan01 scan02; do
  cmp -s "$SET/ok/$s.cln.ply" "$SET/one/$s.cln.ply" || fail "$s differs with one thread"
done

# Summary only: the table, no file, no folder.
clean_run 0 --summary --out none sample.conf
[ -e "$SET/none" ] && fail "--summary made the output folder"
expect_stdout "scan01.ply"
no_cleaned_files

# Quiet prints nothing; verbose adds the viewer's transcript.
clean_run 0 -q -n sample.conf
[ -s "$OUT/stdout" ] && fail "--quiet printed something"
clean_run 0 -v -n sample.conf
expect_stdout "Reading coordinates from scan00.ply"
expect_stdout "Analyzing image 2 based on image 1"
expect_stdout "removal threshold "

clean_run 0 --version
grep -q '^rangeloom-clean [0-9]' "$OUT/stdout" || fail "no version"
clean_run 0 --help
expect_stdout "Exit status:"

# Bad usage.
clean_run 1 --bogus sample.conf
expect_stderr "unknown option '--bogus'"
expect_stderr "Try 'rangeloom-clean --help'"
clean_run 1
expect_stderr "no scan configuration given"

# Unreadable input: status 2 and nothing written, not even the folder.
clean_run 2 --out m missing.conf
expect_stderr "cannot read the scan configuration missing.conf: No such file or directory"
[ -e "$SET/m" ] && fail "the output folder was made for a missing configuration"

sed 's/scan01\.ply/gone.ply/' "$SET/sample.conf" >"$SET/gone.conf"
clean_run 2 gone.conf
expect_stderr "1 of 3 scans of gone.conf cannot be read; nothing written:"
expect_stderr "gone.ply: No such file or directory"
no_cleaned_files

head -c "$(( $(stat -c %s "$SET/scan01.ply") / 2 ))" "$SET/scan01.ply" >"$SET/cut.ply"
sed 's/scan01\.ply/cut.ply/' "$SET/sample.conf" >"$SET/cut.conf"
# The PLY library's fatal end inside a loader is a failure like the others:
# named after the library's own message, nothing left allocated.
clean_run 2 --export cut.conf
expect_stderr "1 of 3 scans of cut.conf cannot be read; nothing written:"
expect_stderr "cut.ply: its data is damaged or ends early (1 later scan not read)"
no_cleaned_files

echo "not a range scan" >"$SET/junk.ply"
sed 's/scan02\.ply/junk.ply/' "$SET/sample.conf" >"$SET/junk.conf"
clean_run 2 junk.conf
expect_stderr "junk.ply: not a PLY file the library accepts"
no_cleaned_files

echo "camera 0 0 0 0 0 0 1" >"$SET/empty.conf"
clean_run 2 empty.conf
expect_stderr "empty.conf names no scans"

# The same scan twice would write one file twice.
grep scan00 "$SET/sample.conf" >"$SET/twice.conf"
grep scan00 "$SET/sample.conf" >>"$SET/twice.conf"
clean_run 2 twice.conf
expect_stderr "cannot write scan00.cln.ply: it is also the file written for another scan"
no_cleaned_files
# Refused before a scan is loaded: a damaged scan named after them is not read.
echo "bmesh cut.ply 0 0 0 0 0 0 1" >>"$SET/twice.conf"
clean_run 2 twice.conf
expect_stderr "cannot write scan00.cln.ply: it is also the file written for another scan"
grep -qF "cannot be read" "$OUT/stderr" && fail "the scans were loaded before the clash was found"

# An output folder that cannot be made (its parent is a regular file, which
# stops root too): status 3.
touch "$SET/plain"
clean_run 3 --out plain/sub sample.conf
expect_stderr "cannot make the output folder plain/sub: Not a directory"

# One file that cannot be written: it is named, the others are written.
mkdir -p "$SET/part/scan01.cln.ply"
clean_run 3 --out part --export sample.conf
expect_stderr "Could not write part/scan01.cln.ply: Is a directory"
expect_stderr "1 of 6 files could not be written"
grep -q '^scan01\.ply .* FAILED ' "$OUT/stdout" || fail "the table does not mark scan01 FAILED"
for f in scan00.cln.ply scan02.cln.ply scan00.values.ply scan01.values.ply scan02.values.ply; do
  [ -s "$SET/part/$f" ] || fail "part/$f was not written"
done
ls "$SET/part" | grep -q tmp && fail "a temporary file was left behind"
echo PASS

#!/usr/bin/env bash
# rangeloom-register on a generated sample set moved off its poses: the
# refined configuration, what it keeps of the original, and the exit
# statuses with what each leaves behind.
set -u
: "${RANGELOOM_REGISTER:?RANGELOOM_REGISTER must name the rangeloom-register binary}"
: "${RANGELOOM_CLEAN:?RANGELOOM_CLEAN must name the rangeloom-clean binary}"
: "${RANGELOOM_SAMPLE:?RANGELOOM_SAMPLE must name the sample generator}"
: "${RANGELOOM_PERTURB:?RANGELOOM_PERTURB must name rangeloom-perturb}"
. "$(dirname "$0")/common.sh"

OUT=${E2E_OUT:-$(mktemp -d)}/register-exit-status
rm -rf "$OUT"
mkdir -p "$OUT/set"
SET=$OUT/set
"$RANGELOOM_SAMPLE" --out "$SET" --cols 64 --rows 64 >/dev/null 2>&1 || fail "rangeloom-sample failed"

run() {  # STATUS ARGS...: runs rangeloom-register in the set's folder
  local want=$1 rc
  shift
  (cd "$SET" && exec "$RANGELOOM_REGISTER" "$@") >"$OUT/stdout" 2>"$OUT/stderr" </dev/null
  rc=$?
  [ "$rc" = "$want" ] || fail "exit status $rc instead of $want for: rangeloom-register $*"
}
expect_stdout() { grep -qF -- "$1" "$OUT/stdout" || fail "standard output lacks: $1"; }
expect_stderr() { grep -qF -- "$1" "$OUT/stderr" || fail "standard error lacks: $1"; }
no_new_files() {
  local extra
  extra=$(cd "$SET" && ls | grep -v -e '^scan[0-9]*\.ply$' -e '^sample\.' -e '^start\.conf$' \
    -e '^start\.registered\.conf$' -e '^one\.conf$' -e '^zero\.conf$' -e '^gone\.conf$' -e '^far\.conf$')
  [ -z "$extra" ] || fail "files were left behind: $extra"
}

# A start 2 degrees and 2 mm off, with a comment and a camera record.
"$RANGELOOM_PERTURB" "$SET/sample.conf" "$SET/start.conf" 2 0.002 1 || fail "perturb failed"

# Success: the table, NAME.registered.conf with the header first and every
# other line as it was, every scan but the first moved.
run 0 start.conf
expect_stdout "registered 6 scans of start.conf in "
expect_stdout "scan00.ply"
expect_stdout "fixed"
expect_stdout "written start.registered.conf"
# (but the reader's warning about the comment's words, which no record uses)
grep -v 'warning: start.conf, line 1: words not used by any record: # perturbed' "$OUT/stderr" |
  grep -q . && fail "standard error holds more than the comment's warning"
head -1 "$SET/start.registered.conf" | grep -qx '# rangeloom-register: poses refined with scan00.ply held fixed' ||
  fail "no header line"
diff <(grep -v '^bmesh' "$SET/start.conf" | grep -v '^# perturbed') \
     <(tail -n +2 "$SET/start.registered.conf" | grep -v '^bmesh' | grep -v '^# perturbed') >/dev/null ||
  fail "the other records changed"
grep '^bmesh scan00.ply' "$SET/start.conf" | cmp -s - <(grep '^bmesh scan00.ply' "$SET/start.registered.conf") ||
  fail "the fixed scan's record changed"
[ "$(grep -c '^bmesh' "$SET/start.registered.conf")" = 6 ] || fail "scan records lost"

# The same with one thread, into another file: the same bytes.
run 0 -j 1 -o "$OUT/one-thread.conf" start.conf
cmp -s "$SET/start.registered.conf" "$OUT/one-thread.conf" || fail "one thread wrote other poses"

# rangeloom-clean --register: the same configuration written into the
# output folder, the registration's table first, and the scans cleaned
# exactly as cleaning the refined configuration cleans them.
(cd "$SET" && exec "$RANGELOOM_CLEAN" --register -o "$OUT/both" start.conf) >"$OUT/stdout" 2>"$OUT/stderr" ||
  fail "rangeloom-clean --register failed"
cmp -s "$SET/start.registered.conf" "$OUT/both/start.registered.conf" || fail "clean --register wrote other poses"
head -1 "$OUT/stdout" | grep -q '^registered 6 scans of start.conf' || fail "no registration table first"
expect_stdout "written $OUT/both/start.registered.conf"
(cd "$SET" && exec "$RANGELOOM_CLEAN" -o "$OUT/plain" "$OUT/both/start.registered.conf") >/dev/null 2>"$OUT/stderr" ||
  fail "cleaning the refined configuration failed"
# The header line hides no record: the reader does not name its words.
grep -q 'line 1: words not used' "$OUT/stderr" && fail "the header line is named as unused words"
for f in "$OUT"/plain/*.cln.ply; do
  cmp -s "$f" "$OUT/both/${f##*/}" || fail "clean --register cleaned ${f##*/} otherwise"
done

# A configuration of one scan comes back byte for byte (its quaternion, a
# little off unit length, too).
printf 'camera 0 0 0.3 0 0 0 1\n\tbmesh  scan02.ply 0.001 0 0 0.908911 -0.0569874 0.154429 0.383126 \n' \
  >"$SET/one.conf"
run 0 -o "$OUT/one.out.conf" one.conf
expect_stdout "registered 1 scan of one.conf: nothing to register it with"
cmp -s "$SET/one.conf" "$OUT/one.out.conf" || fail "one scan: the configuration changed"

# A scan a metre away from the others is named and left where it was.
{ grep -v '^bmesh scan03' "$SET/sample.conf"; grep '^bmesh scan03' "$SET/sample.conf" |
    awk '{ $3 = $3 + 1; print }'; } >"$SET/far.conf"
run 0 -o "$OUT/far.out.conf" far.conf
expect_stderr "warning: scan03.ply overlaps the other scans too little to be registered (0 pairs)"
expect_stdout "too little overlap, left where it was"
[ "$(grep '^bmesh scan03' "$SET/far.conf")" = "$(grep '^bmesh scan03' "$OUT/far.out.conf")" ] ||
  fail "the far scan's record changed"

# Bad usage: nothing written.
run 1
expect_stderr "no scan configuration given"
run 1 --bogus start.conf
expect_stderr "unknown option '--bogus'"
expect_stderr "Try 'rangeloom-register --help'"
run 1 -j lots start.conf
run 1 --fix nothing.ply start.conf
expect_stderr "names no such scan"
run 0 --help
expect_stdout "Exit status:"

# Unreadable input: nothing written.
run 2 missing.conf
expect_stderr "cannot read the scan configuration missing.conf"
printf 'bmesh scan00.ply 0 0 0 0 0 0 1\nbmesh gone.ply 0 0 0 0 0 0 1\n' >"$SET/gone.conf"
run 2 gone.conf
expect_stderr "gone.ply: No such file or directory"
expect_stderr "nothing written"
printf 'bmesh scan00.ply 0 0 0 0 0 0 1 7\nbmesh scan01.ply 0 0 0 0 0 0 1\n' >"$SET/gone.conf"
run 2 gone.conf
expect_stderr "words that no record uses hide a scan"
printf 'bmesh scan00.ply 0 0 0 0 0 0 1\nbmesh scan01.ply 0 0 0 0 0 0 0\n' >"$SET/zero.conf"
run 2 zero.conf
expect_stderr "the pose of scan01.ply is not a rigid motion (its quaternion is zero)"
(cd "$SET" && exec "$RANGELOOM_CLEAN" --register -o "$OUT/zero" zero.conf) >/dev/null 2>"$OUT/stderr"
[ $? = 2 ] || fail "clean --register accepted a zero quaternion"
[ -e "$OUT/zero" ] && fail "clean --register wrote files for a bad pose"
before=$(cksum <"$SET/scan01.ply")
run 2 -o scan01.ply start.conf
expect_stderr "it is also scan"
[ "$(cksum <"$SET/scan01.ply")" = "$before" ] || fail "a scan was overwritten"
no_new_files

# An output that cannot be written: status 3, nothing half-written.
run 3 -o "$OUT/no/such/folder/x.conf" start.conf
expect_stderr "cannot write $OUT/no/such/folder/x.conf"
no_new_files
echo "PASS"

#!/usr/bin/env bash
# A sample set in its three forms cleans to the same points: the PLY range
# images and their configuration, the same scans written as one PTX and one
# E57 file (scan_fixture), cleaned directly and converted back by
# rangeloom-scanconvert. The cleaned files and the exported values must be
# identical byte for byte after their headers (the headers name other
# files). The converter's exit statuses and its leaving nothing behind, and
# rangeloom-clean's on a damaged file, are checked on the way.
. "$(dirname "$0")/clean_lib.sh"
: "${RANGELOOM_SCANCONVERT:?}" "${SCAN_FIXTURE:?}"
clean_init scan-formats-clean --scans 4 --cols 64 --rows 64
set_dir="$OUT/set"
"$SCAN_FIXTURE" "$set_dir/sample.conf" "$set_dir/fx" || fail "scan_fixture failed"

convert() {
  local want=$1 rc
  shift
  ASAN_OPTIONS=detect_leaks=${CLEAN_LEAKS:-1} "$RANGELOOM_SCANCONVERT" "$@" >"$OUT/stdout" 2>"$OUT/stderr" </dev/null
  rc=$?
  [ "$rc" = "$want" ] || fail "exit status $rc instead of $want for: rangeloom-scanconvert $*"
}
for form in ptx e57; do
  convert 0 --out "$set_dir/$form" "$set_dir/fx.$form"
  [ "$(grep -c ' exact ' "$OUT/stdout")" = 4 ] || fail "$form: not every pose is exact"
done

# Damaged input and an unwritable folder leave nothing behind.
head -c 20000 "$set_dir/fx.ptx" >"$set_dir/cut.ptx"
convert 2 --out "$set_dir/cut" "$set_dir/cut.ptx"
expect_stderr "cut.ptx: scan 1, line "
[ -z "$(ls -A "$set_dir/cut")" ] || fail "a damaged input left files behind"
convert 3 --out "$set_dir/fx.ptx/under-a-file" "$set_dir/fx.e57"
expect_stderr "cannot make"
convert 1 "$set_dir/sample.conf"
expect_stderr "is not a .ptx or .e57 file"

clean_run 0 --export --out plain sample.conf
clean_run 0 --export --out ptx-clean ptx/fx.conf
clean_run 0 --export --out e57-clean e57/fx.conf
cp "$set_dir/fx.ptx" "$set_dir/fx.PTX"
clean_run 0 --export --out ptx-direct fx.PTX
clean_run 0 --export --out e57-direct fx.e57
expect_stdout "fx.e57#4 "
body() { sed -n '/^end_header/,$p' "$1" | tail -n +2 | md5sum; }
for i in 0 1 2 3; do
  for kind in cln values; do
    want=$(body "$set_dir/plain/scan0$i.$kind.ply")
    for form in ptx-clean e57-clean ptx-direct e57-direct; do
      [ "$(body "$set_dir/$form/fx-0$((i + 1)).$kind.ply")" = "$want" ] ||
        fail "scan $i: the $form form's $kind file differs from the PLY form's"
    done
  done
done

# A damaged file, alone or named in a configuration: status 2, the scan
# named, nothing written.
clean_run 2 --out cut-direct cut.ptx
expect_stderr "cut.ptx: scan 1, line "
printf 'bmesh scan00.ply 0 0 0 0 0 0 1\nbmesh cut.ptx 0 0 0 0 0 0 1\n' >"$set_dir/cut.conf"
clean_run 2 --out cut-direct cut.conf
expect_stderr "1 of 2 scans of cut.conf cannot be read"
[ ! -e "$set_dir/cut-direct" ] || fail "a damaged scan file left files behind"
# The merged cloud may not replace a scan or the input.
clean_run 2 --merge fx.e57 fx.e57
expect_stderr "it is also the input fx.e57"
clean_run 2 --merge scan00.ply sample.conf
expect_stderr "cannot write scan00.ply: it is also scan scan00.ply"
echo PASS

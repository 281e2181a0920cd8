#!/usr/bin/env bash
# rangeloom-clean in slabs from the command line: the same files and table
# as in memory (a scan's name not UTF-8 among them), the work folder removed
# after; a work folder that runs out of room ends with status 4, removes its
# spill and writes nothing (on a tiny tmpfs in a private mount namespace,
# where user namespaces are allowed).
set -u
: "${RANGELOOM_CAMPAIGN:?RANGELOOM_CAMPAIGN must name the campaign generator}"
: "${RANGELOOM_CLEAN:?RANGELOOM_CLEAN must name rangeloom-clean}"
. "$(dirname "$0")/common.sh"
OUT=${E2E_OUT:-$(mktemp -d)}/clean_slabs
rm -rf "$OUT"
mkdir -p "$OUT/work" "$OUT/tiny"

"$RANGELOOM_CAMPAIGN" "$OUT/set" --stations 3 --raster 40x40 --threads 1 >/dev/null ||
  fail "rangeloom-campaign failed"
# A file name that is not UTF-8 goes through the work folder's manifest exactly.
mv "$OUT/set/scan0001.ply" "$OUT/set/scan"$'\xff'"01.ply"
sed -i "s/scan0001.ply/scan"$'\xff'"01.ply/" "$OUT/set/campaign.conf"
"$RANGELOOM_CLEAN" --export --out "$OUT/mem" "$OUT/set/campaign.conf" >"$OUT/mem.txt" 2>&1 ||
  fail "the in-memory run failed"
"$RANGELOOM_CLEAN" --export --out "$OUT/slb" --slab-cells 2 --work "$OUT/work" -j 2 \
  "$OUT/set/campaign.conf" >"$OUT/slb.txt" 2>&1 || fail "the run in slabs failed: $(cat "$OUT/slb.txt")"
diff <(sed "s#$OUT/slb#$OUT/mem#g" "$OUT/slb.txt") "$OUT/mem.txt" >/dev/null ||
  fail "the table in slabs differs"
diff -r "$OUT/mem" "$OUT/slb" >/dev/null || fail "the files written in slabs differ"
[ -z "$(ls -A "$OUT/work")" ] || fail "the work folder was left: $(ls -A "$OUT/work")"

if ! unshare -rm true 2>/dev/null; then
  echo "no user namespaces: the full work folder is not tried"
  exit 0
fi
unshare -rm bash -c "mount -t tmpfs -o size=16k none '$OUT/tiny' &&
  '$RANGELOOM_CLEAN' --out '$OUT/none' --slab-cells 2 --work '$OUT/tiny' \
    '$OUT/set/campaign.conf' >'$OUT/full.txt' 2>&1; echo \$? >'$OUT/status';
  ls -A '$OUT/tiny' >'$OUT/left'"
[ "$(cat "$OUT/status")" = 4 ] || fail "status $(cat "$OUT/status"), not 4: $(cat "$OUT/full.txt")"
grep -q "No space left on device" "$OUT/full.txt" || fail "no word of the full folder: $(cat "$OUT/full.txt")"
[ ! -s "$OUT/left" ] || fail "the spill was left: $(cat "$OUT/left")"
[ ! -e "$OUT/none" ] || fail "files were written: $(ls "$OUT/none")"
echo "clean_slabs: ok"

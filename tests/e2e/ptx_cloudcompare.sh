#!/usr/bin/env bash
# An independent PTX reader (CloudCompare, headless) reads our PTX test file
# scan by scan with the raster sizes and point counts that
# rangeloom-scanconvert --list reports for it.
. "$(dirname "$0")/clean_lib.sh"
: "${RANGELOOM_SCANCONVERT:?}" "${SCAN_FIXTURE:?}"
command -v CloudCompare >/dev/null || { echo "SKIP: CloudCompare is not installed"; exit 77; }
clean_init ptx-cloudcompare --scans 3 --cols 40 --rows 30
"$SCAN_FIXTURE" "$OUT/set/sample.conf" "$OUT/set/fx" || fail "scan_fixture failed"
"$RANGELOOM_SCANCONVERT" --list "$OUT/set/fx.ptx" >"$OUT/stdout" 2>"$OUT/stderr" || fail "the converter cannot list fx.ptx"
want=$(awk 'NR > 1 { print $5 }' "$OUT/stdout" | tr '\n' ' ')
[ -n "$want" ] || fail "no point counts listed"

mkdir -p "$OUT/cc" && cp "$OUT/set/fx.ptx" "$OUT/cc/"
(cd "$OUT/cc" && QT_QPA_PLATFORM=offscreen timeout 120 CloudCompare -SILENT -AUTO_SAVE OFF \
  -O fx.ptx -C_EXPORT_FMT ASC -SAVE_CLOUDS) >"$OUT/stdout" 2>&1 </dev/null || fail "CloudCompare failed"
[ "$(grep -c 'grid size: 40 x 30' "$OUT/stdout")" = 3 ] || fail "CloudCompare does not see three 40 x 30 scans"
got=""
for k in 0 1 2; do
  file=$(ls "$OUT/cc"/fx_${k}_*.asc 2>/dev/null | head -1)
  [ -n "$file" ] || fail "CloudCompare wrote no cloud for scan $((k + 1))"
  got="$got$(wc -l <"$file") "
done
[ "$got" = "$want" ] || fail "CloudCompare reads $got points, rangeloom $want"
echo PASS

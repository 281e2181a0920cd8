#!/usr/bin/env bash
# rangeloom-campaign end to end: the same bytes whatever the thread count; a
# small campaign of each scene loads and cleans with rangeloom-clean, which
# tosses every stray point the generator lists, writing the same files from
# its lean load as from the viewer's; scans overlap their neighbours on the
# path and no other scan.
set -u
: "${RANGELOOM_CAMPAIGN:?RANGELOOM_CAMPAIGN must name the campaign generator}"
: "${RANGELOOM_CLEAN:?RANGELOOM_CLEAN must name rangeloom-clean}"
. "$(dirname "$0")/common.sh"
OUT=${E2E_OUT:-$(mktemp -d)}/campaign
rm -rf "$OUT"
mkdir -p "$OUT"

campaign() {
  "$RANGELOOM_CAMPAIGN" "$@" >"$OUT/stdout" 2>"$OUT/stderr" || fail "rangeloom-campaign $* failed"
}
clean() {
  "$RANGELOOM_CLEAN" "$@" >"$OUT/stdout" 2>"$OUT/stderr" || fail "rangeloom-clean $* failed"
}

# Bad usage ends with status 1, a folder that cannot be made with 3.
"$RANGELOOM_CAMPAIGN" "$OUT/bad" --raster 120 >"$OUT/stdout" 2>"$OUT/stderr"
[ $? = 1 ] || fail "a raster without rows was accepted"
"$RANGELOOM_CAMPAIGN" /proc/no-such-folder >"$OUT/stdout" 2>"$OUT/stderr"
[ $? = 3 ] || fail "no status 3 for a folder that cannot be made"

# Determinism: one thread or three, the same files byte for byte.
campaign "$OUT/one" --stations 5 --raster 90x70 --scene facade --seed 7 --threads 1
campaign "$OUT/three" --stations 5 --raster 90x70 --scene facade --seed 7 --threads 3
diff -r "$OUT/one" "$OUT/three" >/dev/null || fail "the output depends on the thread count"
campaign "$OUT/other" --stations 5 --raster 90x70 --scene facade --seed 8
cmp -s "$OUT/one/scan0002.ply" "$OUT/other/scan0002.ply" && fail "another seed gave the same scan"

# The float at byte OFFSET of FILE.
float_at() { od -An -t f4 -j "$2" -N 4 "$1" | tr -d ' '; }

# Every listed stray is tossed: its value in the export exceeds the threshold.
for scene in terrain room facade; do
  set_dir=$OUT/$scene
  campaign "$set_dir" --stations 4 --raster 120x120 --scene $scene --strays 5
  # The lean load (any run but a verbose one) and the viewer's load (a verbose
  # run, whose transcript counts faces and edges) write the same bytes.
  clean --verbose --export --merge "$set_dir/full/all.ply" --out "$set_dir/full" \
    "$set_dir/campaign.conf"
  clean --export --merge "$set_dir/clean/all.ply" --out "$set_dir/clean" "$set_dir/campaign.conf"
  diff -r "$set_dir/full" "$set_dir/clean" >/dev/null || fail "$scene: the lean load wrote other files"
  threshold=$(sed -n 's/^removal threshold \([^ ]*\) (default)$/\1/p' "$OUT/stdout")
  [ -n "$threshold" ] || fail "no default threshold in rangeloom-clean's table"
  strays=0
  while read -r name indices; do
    export_file=$set_dir/clean/${name%.ply}.values.ply
    data=$(( $(grep -abo end_header "$export_file" | head -1 | cut -d: -f1) + 11 ))
    for i in $indices; do
      value=$(float_at "$export_file" $((data + 16 * i + 12)))
      awk -v v="$value" -v t="$threshold" 'BEGIN { exit !(v > t) }' ||
        fail "$scene: stray $i of $name has value $value, not above $threshold"
      strays=$((strays + 1))
    done
  done <"$set_dir/campaign.strays"
  [ "$strays" = 20 ] || fail "$scene: $strays strays listed instead of 20"
done

# Pairs of scans: points are measured against the other scan exactly when
# the two are neighbours on the path.
set_dir=$OUT/terrain
for pair in "0 1" "1 2" "2 3" "0 2" "1 3" "0 3"; do
  read -r a b <<<"$pair"
  grep -E "scan000[$a$b]\.ply" "$set_dir/campaign.conf" >"$set_dir/pair.conf"
  clean --summary "$set_dir/pair.conf"
  measured=$(awk '$1 == "total" { print $3 }' "$OUT/stdout")
  if [ $((b - a)) = 1 ]; then
    [ "$measured" -gt 1000 ] || fail "neighbours $a and $b overlap in $measured points only"
  else
    [ "$measured" = 0 ] || fail "scans $a and $b, not neighbours, overlap in $measured points"
  fi
done
echo PASS

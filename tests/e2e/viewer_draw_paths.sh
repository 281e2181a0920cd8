#!/usr/bin/env bash
# Drawing from buffer objects gives the pixels of the one-call-per-vertex
# drawing (RANGELOOM_DRAWING=immediate): the same keys on the generated sample
# set and on a generated torus, every screenshot compared pixel for pixel:
# every display mode, tossed points shown ('b') at a lower threshold ('t'),
# coloured by distance ('m') in the other materials ('c'), the lattice mesh,
# and the sparse points of a drag; the torus also after moving the camera
# while decimated drawing is on. Flat and wireframe faces in their material
# (a display list on the new paths) are shown on both inputs.
. "$(dirname "$0")/lib.sh"
: "${RANGELOOM_SAMPLE:?}" "${RANGELOOM_TORUS:?}"
e2e_init viewer-draw-paths
mkdir -p "$OUT/sample"
"$RANGELOOM_SAMPLE" --out "$OUT/sample" >/dev/null || fail "cannot generate the sample set"
"$RANGELOOM_TORUS" "$OUT/torus.m" 48 24 >/dev/null || fail "cannot generate the torus"

# The steps: a name, the keys sent before its screenshot ("drag-start": the
# button pressed and the pointer moved), and "same". The scans
# start smooth; 'e' steps through points, sparse points (the drag shows
# them), wireframe, flat.
SAMPLE_STEPS=(
  smooth "" same  smooth-tossed "b t t" same  points "e e" same
  wireframe "e e" same  flat e same  flat-colour "m c" same  wireframe-colour "e e e e" same
  lattice 7 same  drag drag-start same
)
# The torus is shown (key 1) and seen from further away ('d'); lit white, its
# flat and smooth pictures are the same.
TORUS_STEPS=(smooth "1$(printf ' d%.0s' $(seq 20))" same  wireframe "e e e e" same  flat e same)

# Screenshots as raw RGB bytes: quick to take and to compare.
shot() { import -window "$WID" -depth 8 "rgb:$1" 2>/dev/null; }

# drawn: returns once everything sent so far is drawn, twice, and shown. 'h'
# changes nothing but prints the help and asks for a frame; the viewer reads
# a key sent after the previous one's help appeared only once that key's
# frame is drawn and swapped. Three in turn: a frame of the final state, a
# second one (the corner markers, drawn first, are lit by the normal the
# frame before left), and the proof that the second is on the screen. No
# waiting on time: a slow build draws the same frames, later.
HELP_LINE="h or H : Print this help menu."
helps=0
helped() { [ "$(grep -cF "$HELP_LINE" "$OUT/stdout")" -ge "$helps" ]; }
drawn() {
  local round tries
  for round in 1 2 3; do
    helps=$((helps + 1))
    xdotool key --window "$WID" h
    for tries in $(seq 1 3000); do
      helped && break
      kill -0 "$PROG_PID" 2>/dev/null || fail "the viewer ended"
      [ "$tries" = 3000 ] && fail "the viewer never answered 'h'"
      sleep 0.02
    done
  done
}

# differences A B: "PIXELS LARGEST", the number of pixels that differ and the
# largest difference of a colour channel.
differences() {
  cmp -l "$1" "$2" | awk '
    function oct(s,  v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 8 + substr(s, i, 1); return v }
    { d = oct($2) - oct($3); if (d < 0) d = -d; if (d > big) big = d; p = int(($1 - 1) / 3)
      if (p != last) { n++; last = p } }
    BEGIN { last = -1 } END { print n + 0, big + 0 }'
}

# run PATH INPUT STEPS...: the viewer on INPUT, drawing on PATH. The first
# path's screenshots are the reference; each later path must reproduce each
# of them.
run() {
  local path=$1 input=$2 name keys match reference decimate=2000000
  shift 2
  helps=0
  # The torus on the new paths is drawn decimated while the camera moves
  # (its 'd' keys): once the pause after the last one is over, the picture
  # is the full one again.
  [ "$path" != immediate ] && [ "${input##*.}" = m ] && decimate=1
  RANGELOOM_DECIMATE_ABOVE=$decimate RANGELOOM_DRAWING=$path RUNDIR=$(dirname "$input") \
    e2e_start "$(basename "$input")"
  e2e_wait_window
  while [ $# -gt 0 ]; do
    name=$1 keys=$2 match=$3
    shift 3
    case $keys in
      drag-start) xdotool mousemove --window "$WID" 350 350 mousedown 1 \
        mousemove --window "$WID" 360 352 mousemove --window "$WID" 370 354 ;;
      *) [ -z "$keys" ] || xdotool key --window "$WID" $keys ;;
    esac
    drawn
    if [ "$decimate" = 1 ]; then
      sleep 0.5
      drawn
    fi
    reference=$OUT/immediate-$(basename "$input")-$name.rgb
    if [ "$path" = immediate ]; then
      shot "$reference" || fail "no screenshot of $name"
    else
      shot "$OUT/$path.rgb" || fail "no screenshot of $name on $path"
      [ "$match" = same ] && [ "$(differences "$reference" "$OUT/$path.rgb" | cut -d' ' -f1)" = 0 ] ||
        fail "$path differs from immediate on $(basename "$input") after '$name': $(differences "$reference" "$OUT/$path.rgb") (pixels, largest difference)"
    fi
  done
  xdotool mouseup 1
  grep -q "drawn one vertex at a time" "$OUT/stderr" && fail "$path fell back to the immediate drawing"
  e2e_quit
}

# By hand, DRAW_PATHS="immediate buffers arrays" checks client arrays too.
for path in ${DRAW_PATHS:-immediate buffers}; do
  run "$path" "$OUT/sample/sample.conf" "${SAMPLE_STEPS[@]}"
  run "$path" "$OUT/torus.m" "${TORUS_STEPS[@]}"
done
# The pictures show something: scans, the lattice over them, and the torus.
lit() { convert -size 700x700 -depth 8 "rgb:$OUT/immediate-$1.rgb" png:- | e2e_lit_pixels png:-; }
[ "$(lit sample.conf-smooth)" -gt 1000 ] || fail "the scans are not drawn"
[ "$(differences "$OUT/immediate-sample.conf-wireframe-colour.rgb" "$OUT/immediate-sample.conf-lattice.rgb" | cut -d' ' -f1)" -gt 100 ] ||
  fail "the lattice does not show"
[ "$(lit torus.m-smooth)" -gt 1000 ] || fail "the torus is not drawn"
echo PASS

#!/usr/bin/env bash
# Drawing from buffer objects gives the pixels of the one-call-per-vertex
# drawing (RANGELOOM_DRAWING=immediate): the same keys on the generated sample
# set and on a generated torus, every screenshot compared pixel for pixel:
# every display mode, tossed points shown ('b') at a lower threshold ('t'),
# coloured by distance ('m') in the other materials ('c'), the lattice mesh,
# and the sparse points of a drag. (Flat and wireframe faces in their
# material are drawn one call per vertex on every path: the renderer would
# light a normal held for a whole polygon and the same normal given with each
# vertex a colour level apart.)
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
TORUS_STEPS=(smooth "1$(printf ' d%.0s' $(seq 20))" same  wireframe "e e e e" same)

# Screenshots as raw RGB bytes: quick to take and to compare.
shot() { import -window "$WID" -depth 8 "rgb:$1" 2>/dev/null; }

# settled FILE PREVIOUS: a screenshot into FILE that differs from PREVIOUS
# (every step changes the picture) and from which the next one, 0.1 s later,
# does not differ (the frame is complete).
settled() {
  local tries
  for tries in $(seq 1 100); do
    sleep 0.1
    shot "$1.next" || continue
    if [ -f "$1" ] && cmp -s "$1" "$1.next" && ! cmp -s "$1" "$2"; then
      rm -f "$1.next"
      return 0
    fi
    mv "$1.next" "$1"
  done
  return 1
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

# agree same REFERENCE FILE: a screenshot into FILE is REFERENCE, pixel for pixel.
agree() {
  local pixels largest
  shot "$3" || return 1
  read -r pixels largest < <(differences "$2" "$3")
  [ "$pixels" = 0 ]
}

# run PATH INPUT STEPS...: the viewer on INPUT, drawing on PATH. The first
# path's screenshots are the reference; each later path must reproduce each
# of them within a few seconds.
run() {
  local path=$1 input=$2 name keys match reference tries previous=/dev/null
  shift 2
  RANGELOOM_DRAWING=$path RUNDIR=$(dirname "$input") e2e_start "$(basename "$input")"
  e2e_wait_window
  while [ $# -gt 0 ]; do
    name=$1 keys=$2 match=$3
    shift 3
    case $keys in
      drag-start) xdotool mousemove --window "$WID" 350 350 mousedown 1 \
        mousemove --window "$WID" 360 352 mousemove --window "$WID" 370 354 ;;
      *) [ -z "$keys" ] || xdotool key --window "$WID" $keys ;;
    esac
    reference=$OUT/immediate-$(basename "$input")-$name.rgb
    # The corner markers, drawn first, are lit by the normal the frame before
    # left: once the step is drawn, one more frame ('k' changes nothing) makes
    # that the step's own, whatever frames the keys gave on the way.
    rm -f "$OUT/$path.step.rgb"
    settled "$OUT/$path.step.rgb" "$previous" || fail "$name never settled on $path"
    xdotool key --window "$WID" k
    sleep 0.3
    if [ "$path" = immediate ]; then
      settled "$reference" /dev/null || fail "$name never settled"
    else
      for tries in $(seq 1 100); do
        agree "$match" "$reference" "$OUT/$path.rgb" && break
        [ "$tries" = 100 ] && fail "$path differs from immediate on $(basename "$input") after '$name': $(differences "$reference" "$OUT/$path.rgb") (pixels, largest difference)"
        sleep 0.1
      done
    fi
    previous=$OUT/$path.previous.rgb
    cp "$OUT/$path.rgb" "$previous" 2>/dev/null || cp "$reference" "$previous"
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

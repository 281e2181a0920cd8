# Shared functions of the end-to-end tests: an own Xvfb per test, the real
# rangeloom binary with its output captured, keys and drags through xdotool,
# screenshots through ImageMagick. Everything started is stopped by PID on exit.
#
# A test script sources this file, then calls:
#   e2e_init NAME                 output folder $OUT, Xvfb started, DISPLAY set
#   e2e_start ARGS...             starts $RANGELOOM (in $RUNDIR if set) with stdout/stderr captured
#   e2e_wait_window               sets $WID once the window is mapped
#   e2e_key KEY...                sends keys to the window
#   e2e_wait_stdout TEXT          waits until stdout contains TEXT (fixed string)
#   e2e_shot FILE                 screenshot of the window
#   e2e_shot_settled FILE         screenshot once two in a row agree (everything sent is drawn)
#   e2e_pixel FILE X Y            prints "R G B" of one pixel
#   e2e_quit                      sends 'q' and checks exit status 0
#   e2e_golden EXPECTED           compares the captured stdout byte for byte
#   fail MESSAGE                  prints the captured output and fails
set -u

E2E_SKIP=77
XVFB_PID=""
PROG_PID=""
WID=""

for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit $E2E_SKIP; }
done
: "${RANGELOOM:?RANGELOOM must name the binary under test}"

e2e_cleanup() {
  if [ -n "$PROG_PID" ]; then
    kill "$PROG_PID" 2>/dev/null
    wait "$PROG_PID" 2>/dev/null
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
}
trap e2e_cleanup EXIT

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# retry a command for up to $WAIT_SECONDS (default 20) seconds
wait_for() {
  local tries=$(( ${WAIT_SECONDS:-20} * 10 ))
  for _ in $(seq 1 "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

display_answers() { xdotool getdisplaygeometry >/dev/null 2>&1; }

# An own X server on a display number picked at random from a wide range, so
# that tests running side by side (and servers just shutting down) do not
# meet on the same number; a server that does not answer is replaced. It
# does not reset when its last client leaves (the readiness probe, or one
# program of a test that starts several): a client connecting during a
# reset is refused.
start_xvfb() {
  local n
  n=$((200 + RANDOM % 20000))
  [ -e "/tmp/.X$n-lock" ] && return 1
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset 2>"$OUT/xvfb.log" &
  XVFB_PID=$!
  echo "$n" >"$OUT/display"
  export DISPLAY=":$n"
  WAIT_SECONDS=10 wait_for display_answers || return 1
  # Still ours: the server we started is alive.
  kill -0 "$XVFB_PID" 2>/dev/null
}

e2e_init() {
  OUT=${E2E_OUT:-$(mktemp -d)}/$1
  rm -rf "$OUT"
  mkdir -p "$OUT"
  # Servers of tests running side by side can race for a display number;
  # try a fresh one when a server does not answer.
  local attempt
  for attempt in 1 2 3 4 5; do
    start_xvfb && return 0
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  done
  fail "Xvfb did not start: $(cat "$OUT/xvfb.log")"
}

e2e_start() {
  (cd "${RUNDIR:-$OUT}" && exec "$RANGELOOM" "$@") >"$OUT/stdout" 2>"$OUT/stderr" &
  PROG_PID=$!
}

window_id() {
  WID=$(xdotool search --onlyvisible --name '^Mesh display$' 2>/dev/null | head -1)
  [ -n "$WID" ]
}

# The window, or the program's end: no point in waiting for a dead program.
window_or_exit() { window_id || ! kill -0 "$PROG_PID" 2>/dev/null; }

e2e_wait_window() {
  WAIT_SECONDS=${WINDOW_WAIT:-60} wait_for window_or_exit
  window_id || fail "no window titled 'Mesh display' (display $DISPLAY)"
  # The first frame: wait until a screenshot can be taken.
  wait_for import -window "$WID" "$OUT/first.png" 2>/dev/null || fail "cannot take a screenshot"
}

e2e_key() {
  local k
  for k in "$@"; do
    xdotool key --window "$WID" "$k" 2>/dev/null
  done
}

stdout_has() { grep -qF -- "$1" "$OUT/stdout"; }
e2e_wait_stdout() { wait_for stdout_has "$1" || fail "output never contained: $1"; }

e2e_shot() { import -window "$WID" "$1" || fail "screenshot $1"; }

e2e_pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

# Number of pixels that are not black.
e2e_lit_pixels() {
  convert "$1" -colorspace gray -threshold 1% -format "%[fx:int(mean*w*h+0.5)]" info:
}

# Centre of the lit pixels, "X Y" rounded to whole pixels.
e2e_centroid() {
  convert "$1" -colorspace gray -threshold 1% -define identify:moments -verbose info: 2>/dev/null |
    sed -n 's/^ *Centroid: \([0-9.]*\),\([0-9.]*\).*/\1 \2/p' | head -1 |
    awk '{ printf "%d %d\n", $1 + 0.5, $2 + 0.5 }'
}

# Number of pixels that differ between two screenshots.
e2e_diff_pixels() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

# Takes screenshots into FILE until the shell test "$2" (which may use $SHOT)
# holds, for up to 10 s.
e2e_shot_until() {
  local file=$1 condition=$2
  for _ in $(seq 1 50); do
    import -window "$WID" "$file" 2>/dev/null && SHOT=$file && eval "$condition" && return 0
    sleep 0.2
  done
  return 1
}

# Screenshots into FILE until two in a row have the same number of lit
# pixels: the keys sent so far have all been drawn. Sets SHOT.
e2e_shot_settled() {
  local file=$1 last=-1 now
  for _ in $(seq 1 50); do
    if import -window "$WID" "$file" 2>/dev/null; then
      now=$(e2e_lit_pixels "$file")
      [ "$now" = "$last" ] && SHOT=$file && return 0
      last=$now
    fi
    sleep 0.2
  done
  return 1
}

# A left-button drag from (X0, Y0) to (X1, Y1), in window pixels, in ten
# steps (the first motion of a drag only marks where it starts).
e2e_drag() {
  local x0=$1 y0=$2 x1=$3 y1=$4 k
  local moves=()
  for k in 1 2 3 4 5 6 7 8 9 10; do
    moves+=(mousemove --window "$WID" $((x0 + (x1 - x0) * k / 10)) $((y0 + (y1 - y0) * k / 10)))
  done
  xdotool mousemove --window "$WID" "$x0" "$y0" mousedown 1 "${moves[@]}" mouseup 1
}

# Picks entry INDEX (0 = Translate, 1 = Rotate) of the right-button menu.
e2e_menu() {
  local index=$1 mid X Y WIDTH HEIGHT SCREEN
  xdotool mousemove --window "$WID" 200 200 click 3
  WAIT_SECONDS=5 wait_for eval 'mid=$(xdotool search --onlyvisible --name "^freeglut menu$" 2>/dev/null | head -1); [ -n "$mid" ]' ||
    fail "the pop-up menu did not open"
  eval "$(xdotool getwindowgeometry --shell "$mid")"
  xdotool mousemove $((X + WIDTH / 2)) $((Y + 2 + 25 * index + 12)) click 1
}

e2e_window_size() { xdotool getwindowgeometry "$WID" | sed -n 's/.*Geometry: //p'; }

e2e_quit() {
  xdotool key --window "$WID" q 2>/dev/null
  local rc
  wait "$PROG_PID"
  rc=$?
  PROG_PID=""
  [ "$rc" = 0 ] || fail "exit status $rc after 'q'"
}

e2e_golden() {
  if ! cmp -s "$1" "$OUT/stdout"; then
    diff -u "$1" "$OUT/stdout" | head -60
    fail "console output differs from $1"
  fi
}

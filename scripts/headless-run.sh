#!/usr/bin/env bash
# Runs rangeloom under its own Xvfb, waits until the window has drawn, frames
# the shown objects (key 'f'), saves a screenshot as a PNG, and stops
# everything it started.
#   scripts/headless-run.sh BINARY [FILE]
# The screenshot goes to $RANGELOOM_SCREENSHOT, or ./rangeloom-screenshot.png.
set -u

BIN=$1
shift
SHOT=${RANGELOOM_SCREENSHOT:-$PWD/rangeloom-screenshot.png}
WORK=$(mktemp -d)
XVFB_PID=""
PROG_PID=""

cleanup() {
  [ -n "$PROG_PID" ] && kill "$PROG_PID" 2>/dev/null && wait "$PROG_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$WORK/display" 2>"$WORK/xvfb.log" &
XVFB_PID=$!
for _ in $(seq 1 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
if [ ! -s "$WORK/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$WORK/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(cat "$WORK/display")"

"$BIN" "$@" &
PROG_PID=$!

# The window is mapped once loading is done and the event loop runs.
WID=""
for _ in $(seq 1 1200); do
  WID=$(xdotool search --onlyvisible --name '^Mesh display$' 2>/dev/null | head -1)
  [ -n "$WID" ] && break
  if ! kill -0 "$PROG_PID" 2>/dev/null; then
    wait "$PROG_PID"
    rc=$?
    PROG_PID=""
    echo "rangeloom ended (status $rc) before its window appeared." >&2
    exit 1
  fi
  sleep 0.1
done
if [ -z "$WID" ]; then
  echo "rangeloom's window did not appear within 120 s." >&2
  exit 1
fi

# The window is mapped before the input is loaded: wait until something is
# drawn (up to 60 s; an empty scene stays black), then let the frame finish.
lit() { convert "$1" -colorspace gray -threshold 1% -format "%[fx:mean>0?1:0]" info: 2>/dev/null; }
for _ in $(seq 1 120); do
  import -window "$WID" "$SHOT" 2>/dev/null && [ "$(lit "$SHOT")" = 1 ] && break
  kill -0 "$PROG_PID" 2>/dev/null || break
  sleep 0.5
done
# Frame the shown objects ('f') so that they fill the picture, and wait until
# two screenshots in a row agree (the framed view is drawn).
xdotool key --window "$WID" f 2>/dev/null
last=""
for _ in $(seq 1 50); do
  sleep 0.3
  import -window "$WID" "$WORK/framed.png" 2>/dev/null || continue
  now=$(convert "$WORK/framed.png" -format '%#' info: 2>/dev/null)
  [ -n "$last" ] && [ "$now" = "$last" ] && break
  last=$now
done
if ! import -window "$WID" "$SHOT"; then
  echo "Could not take the screenshot." >&2
  exit 1
fi
echo "Screenshot of the rangeloom window saved to $SHOT"

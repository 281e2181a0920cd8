#!/usr/bin/env bash
# Sets up (installs missing packages, builds) and starts rangeloom.
#   ./run.sh           opens the built-in sample scans
#   ./run.sh FILE      opens FILE (.m, .ply or .conf)
# Without a display (DISPLAY unset) it runs the viewer under Xvfb, saves a
# screenshot of the window as a PNG and says where it is.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$ROOT/scripts/setup.sh" run
# Release-style build for running: the test builds live elsewhere.
BIN="$ROOT/build/app/rangeloom"

ARGS=("$@")
export RANGELOOM_SCREENSHOT=${RANGELOOM_SCREENSHOT:-$PWD/rangeloom-screenshot.png}
if [ ${#ARGS[@]} -eq 0 ]; then
  # The sample configuration names its scans relative to its own folder.
  SAMPLE=$("$ROOT/scripts/sample.sh")
  cd "$(dirname "$SAMPLE")"
  ARGS=("$(basename "$SAMPLE")")
fi

if [ -n "${DISPLAY:-}" ]; then
  exec "$BIN" "${ARGS[@]}"
fi

echo "No display (DISPLAY is not set): running rangeloom under a virtual X server (Xvfb)" \
     "and saving a screenshot of its window."
exec "$ROOT/scripts/headless-run.sh" "$BIN" "${ARGS[@]}"

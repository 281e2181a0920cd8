#!/usr/bin/env bash
# Runs the frame-time benchmark under its own Xvfb (Mesa's software renderer).
#   bench/run_frame_bench.sh BUILD_DIR [FRAMES] [TRIANGLES...]
#   bench/run_frame_bench.sh BUILD_DIR --scene FILE [FRAMES]
set -euo pipefail
BUILD=${1:?build folder}
shift
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$BUILD/bench/rangeloom-frame-bench" "$@"

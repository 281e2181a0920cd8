#!/usr/bin/env bash
# Sets up (installs missing packages), builds and runs the whole test suite:
# a normal build, a sanitizer (AddressSanitizer + UndefinedBehaviorSanitizer)
# build, and a short run of every fuzz target (clang, libFuzzer).
#   ./test.sh            everything
#   ./test.sh --quick    the normal build only
# FUZZ_SECONDS (default 20) is the fuzzing time per target; scripts/fuzz.sh
# runs the targets longer by hand.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$ROOT/scripts/setup.sh" test
JOBS=$(nproc)

build() {
  local dir=$1
  shift
  cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$ROOT/$dir" -j "$JOBS" -- --no-print-directory >/dev/null
}

# The next build runs while the tests of the one before run: the end-to-end
# tests wait for windows and programs much of the time. It runs at the
# lowest priority, so that the tests get the processors whenever they want
# them; its output goes to DIR.log.
# It is a process group of its own, stopped when this script ends early.
BACKGROUND_PID=""
start_in_background() {
  local dir=$1
  shift
  echo "== $dir: building meanwhile (log: $dir.log)"
  export -f build
  export ROOT JOBS
  setsid nice -n 19 bash -c 'set -euo pipefail; "$@"' background "$@" >"$ROOT/$dir.log" 2>&1 &
  BACKGROUND_PID=$!
}
wait_for_background() {
  local dir=$1 pid=$BACKGROUND_PID
  BACKGROUND_PID=""
  if ! wait "$pid"; then
    tail -n 50 "$ROOT/$dir.log"
    echo "== $dir: the build failed (log: $dir.log)"
    exit 1
  fi
}
trap '[ -z "$BACKGROUND_PID" ] || kill -- "-$BACKGROUND_PID" 2>/dev/null || true' EXIT

tests_of() {
  echo "== $1: tests"
  ctest --test-dir "$ROOT/$1" --output-on-failure -j "$JOBS"
}

echo "== build-test: configure and build"
build build-test
if [ "${1:-}" = "--quick" ]; then
  tests_of build-test
else
  start_in_background build-asan build build-asan -DRANGELOOM_SANITIZE=ON -DRANGELOOM_BENCH=OFF
  tests_of build-test
  wait_for_background build-asan
  start_in_background build-fuzz "$ROOT/scripts/fuzz.sh" --build "$ROOT/build-fuzz" --build-only
  tests_of build-asan
  wait_for_background build-fuzz
  echo "== build-fuzz: fuzz targets, ${FUZZ_SECONDS:-20}s each from the seed corpus"
  "$ROOT/scripts/fuzz.sh" --build "$ROOT/build-fuzz" --work "$ROOT/build-fuzz/fuzz-ci" \
    --seconds "${FUZZ_SECONDS:-20}" --jobs "$JOBS" --fresh
fi
echo "All tests passed."

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

run_suite() {
  local dir=$1
  shift
  echo "== $dir: configure and build"
  cmake -S "$ROOT" -B "$ROOT/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$ROOT/$dir" -j "$JOBS" -- --no-print-directory >/dev/null
  echo "== $dir: tests"
  ctest --test-dir "$ROOT/$dir" --output-on-failure -j "$JOBS"
}

run_suite build-test
if [ "${1:-}" != "--quick" ]; then
  run_suite build-asan -DRANGELOOM_SANITIZE=ON -DRANGELOOM_BENCH=OFF
  echo "== build-fuzz: fuzz targets, ${FUZZ_SECONDS:-20}s each from the seed corpus"
  "$ROOT/scripts/fuzz.sh" --build "$ROOT/build-fuzz" --work "$ROOT/build-fuzz/fuzz-ci" \
    --seconds "${FUZZ_SECONDS:-20}" --jobs "$JOBS" --fresh
fi
echo "All tests passed."

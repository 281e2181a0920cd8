#!/usr/bin/env bash
# Sets up (installs missing packages), builds and runs the whole test suite:
# a normal build and a sanitizer (AddressSanitizer + UndefinedBehaviorSanitizer) build.
#   ./test.sh            both builds
#   ./test.sh --quick    the normal build only
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
fi
echo "All tests passed."

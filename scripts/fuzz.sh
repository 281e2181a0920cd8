#!/usr/bin/env bash
# Builds the libFuzzer targets (clang) and runs each for a while on its
# committed seed corpus plus a working corpus that grows between runs.
#
#   scripts/fuzz.sh [--seconds N] [--jobs N] [--fresh] [--build DIR] [--work DIR]
#                   [--build-only] [TARGET...]
#
#   --seconds N   run time per target (default 1800)
#   --jobs N      targets run side by side (default 1); each runs under nice -n 19
#   --fresh       start from the seeds alone (the working corpus is emptied)
#   --build DIR   build folder (default build-fuzz)
#   --work DIR    working folder (default BUILD/fuzz-work)
#   --build-only  build the targets and stop
#   TARGET        any of: ply_header ply_read m_reader scan_config ply_mesh ptx_reader
#                 e57_reader scan_file config_rewrite slab_file (default: all)
#
# Working corpus and findings: WORK/TARGET/{corpus,artifacts,log}.
# A finding stops its target; it is a crash, leak, timeout or out-of-memory
# input in artifacts/, reproducible with: BUILD/tests/fuzz/fuzz_TARGET FILE
# (set RANGELOOM_FUZZ_VERBOSE=1 to see the loaders' output). Once fixed, copy
# it into tests/fuzz/corpus/TARGET/ as a regression test.
# Exit status: 0 when every target ran and none found anything.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_TARGET=1800
JOBS=1
FRESH=0
BUILD_ONLY=0
BUILD="$ROOT/build-fuzz"
WORK=""
ALL_TARGETS=(ply_header ply_read m_reader scan_config ply_mesh ptx_reader e57_reader scan_file
             config_rewrite slab_file)
TARGETS=()

while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) SECONDS_PER_TARGET=$2; shift 2 ;;
    --jobs) JOBS=$2; shift 2 ;;
    --fresh) FRESH=1; shift ;;
    --build) BUILD=$(realpath -m "$2"); shift 2 ;;
    --work) WORK=$(realpath -m "$2"); shift 2 ;;
    --build-only) BUILD_ONLY=1; shift ;;
    -h|--help) sed -n '2,23p' "$0"; exit 0 ;;
    *) TARGETS+=("$1"); shift ;;
  esac
done
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=("${ALL_TARGETS[@]}")
[ -n "$WORK" ] || WORK="$BUILD/fuzz-work"

pick_compiler() {
  if [ -n "${CC:-}" ] && [ -n "${CXX:-}" ]; then return; fi
  if command -v clang++-14 >/dev/null; then
    export CC=clang-14 CXX=clang++-14
  elif command -v clang++ >/dev/null; then
    export CC=clang CXX=clang++
  else
    echo "fuzz.sh: clang is needed (Debian packages clang and libclang-rt-14-dev)" >&2
    exit 1
  fi
}

if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  pick_compiler
  cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRANGELOOM_FUZZ=ON \
    -DRANGELOOM_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD" -j "$(nproc)" --target fuzz_targets -- --no-print-directory >/dev/null
[ "$BUILD_ONLY" = 0 ] || exit 0

# run_target NAME: fuzzes one target; its summary goes to its log.
run_target() {
  local t=$1
  local work="$WORK/$t"
  [ "$FRESH" = 1 ] && rm -rf "$work/corpus"
  mkdir -p "$work/corpus" "$work/artifacts"
  # A dictionary where the target has one: libFuzzer refuses to start on a
  # dictionary file that does not exist.
  local dict=() file="$ROOT/tests/fuzz/$t.dict"
  case "$t" in ply_*) file="$ROOT/tests/fuzz/ply.dict" ;; esac
  [ -f "$file" ] && dict=(-dict="$file")
  # New inputs go to the first folder; the seeds are only read. Paths are
  # absolute: the scan_config target changes its folder.
  local start
  start=$(date +%s)
  nice -n 19 "$BUILD/tests/fuzz/fuzz_$t" \
    -max_total_time="$SECONDS_PER_TARGET" -timeout=20 -rss_limit_mb=2048 -max_len=8192 \
    -close_fd_mask=3 -print_final_stats=1 "${dict[@]}" \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$ROOT/tests/fuzz/corpus/$t" \
    >"$work/log" 2>&1 || true
  echo $(( $(date +%s) - start )) >"$work/seconds"
}

summary() {
  local t=$1
  local log="$WORK/$t/log"
  local runs cov
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  local seconds
  seconds=$(cat "$WORK/$t/seconds" 2>/dev/null || echo "?")
  # Without a final count (a finding), the last status line's count.
  [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
  local result="no findings"
  if grep -qE '^(==[0-9]+==ERROR|SUMMARY: |fuzz target: )|ERROR: libFuzzer' "$log"; then
    result="FINDING: $(ls -t "$WORK/$t/artifacts" | head -1)"
  elif [ -z "$runs" ]; then
    # No input ran (the fuzzer refused its options or did not start): a
    # failure, not a clean run.
    result="DID NOT RUN"
  fi
  printf '%-14s %6ss %12s executions  %-10s  %s\n' "$t" "$seconds" "${runs:-?}" "${cov:-}" "$result"
  echo "$(date -Is) ${seconds}s ${runs:-?} executions ${cov:-} $result" >>"$WORK/$t/history"
  if [ "$result" = "DID NOT RUN" ]; then
    head -5 "$log" | sed 's/^/    /'
    return 1
  elif [ "$result" != "no findings" ]; then
    grep -E 'ERROR|SUMMARY|fuzz target:' "$log" | head -5 | sed 's/^/    /'
    return 1
  fi
}

echo "fuzzing ${TARGETS[*]} for ${SECONDS_PER_TARGET}s each, $JOBS at a time"
pids=()
for t in "${TARGETS[@]}"; do
  run_target "$t" &
  pids+=($!)
  while [ "$(jobs -rp | wc -l)" -ge "$JOBS" ]; do sleep 1; done
done
for p in "${pids[@]}"; do wait "$p" || true; done

status=0
for t in "${TARGETS[@]}"; do summary "$t" || status=1; done
exit $status

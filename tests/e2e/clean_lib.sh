# Shared functions of the rangeloom-clean tests, which need no display:
#   clean_init NAME            output folder $OUT with a generated sample set in $OUT/set
#   clean_run STATUS ARGS...   runs rangeloom-clean in $OUT/set, checks its exit status; a
#                              sanitizer build checks for leaks unless CLEAN_LEAKS=0
#   expect_stderr TEXT         standard error of the last run contains TEXT
#   expect_stdout TEXT         standard output of the last run contains TEXT
#   fail MESSAGE               prints the last run's output and fails
set -u
: "${RANGELOOM_CLEAN:?RANGELOOM_CLEAN must name the rangeloom-clean binary}"
: "${RANGELOOM_SAMPLE:?RANGELOOM_SAMPLE must name the sample generator}"

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

clean_init() {
  OUT=${E2E_OUT:-$(mktemp -d)}/$1
  rm -rf "$OUT"
  mkdir -p "$OUT/set"
  "$RANGELOOM_SAMPLE" --out "$OUT/set" "${@:2}" >/dev/null 2>&1 || fail "rangeloom-sample failed"
}

clean_run() {
  local want=$1 rc
  shift
  (cd "$OUT/set" && ASAN_OPTIONS=detect_leaks=${CLEAN_LEAKS:-1} exec "$RANGELOOM_CLEAN" "$@") \
    >"$OUT/stdout" 2>"$OUT/stderr" </dev/null
  rc=$?
  [ "$rc" = "$want" ] || fail "exit status $rc instead of $want for: rangeloom-clean $*"
}

expect_stderr() { grep -qF -- "$1" "$OUT/stderr" || fail "standard error lacks: $1"; }
expect_stdout() { grep -qF -- "$1" "$OUT/stdout" || fail "standard output lacks: $1"; }

# Shared by lib.sh (tests with a display) and clean_lib.sh (tests without):
#   fail MESSAGE   prints the last run's captured output ($OUT/stdout, $OUT/stderr) and fails
fail() {
  echo "FAIL: $*"
  echo "--- stdout:"
  cat "$OUT/stdout" 2>/dev/null
  echo "--- stderr:"
  cat "$OUT/stderr" 2>/dev/null
  exit 1
}

#!/usr/bin/env bash
# Checks that every C++ file of the project is formatted as .clang-format says.
#   scripts/check-format.sh          list the files that differ (exit 1 if any)
#   scripts/check-format.sh --fix    format them in place
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
mapfile -t files < <(find . -path './build*' -prune -o -path './.git' -prune -o \
                          \( -name '*.cpp' -o -name '*.h' \) -print | sort)
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if clang-format --dry-run --Werror "${files[@]}" >/dev/null 2>&1; then
  echo "${#files[@]} files formatted."
  exit 0
fi
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -gt 0 ]; then
  echo "Not formatted (run scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "${#files[@]} files formatted."

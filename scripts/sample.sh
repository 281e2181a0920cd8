#!/usr/bin/env bash
# Makes the built-in sample scan set on first use and prints the path of its
# configuration. Needs the tools built by scripts/setup.sh.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DIR="$ROOT/sample"
if [ ! -f "$DIR/sample.conf" ]; then
  mkdir -p "$DIR"
  "$ROOT/build/tools/rangeloom-sample" --out "$DIR" >&2
fi
echo "$DIR/sample.conf"

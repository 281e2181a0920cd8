#!/usr/bin/env bash
# The Dask driver against rangeloom-clean in one process at the same number of
# cores: for each N, rangeloom-clean --threads N and python3 -m rangeloom.dask
# --local N --threads N clean CONF into folders of their own (fresh work folders),
# the files are compared byte for byte, and the wall and processor times are
# printed with the driver's ratio to the single process.
#   bench/dask_bench.sh BUILD CONF [--dir DIR] [--cores "1 2"] [-- OPTIONS...]
# DIR (default BUILD/dask-bench) holds the outputs and work folders and is
# emptied first and at the end. OPTIONS go to both programs (rangeloom-clean's),
# DRIVER_ARGS (say "--memory 1G") to the driver only; PYTHON picks the
# interpreter (default: the one the build's module is for).
set -euo pipefail
BUILD=$(cd "${1:?usage: bench/dask_bench.sh BUILD CONF [options] [-- OPTIONS...]}" && pwd)
CONF=${2:?usage: bench/dask_bench.sh BUILD CONF [options] [-- OPTIONS...]}
shift 2
DIR=$BUILD/dask-bench
CORES="1 2"
OPTIONS=()
while [ $# -gt 0 ]; do
  case $1 in
    --dir) DIR=$2; shift 2 ;;
    --cores) CORES=$2; shift 2 ;;
    --) shift; OPTIONS=("$@"); break ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
read -r -a DRIVER_EXTRA <<<"${DRIVER_ARGS:-}"
. "$(dirname "$0")/clean_measure.sh"
find_clean "$BUILD"
PYTHON=${PYTHON:-$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' "$BUILD/CMakeCache.txt")}
export PYTHONPATH=$BUILD/python${PYTHONPATH:+:$PYTHONPATH}

# run LABEL COMMAND...: prints "wall cpu" of the command (all its processes).
run() {
  local out wall user sys
  out=$( { /usr/bin/time -f "%e %U %S" "$@" >/dev/null; } 2>&1 | tail -1) ||
    { echo "failed: $* ($out)" >&2; exit 1; }
  read -r wall user sys <<<"$out"
  awk -v w="$wall" -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f %.2f\n", w, u + s }'
}

rm -rf "$DIR"
mkdir -p "$DIR"
trap 'rm -rf "$DIR"' EXIT
echo "$(scan_points "$CONF") points of $CONF; options: ${OPTIONS[*]:-none}; driver: ${DRIVER_EXTRA[*]:-defaults}"
printf '%-6s %-24s %8s %8s %11s %10s\n' cores program "wall s" "cpu s" "wall ratio" "cpu ratio"
for n in $CORES; do
  read -r w1 c1 < <(run "$CLEAN" --quiet --threads "$n" --out "$DIR/clean-$n" "${OPTIONS[@]}" "$CONF")
  read -r w2 c2 < <(run "$PYTHON" -m rangeloom.dask --local "$n" --threads "$n" --quiet \
    --work "$DIR/work-$n" "${DRIVER_EXTRA[@]}" --out "$DIR/dask-$n" "${OPTIONS[@]}" "$CONF")
  same=identical
  diff -r -q "$DIR/clean-$n" "$DIR/dask-$n" >/dev/null || same="DIFFERENT FILES"
  printf '%-6s %-24s %8.2f %8.2f %11s %10s\n' "$n" rangeloom-clean "$w1" "$c1" 1.00 1.00
  printf '%-6s %-24s %8.2f %8.2f %11.2f %10.2f  %s\n' "$n" "rangeloom.dask --local $n" "$w2" "$c2" \
    "$(awk -v a="$w2" -v b="$w1" 'BEGIN { print a / b }')" \
    "$(awk -v a="$c2" -v b="$c1" 'BEGIN { print a / b }')" "$same"
  rm -rf "$DIR/clean-$n" "$DIR/dask-$n" "$DIR/work-$n"
done

#!/usr/bin/env bash
# The registration figures on one scan configuration: for the published
# poses and for starts perturbed by R degrees about a random axis through
# each scan's centre and R millimetres (every scan but the first; R = 1, 2,
# 3, 5; several seeds), the fit before and after registration (median and
# RMS gap of the points within 1 mm of another scan), the consistency of the
# result with the result from the published start, the points cleaning
# tosses with the result, and the time of rangeloom-register.
#
#   tools/register_figures.sh BUILD CONF [MM] [THREADS] [SEEDS...]
#
# MM is the scene length of one millimetre (0.001 for scans in metres, the
# default); THREADS is given to rangeloom-register (default 2); SEEDS
# default to 1 2 3. The configurations are written into a temporary folder
# and run from the configuration's folder, so its scan names resolve.
set -euo pipefail

BUILD=$(cd "$1" && pwd)
CONF=$2
shift 2
MM=${1:-0.001}
THREADS=${2:-2}
shift $(( $# > 2 ? 2 : $# ))
SEEDS=("$@")
[ ${#SEEDS[@]} -eq 0 ] && SEEDS=(1 2 3)

cd "$(dirname "$CONF")"
CONF=$(basename "$CONF")
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

mm() { awk -v v="$1" -v mm="$MM" 'BEGIN { printf "%.4f", v / mm }'; }
fit() {  # median/rms in mm
    local out
    out=$("$BUILD/tools/rangeloom-gaps" "$1" "$MM")
    echo "$(mm "$(echo "$out" | awk '{print $2}')")/$(mm "$(echo "$out" | awk '{print $4}')")"
}
tossed() { "$BUILD/clean/rangeloom-clean" --summary "$1" | awk '$1 == "total" {print $4}'; }
register() {  # CONF OUT: registers, prints the seconds taken
    local start end
    start=$(date +%s.%N)
    "$BUILD/register/rangeloom-register" -j "$THREADS" -o "$2" "$1" >/dev/null 2>"$WORK/stderr" ||
        { cat "$WORK/stderr" >&2; exit 1; }
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }'
}

cp "$CONF" "$WORK/published.conf"
seconds=$(register "$WORK/published.conf" "$WORK/reference.conf")
echo "start              fit before (mm)  fit after (mm)   consistency (mm)  tossed  seconds"
printf "%-18s %-16s %-16s %-17s %-7s %s   (published poses: %s tossed)\n" published \
    "$(fit "$WORK/published.conf")" "$(fit "$WORK/reference.conf")" "-" \
    "$(tossed "$WORK/reference.conf")" "$seconds" "$(tossed "$WORK/published.conf")"
for r in 1 2 3 5; do
    for seed in "${SEEDS[@]}"; do
        start="$WORK/r$r-s$seed.conf"
        "$BUILD/tools/rangeloom-perturb" "$CONF" "$start" "$r" \
            "$(awk -v r="$r" -v mm="$MM" 'BEGIN { print r * mm }')" "$seed"
        seconds=$(register "$start" "$WORK/r$r-s$seed.out.conf")
        consistency=$("$BUILD/tools/rangeloom-consistency" "$WORK/reference.conf" \
            "$WORK/r$r-s$seed.out.conf" | awk '{print $2}')
        printf "%-18s %-16s %-16s %-17s %-7s %s\n" "R=$r seed $seed" "$(fit "$start")" \
            "$(fit "$WORK/r$r-s$seed.out.conf")" "$(mm "$consistency")" \
            "$(tossed "$WORK/r$r-s$seed.out.conf")" "$seconds"
    done
done

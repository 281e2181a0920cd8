#!/usr/bin/env bash
# Bytes and nanoseconds per point of rangeloom-clean --summary --quiet on
# generated campaigns of 10, 100 and 400 scans with the same points per scan,
# so that growth with the number of scans shows as a ratio in one run.
#   bench/campaign_bench.sh BUILD [--raster 200x200] [--scans "10 100 400"] [--repeats 3]
#                           [--work DIR] [--slabs "ARGS"] [-- CLEAN_ARGS...]
# Campaigns are generated once (rangeloom-campaign, seed 1) into DIR (default
# BUILD/bench-data) and reused. CLEAN_ARGS go to rangeloom-clean (say
# --threads 1, or a memory limit); CLEAN=PATH picks another rangeloom-clean.
# With --slabs, every campaign is measured a second time out of core, with
# ARGS added (say "--memory 64M" or "--slab-cells 200 --work /scratch"), in
# the same run, so that the ratios compare both paths.
set -euo pipefail
BUILD=${1:?usage: bench/campaign_bench.sh BUILD [options] [-- CLEAN_ARGS...]}
shift
RASTER=200x200
SCANS="10 100 400"
REPEATS=3
WORK=$BUILD/bench-data
CLEAN_ARGS=()
SLAB_ARGS=()
while [ $# -gt 0 ]; do
  case $1 in
    --raster) RASTER=$2; shift 2 ;;
    --scans) SCANS=$2; shift 2 ;;
    --repeats) REPEATS=$2; shift 2 ;;
    --work) WORK=$2; shift 2 ;;
    --slabs) read -r -a SLAB_ARGS <<<"$2"; shift 2 ;;
    --) shift; CLEAN_ARGS=("$@"); break ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
. "$(dirname "$0")/clean_measure.sh"
find_clean "$BUILD"
GENERATOR=$BUILD/tools/campaign/rangeloom-campaign

echo "rangeloom-clean --summary --quiet ${CLEAN_ARGS[*]}: campaigns of $RASTER rasters, best of $REPEATS"
measure_header
for n in $SCANS; do
  dir=$WORK/campaign-$RASTER-$n
  if [ ! -f "$dir/campaign.conf" ]; then
    "$GENERATOR" "$dir" --stations "$n" --raster "$RASTER" --seed 1 >/dev/null
  fi
  points=$(scan_points "$dir/campaign.conf")
  measure "$n scans" "$n" "$points" "$dir/campaign.conf"
  if [ ${#SLAB_ARGS[@]} -gt 0 ]; then
    saved=("${CLEAN_ARGS[@]}")
    CLEAN_ARGS+=("${SLAB_ARGS[@]}")
    measure "$n slabs" "$n" "$points" "$dir/campaign.conf"
    CLEAN_ARGS=("${saved[@]}")
  fi
done

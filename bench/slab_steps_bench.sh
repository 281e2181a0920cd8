#!/usr/bin/env bash
# The three slab steps called one after the other in one Python process, each
# timed (wall and processor seconds, and page faults), against rangeloom-clean
# in memory on the same campaign at the same number of threads: where the slab
# path spends its time, without the cluster.
#   bench/slab_steps_bench.sh BUILD CONF [--dir DIR] [--threads N] [--slab-bytes B]
# DIR (default BUILD/slab-steps-bench) holds the outputs and the work folder and
# is emptied first and at the end; the slabs are cut as the Dask driver cuts them
# by default (B = 256M). PYTHON picks the interpreter (default: the build's).
set -euo pipefail
BUILD=$(cd "${1:?usage: bench/slab_steps_bench.sh BUILD CONF [options]}" && pwd)
CONF=${2:?usage: bench/slab_steps_bench.sh BUILD CONF [options]}
shift 2
DIR=$BUILD/slab-steps-bench
THREADS=1
SLAB_BYTES=$((256 << 20))
while [ $# -gt 0 ]; do
  case $1 in
    --dir) DIR=$2; shift 2 ;;
    --threads) THREADS=$2; shift 2 ;;
    --slab-bytes) SLAB_BYTES=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 1 ;;
  esac
done
. "$(dirname "$0")/clean_measure.sh"
find_clean "$BUILD"
PYTHON=${PYTHON:-$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' "$BUILD/CMakeCache.txt")}
export PYTHONPATH=$BUILD/python${PYTHONPATH:+:$PYTHONPATH}

rm -rf "$DIR"
mkdir -p "$DIR"
trap 'rm -rf "$DIR"' EXIT
echo "$(scan_points "$CONF") points of $CONF; $THREADS threads"
/usr/bin/time -f "rangeloom-clean in memory: %e s wall, %U + %S s processor, %R faults" \
  "$CLEAN" --quiet --threads "$THREADS" --out "$DIR/clean" "$CONF" >/dev/null
"$PYTHON" - "$CONF" "$DIR" "$THREADS" "$SLAB_BYTES" <<'EOF'
import resource, sys, time
from rangeloom import slabs

conf, folder, threads, slab_bytes = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
args = ["--quiet", "--threads", str(threads), "--out", folder + "/slabs", conf]
work = folder + "/work"


def now():
    r = resource.getrusage(resource.RUSAGE_SELF)
    return time.time(), r.ru_utime + r.ru_stime, r.ru_minflt


def timed(label, step):
    w0, c0, f0 = now()
    result = step()
    w1, c1, f1 = now()
    timed.total = [a + b for a, b in zip(timed.total, (w1 - w0, c1 - c0, f1 - f0))]
    print(f"{label:<10} {w1 - w0:8.2f} s wall {c1 - c0:8.2f} s processor {f1 - f0:9d} faults")
    return result


timed.total = [0.0, 0.0, 0]
count = timed("partition", lambda: slabs.partition(args, work, slab_bytes=slab_bytes))
timed(f"{count} slabs", lambda: [slabs.analyse_slab(work, k, threads) for k in range(count)])
timed("gather", lambda: slabs.gather(args, work))
w, c, f = timed.total
print(f"{'steps':<10} {w:8.2f} s wall {c:8.2f} s processor {f:9d} faults")
EOF
diff -r -q "$DIR/clean" "$DIR/slabs" >/dev/null && echo "files identical" || echo "DIFFERENT FILES"

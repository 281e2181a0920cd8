# Shared by the rangeloom-clean benchmarks (sourced): finds the tool and
# measures runs of it.
#   find_clean BUILD                 sets CLEAN (or keeps $CLEAN when set)
#   scan_points CONF                 prints the number of points of the scans CONF names
#   measure_header                   prints the table's header
#   measure LABEL SCANS POINTS CONF  runs CLEAN --summary --quiet [CLEAN_ARGS...] CONF
#                                    $REPEATS times and prints the best wall time (and the
#                                    processor time of that run, all threads), the peak
#                                    resident memory, bytes and nanoseconds (of wall time)
#                                    per point, and the nanoseconds per point against the
#                                    first row
# Peak memory is the largest of the runs (getrusage of the child, through /usr/bin/time).
# On a machine shared with other work the processor time is the steadier figure.

find_clean() {
  if [ -n "${CLEAN:-}" ]; then return; fi
  for c in "$1/clean/rangeloom-clean" "$1/app/rangeloom-clean"; do
    if [ -x "$c" ]; then CLEAN=$c; return; fi
  done
  echo "no rangeloom-clean under $1" >&2
  exit 1
}

scan_points() {
  local conf=$1 dir total=0 name n
  dir=$(dirname "$conf")
  while read -r keyword name _; do
    [ "$keyword" = bmesh ] || continue
    [ -f "$name" ] || name=$dir/$name
    n=$(head -c 4096 "$name" | LC_ALL=C sed -n 's/^element vertex \([0-9]*\).*/\1/p' | head -1)
    total=$((total + n))
  done <"$conf"
  echo "$total"
}

measure_header() {
  printf '%-10s %6s %11s %8s %8s %9s %8s %9s %9s\n' case scans points "wall s" "cpu s" "peak MB" \
    "B/point" "ns/point" "ns ratio"
}

FIRST_NS=
measure() {
  local label=$1 scans=$2 points=$3 conf=$4 best= cpu= peak=0 r out wall user sys mem
  for r in $(seq "${REPEATS:-3}"); do
    out=$( { /usr/bin/time -f "%e %U %S %M" "$CLEAN" --summary --quiet "${CLEAN_ARGS[@]}" "$conf" \
             >/dev/null; } 2>&1 | tail -1) || { echo "rangeloom-clean failed on $conf: $out" >&2; exit 1; }
    read -r wall user sys mem <<<"$out"
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$wall
      cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')
    fi
    [ "$mem" -gt "$peak" ] && peak=$mem
  done
  awk -v l="$label" -v s="$scans" -v p="$points" -v w="$best" -v c="$cpu" -v m="$peak" -v f="${FIRST_NS:-}" 'BEGIN {
    ns = w * 1e9 / p
    printf "%-10s %6d %11d %8.2f %8.2f %9.1f %8.0f %9.1f %9s\n", l, s, p, w, c, m / 1024, m * 1024 / p, ns,
      f == "" ? "1.00" : sprintf("%.2f", ns / f)
  }'
  [ -n "$FIRST_NS" ] || FIRST_NS=$(awk -v w="$best" -v p="$points" 'BEGIN { print w * 1e9 / p }')
}

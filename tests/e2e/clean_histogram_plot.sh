#!/usr/bin/env bash
# rangeloom-clean --histogram and --plot on a generated sample set: every bin
# count of the CSV is recounted from the values of the export (read by a
# separate reader, in Python), every measured value lies in a bin, the
# medians of the table are those of the export, and the plot opens in
# ImageMagick's identify at its size.
. "$(dirname "$0")/clean_lib.sh"
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit 77; }
command -v identify >/dev/null || { echo "SKIP: ImageMagick is not installed"; exit 77; }
clean_init clean-histogram-plot --scans 3 --cols 48 --rows 48
clean_run 0 --export --out x --histogram dist.csv --plot dist.png --bins 20 sample.conf
[ "$(identify -format '%m %w %h' "$OUT/set/dist.png")" = "PNG 1200 750" ] ||
  fail "the plot is not a 1200 x 750 PNG: $(identify "$OUT/set/dist.png" 2>&1)"
clean_run 0 -n --plot log.png --plot-log sample.conf
identify "$OUT/set/log.png" >/dev/null 2>&1 || fail "the logarithmic plot does not open"

python3 - "$OUT/set" >"$OUT/check.txt" 2>&1 <<'PY' || fail "recounting the export: $(cat "$OUT/check.txt")"
import csv, math, struct, sys
folder = sys.argv[1]

def export_values(path):
    data = open(path, "rb").read()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    header = data[:end].decode("ascii").splitlines()
    count = int(next(l for l in header if l.startswith("element vertex")).split()[2])
    fields = struct.unpack("<%df" % (4 * count), data[end:end + 16 * count])
    return [fields[4 * i + 3] for i in range(count)]

rows = list(csv.reader(open(folder + "/dist.csv")))
head, bins = rows[0], rows[1:]
assert head[:2] == ["lower", "upper"] and head[-1] == "all", head
scans = head[2:-1]
assert scans == ["scan00.ply", "scan01.ply", "scan02.ply"], scans
bounds = [(float(r[0]), float(r[1])) for r in bins]
assert len(bins) <= 20 and bounds[0][0] == 0.0
for (lo, hi), (lo2, hi2) in zip(bounds, bounds[1:]):
    assert hi == lo2 and lo < hi, (lo, hi, lo2)
medians = {}
for column, scan in enumerate(scans):
    values = sorted(v for v in export_values(folder + "/x/" + scan.replace(".ply", ".values.ply"))
                    if not math.isnan(v))
    counts = [0] * len(bins)
    for v in values:
        k = next(k for k, (lo, hi) in enumerate(bounds)
                 if lo <= v < hi or (k == len(bounds) - 1 and v == hi))
        counts[k] += 1
    assert counts == [int(r[2 + column]) for r in bins], (scan, counts)
    medians[scan] = values[math.ceil(len(values) / 2) - 1]
assert [int(r[-1]) for r in bins] == [sum(int(c) for c in r[2:-1]) for r in bins]
print(" ".join("%s %.9g" % (s, medians[s]) for s in scans))
PY
# The table's median column (fixed decimals) agrees with the export's median.
read -r _ m0 _ m1 _ m2 <"$OUT/check.txt"
clean_run 0 -n sample.conf
for pair in "scan00.ply $m0" "scan01.ply $m1" "scan02.ply $m2"; do
  set -- $pair
  shown=$(awk -v f="$1" '$1 == f { print $5 }' "$OUT/stdout")
  # Within half a unit of the last decimal shown.
  awk -v a="$shown" -v b="$2" 'BEGIN { n = split(a, p, "."); u = 0.5 * 10 ^ -length(p[2]);
    d = a - b; if (d < 0) d = -d; exit !(n == 2 && d <= u * 1.000001) }' ||
    fail "$1: the table shows the median $shown, the export gives $2"
done

# A report may not replace a scan nor share its name with the other report.
clean_run 2 -n --plot scan00.ply sample.conf
expect_stderr "cannot write scan00.ply: it is also scan scan00.ply"
clean_run 2 --histogram same --plot same sample.conf
expect_stderr "cannot write same: it is also another file of this run"
[ -e "$OUT/set/same" ] && fail "a colliding report was written"
# A report that cannot be written is named; the cleaned scans are still written.
clean_run 3 --plot missing/dist.png --histogram missing/dist.csv sample.conf
expect_stderr "Could not write missing/dist.png: No such file or directory"
expect_stderr "Could not write missing/dist.csv: No such file or directory"
[ -s "$OUT/set/scan00.cln.ply" ] || fail "the cleaned scans were not written"
echo PASS

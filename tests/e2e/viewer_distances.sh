#!/usr/bin/env bash
# Colouring by distance on the generated sample set, as a user sees it: after
# 'm' and 'f' the window shows the legend's colour bar (dark blue at 0 up to
# yellow, lightness rising) and the scans' pixels are lit shades of the bar's
# colours (unlike before 'm'); 'n' prints the histogram; a middle click on a
# scan prints its point's line; 'i' saves the window as a PNG that ImageMagick
# reads at the window's size.
. "$(dirname "$0")/lib.sh"
: "${RANGELOOM_SAMPLE:?}"
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit 77; }
e2e_init viewer-distances
mkdir -p "$OUT/sample"
"$RANGELOOM_SAMPLE" --out "$OUT/sample" >/dev/null || fail "cannot generate the sample set"
RUNDIR=$OUT/sample e2e_start sample.conf
e2e_wait_window
e2e_shot_until "$OUT/start.png" '[ "$(e2e_lit_pixels "$SHOT")" -gt 1000 ]' || fail "the scans are not drawn"

# share IMAGE: the share of lit scene pixels (left of the legend) that are a
# lit shade k * c of a colour c of the legend's bar, or grey (unmeasured).
cat >"$OUT/share.py" <<'PY'
import subprocess, sys
def pixels(path):
    ppm = subprocess.run(["convert", path, "ppm:-"], capture_output=True, check=True).stdout
    parts = ppm.split(maxsplit=4)
    w, h = int(parts[1]), int(parts[2])
    data = parts[4]
    return w, h, lambda x, y: tuple(data[3 * (y * w + x): 3 * (y * w + x) + 3])
w, h, at = pixels(sys.argv[1])
# The bar from bottom (0) to top (the maximum), less the white threshold line.
bar = [c for c in (at(601, y) for y in range(335, 44, -1)) if not c[0] == c[1] == c[2]]
lum = [0.2126 * r + 0.7152 * g + 0.0722 * b for r, g, b in bar]
if sys.argv[2] == "bar":
    if len(bar) < 100:
        print(0)
        sys.exit(0)
    r0, g0, b0 = bar[0]
    r1, g1, b1 = bar[-1]
    rising = all(lum[i + 8] > lum[i] for i in range(len(lum) - 8))
    print(int(b0 > r0 and b0 > g0 and r1 > 200 and g1 > 200 and b1 < 80 and rising))
    sys.exit(0)
colours = sorted(set(bar))
lit = matched = mapped = 0
for y in range(0, h, 3):
    for x in range(0, 560, 3):
        p = at(x, y)
        if max(p) < 30 or max(p) > 249:
            continue  # background, or too bright to tell the hue
        lit += 1
        if max(p) - min(p) <= 6:
            matched += 1
            continue
        best = 1e9
        for c in colours:
            k = sum(a * b for a, b in zip(p, c)) / max(1, sum(b * b for b in c))
            best = min(best, max(abs(a - k * b) for a, b in zip(p, c)))
        if best <= 10:
            matched += 1
            mapped += 1
print(lit, matched * 100 // max(lit, 1), mapped * 100 // max(lit, 1))
PY

# Framed, tossed points unmarked: the material's look first, then the colours
# (a frame is complete once its legend, drawn last, shows).
e2e_key f b
e2e_wait_stdout "Framed the shown objects"
e2e_shot_settled "$OUT/material.png" || fail "the framed view never settled"
e2e_key m
e2e_wait_stdout "Colour scale 0 to "
e2e_shot_until "$OUT/colour.png" '[ "$(python3 "$OUT/share.py" "$SHOT" bar)" = 1 ]' ||
  fail "no colour bar from dark blue to yellow at the window's right edge"

read -r LIT SHARE MAPPED < <(python3 "$OUT/share.py" "$OUT/colour.png" scene)
[ "$LIT" -gt 2000 ] || fail "only $LIT lit pixels in the coloured view"
[ "$SHARE" -ge 85 ] && [ "$MAPPED" -ge 30 ] ||
  fail "$SHARE% of the lit pixels are shades of the map or grey, $MAPPED% of the map (want 85% and 30%)"
# Before 'm' the scans' material is not a shade of the map (checked against
# the same bar, pasted into the earlier picture).
convert "$OUT/material.png" \( "$OUT/colour.png" -crop 120x320+560+30 \) -geometry +560+30 -composite "$OUT/material-bar.png"
read -r _ _ BEFORE < <(python3 "$OUT/share.py" "$OUT/material-bar.png" scene)
[ "$BEFORE" -lt 20 ] || fail "the material view already matches the map ($BEFORE%): the check proves nothing"

e2e_key n
e2e_wait_stdout "<- threshold"
xdotool mousemove --window "$WID" 350 350 click 2
wait_for grep -qaE '^scan scan0[0-5]\.ply point [0-9]+ \(row [0-9]+, column [0-9]+\): ' "$OUT/stdout" ||
  fail "a middle click on the scans printed no point line"

e2e_key i
e2e_wait_stdout "Saved the window as rangeloom-001.png (700 x 700 pixels)"
[ "$(identify -format '%m %w %h' "$OUT/sample/rangeloom-001.png")" = "PNG 700 700" ] ||
  fail "the saved picture is not a 700 x 700 PNG: $(identify "$OUT/sample/rangeloom-001.png" 2>&1)"
e2e_key i
e2e_wait_stdout "Saved the window as rangeloom-002.png"
e2e_quit
cp "$OUT/colour.png" "$OUT/../viewer-distances.png" 2>/dev/null
echo PASS

#!/usr/bin/env bash
# Makes docs/spectrum.png: a photograph-like frame (a night street: lit
# windows on dark walls, white signs, wires against a dusk sky) rendered at
# Amount 1.5 with cubic scaling and smooth sampling, then a crop near its
# upper left corner enlarged three times without smoothing: "Red-Cyan" on
# the left, "Spectrum" (12 samples) on the right.
#   scripts/spectrum-figure.sh     (after scripts/demo.sh built the tool)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=build/release/tools/preview/zarnit-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

args=(--pattern fill:top=0.10,0.14,0.30:bottom=0.62,0.42,0.36 1920x1080 3
      --pattern noise:type=gaussian:mean=0:stddev=0.03:seed=11 1920x1080 3 --add
      --box:color=0.06,0.06,0.07:fill=1 0,180,640,1079
      --box:color=0.09,0.08,0.08:fill=1 420,90,900,1079)
for y in $(seq 220 52 1000); do
  for x in $(seq 40 46 600); do
    args+=(--box:color=1,0.88,0.6:fill=1 "$x,$y,$((x + 21)),$((y + 27))")
  done
done
args+=(--box:color=1,1,1:fill=1 460,150,860,186 --box:color=1,1,1:fill=1 470,200,480,420)
for offset in 0 11; do
  args+=(--line:color=0.02,0.02,0.03 "0,$((60 + offset)),1919,$((300 + offset))")
done
oiiotool "${args[@]}" -d uint8 -o "$work/photo.png"

crop=30,130,270,290  # 240 x 160 pixels near the upper left corner
for mode in red-cyan spectrum; do
  "$tool" "$work/photo.png" "$work/$mode.png" --amount 1.5 --scaling cubic --sampling smooth --mode "$mode" >/dev/null
  oiiotool "$work/$mode.png" --cut "$crop" --resample 720x480 -o "$work/$mode-crop.png"
done
oiiotool "$work/red-cyan-crop.png" "$work/spectrum-crop.png" --mosaic:pad=16 2x1 -d uint8 -o docs/spectrum.png
echo "wrote docs/spectrum.png"

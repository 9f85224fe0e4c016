#!/usr/bin/env bash
# Makes docs/sampling.png: a photograph-like frame (sky, a building with lit
# windows, wires across it), rendered at Amount 4 with cubic scaling, then a
# crop near its lower right corner enlarged six times without smoothing:
# "Nearest" on the left, "Smooth" on the right.
#   scripts/sampling-figure.sh     (after scripts/demo.sh built the tool)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=build/release/tools/preview/zarnit-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

args=(--pattern fill:top=0.32,0.52,0.86:bottom=0.92,0.78,0.62 1920x1080 3
      --pattern noise:type=gaussian:mean=0:stddev=0.04:seed=7 1920x1080 3 --add
      --box:color=0.07,0.08,0.1:fill=1 1180,420,1919,1079
      --box:color=0.11,0.09,0.08:fill=1 1520,260,1919,1079)
for y in $(seq 300 44 1040); do
  for x in $(seq 1548 38 1900); do
    args+=(--box:color=1,0.86,0.55:fill=1 "$x,$y,$((x + 17)),$((y + 23))")
  done
done
for offset in 0 9 18; do
  args+=(--line:color=0.02,0.02,0.03 "0,$((520 + offset)),1919,$((1079 - 150 + offset))")
done
oiiotool "${args[@]}" -d uint8 -o "$work/photo.png"

crop=1700,900,1820,980  # 120 x 80 pixels near the lower right corner
for sampling in nearest smooth; do
  "$tool" "$work/photo.png" "$work/$sampling.png" --amount 4 --scaling cubic --sampling "$sampling" >/dev/null
  oiiotool "$work/$sampling.png" --cut "$crop" --resample 720x480 -o "$work/$sampling-crop.png"
done
oiiotool "$work/nearest-crop.png" "$work/smooth-crop.png" --mosaic:pad=16 2x1 -d uint8 -o docs/sampling.png
echo "wrote docs/sampling.png"

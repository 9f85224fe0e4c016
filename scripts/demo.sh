#!/usr/bin/env bash
# First command on a fresh Debian machine (as root): installs what is missing,
# builds the plug-in and the preview renderer (release preset, nothing else),
# and renders the demo: a test chart in every host format and a contact sheet.
#   scripts/demo.sh [FOLDER]    (default demo-output)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

out=${1:-demo-output}

tool=build/release/tools/preview/zarnit-render
build() {
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(nproc)" --target zarnit-render
}

zf_step "packages" zf_install_packages
zf_use_ccache
zf_step "release: build the plug-in and zarnit-render" build
zf_step "render the demo into $out/" "$tool" --demo "$out"
zf_step_summary

echo
echo "Look at $out/contact-sheet.png first: the chart as it is, then under every Mode and Scaling."
echo "Render your own images with:"
echo "  $tool INPUT OUTPUT [--mode red-cyan --scaling linear --amount 25 ...]   ($tool --help)"

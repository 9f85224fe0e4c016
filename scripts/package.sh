#!/usr/bin/env bash
# Builds the Windows x64 plug-in and packs it for users:
#   dist/ZarnitFringe-<major>.<minor>-win64.zip  holding ZarnitFringe.aex and INSTALL.txt
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

zf_install_packages "${ZF_WINDOWS_PACKAGES[@]}"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target ZarnitFringe

identity() { sed -n "s/^#define $1 \"\{0,1\}\([^\"]*\)\"\{0,1\}$/\1/p" host/Identity.h; }
name=$(identity ZF_NAME)
category=$(identity ZF_CATEGORY)
version="$(identity ZF_MAJOR_VERSION).$(identity ZF_MINOR_VERSION)"

aex=$(find build/windows -name ZarnitFringe.aex -type f | head -n 1)
if [ -z "$aex" ]; then echo "ZarnitFringe.aex was not built" >&2; exit 1; fi

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$aex" "$stage/ZarnitFringe.aex"
cat > "$stage/INSTALL.txt" <<NOTE
$name $version for Adobe After Effects and Adobe Premiere Pro, Windows x64

Install
  1. Quit After Effects and Premiere Pro.
  2. Copy ZarnitFringe.aex into the plug-ins folder shared by both:
       C:\\Program Files\\Adobe\\Common\\Plug-ins\\7.0\\MediaCore
     (or into After Effects' own Plug-ins folder).
  3. Start the application: the effect is in the Effect menu under
     $category > $name.

Uninstall
  Delete ZarnitFringe.aex from that folder.
NOTE
sed -i 's/$/\r/' "$stage/INSTALL.txt"

mkdir -p dist
archive="dist/ZarnitFringe-$version-win64.zip"
rm -f "$archive"
(cd "$stage" && zip -X -q "$OLDPWD/$archive" ZarnitFringe.aex INSTALL.txt)
echo "== $archive"

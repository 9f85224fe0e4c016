#!/usr/bin/env bash
# Builds the plug-in for Windows x64 and macOS and packs each for users:
#   dist/ZarnitFringe-<major>.<minor>-win64-setup.exe  the Windows installer
#   dist/ZarnitFringe-<major>.<minor>-win64.zip  holding ZarnitFringe.aex and INSTALL.txt
#   dist/ZarnitFringe-<major>.<minor>-macos.zip  holding ZarnitFringe.plugin and INSTALL.txt
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

zf_install_packages "${ZF_WINDOWS_PACKAGES[@]}" "${ZF_MACOS_PACKAGES[@]}"
zf_install_zig

identity() { sed -n "s/^#define $1 \"\{0,1\}\([^\"]*\)\"\{0,1\}$/\1/p" host/Identity.h; }
name=$(identity ZF_NAME)
category=$(identity ZF_CATEGORY)
version="$(identity ZF_MAJOR_VERSION).$(identity ZF_MINOR_VERSION)"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p dist

# pack <folder> <archive> <entries...>: zip keeps each file's Unix mode, so
# the bundle's executable stays executable.
pack() {
  local folder=$1 archive=$2
  shift 2
  rm -f "$archive"
  (cd "$folder" && zip -X -r -q "$OLDPWD/$archive" "$@")
  echo "== $archive"
}

# --- Windows ---------------------------------------------------------------
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target ZarnitFringe ZarnitFringeSetup
aex=build/windows/host/ZarnitFringe.aex
setup=build/windows/packaging/windows/ZarnitFringe-$version-win64-setup.exe
if [ ! -f "$aex" ]; then echo "ZarnitFringe.aex was not built" >&2; exit 1; fi
if [ ! -f "$setup" ]; then echo "$setup was not built" >&2; exit 1; fi
cp "$setup" dist/
echo "== dist/$(basename "$setup")"

mkdir "$stage/win64"
cp "$aex" "$stage/win64/ZarnitFringe.aex"
cat > "$stage/win64/INSTALL.txt" <<NOTE
$name $version for Adobe After Effects and Adobe Premiere Pro, Windows x64

The installer (ZarnitFringe-$version-win64-setup.exe) does all of this for
you and registers an uninstaller; this archive is for copying by hand.

Install
  1. Quit After Effects, Premiere Pro and Media Encoder.
  2. Copy ZarnitFringe.aex into a folder of its own in the plug-ins folder
     shared by them:
       C:\\Program Files\\Adobe\\Common\\Plug-ins\\7.0\\MediaCore\\Zarnit
     (or into After Effects' own Plug-ins folder).
  3. Start the application: the effect is in the Effect menu under
     $category > $name.

Uninstall
  Delete ZarnitFringe.aex from that folder.
NOTE
sed -i 's/$/\r/' "$stage/win64/INSTALL.txt"
pack "$stage/win64" "dist/ZarnitFringe-$version-win64.zip" ZarnitFringe.aex INSTALL.txt

# --- macOS -----------------------------------------------------------------
cmake --preset macos-cross >/dev/null
cmake --build --preset macos-cross -j "$(nproc)" --target ZarnitFringeBundle
bundle=build/macos-cross/host/ZarnitFringe.plugin
if [ ! -x "$bundle/Contents/MacOS/ZarnitFringe" ]; then echo "ZarnitFringe.plugin was not built" >&2; exit 1; fi

mkdir "$stage/macos"
cp -R "$bundle" "$stage/macos/ZarnitFringe.plugin"
folder="/Library/Application Support/Adobe/Common/Plug-ins/7.0/MediaCore"
cat > "$stage/macos/INSTALL.txt" <<NOTE
$name $version for Adobe After Effects and Adobe Premiere Pro, macOS 11 or later

One bundle for Apple silicon and Intel Macs: its executable holds an arm64
and an x86-64 slice, and the host loads the one it runs as.

Install
  1. Quit After Effects and Premiere Pro.
  2. Copy the folder ZarnitFringe.plugin, whole, into the plug-ins folder
     shared by both, and clear the quarantine flag that a download sets
     (macOS refuses to load a quarantined plug-in that is not notarised).
     In Terminal, from the folder holding ZarnitFringe.plugin:
       sudo cp -R ZarnitFringe.plugin "$folder/"
       sudo xattr -dr com.apple.quarantine "$folder/ZarnitFringe.plugin"
  3. Start the application: the effect is in the Effect menu under
     $category > $name.

Signature
  Each slice of the executable has an ad-hoc code signature (no
  certificate). It covers the executable only, not Info.plist or the
  resource file. This could not be tried with every host version: if the
  host refuses to load the plug-in, sign the whole bundle on your Mac:
       sudo codesign --force --sign - "$folder/ZarnitFringe.plugin"

Uninstall
  Delete ZarnitFringe.plugin from that folder.
NOTE
pack "$stage/macos" "dist/ZarnitFringe-$version-macos.zip" ZarnitFringe.plugin INSTALL.txt

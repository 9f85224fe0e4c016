#!/bin/bash
# The Windows installer under Wine, each case in a Wine prefix of its own,
# made fresh:
#   InstallerTest.sh <case> <setup.exe> <newer-setup.exe> <ZarnitFringe.aex> <work folder>
# Cases: default-folder, registry-folder, unicode-folder, refuses-downgrade,
# uninstall. Exits non-zero with a message on the first thing that is wrong.
set -euo pipefail

case=$1 setup=$2 newer=$3 aex=$4 work=$5

wine=
for candidate in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
                 /opt/wine-stable/bin/wine64 "$(command -v wine64 || true)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then wine=$candidate; break; fi
done
[ -n "$wine" ] || { echo "no wine64 found (Debian package wine64)" >&2; exit 1; }
wineserver="$(dirname "$wine")/wineserver"

prefix="$work/$case"
rm -rf "$prefix"
mkdir -p "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Command lines and file names pass through the locale: non-ASCII folder
# names need a UTF-8 one.
export LC_ALL=C.UTF-8
"$wine" wineboot --init >/dev/null 2>&1 || true
"$wineserver" -w
[ -f "$prefix/system.reg" ] || { echo "could not make the Wine prefix $prefix" >&2; exit 1; }

fail() { echo "FAIL ($case): $*" >&2; exit 1; }
# Runs a Windows program and waits for everything it started (an NSIS
# uninstaller runs again from a copy of itself).
run() { local status=0; "$wine" "$@" || status=$?; "$wineserver" -w; return "$status"; }
unix() { "$wine" winepath -u "$1" 2>/dev/null | tr -d '\r'; }
unix_to_windows() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZarnitFringe'
# A value of the uninstall entry, through an export (UTF-16, which keeps
# every letter; the console would show the code page's).
reg_value() {
  local file
  file=$(mktemp -p "$prefix" export.XXXXXX)
  rm -f "$file"
  "$wine" reg export "$uninstall_key" "$(unix_to_windows "$file")" /reg:64 >/dev/null 2>&1 || return 0
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -n "s/^\"$1\"=\"\(.*\)\"\$/\1/p" | sed 's/\\\\/\\/g; s/\\"/"/g'
  rm -f "$file"
}

default='C:\Program Files\Adobe\Common\Plug-ins\7.0\MediaCore\Zarnit'
expect_installed() {  # <windows folder>
  local folder
  folder=$(unix "$1")
  [ -f "$folder/ZarnitFringe.aex" ] || fail "no ZarnitFringe.aex in $1"
  cmp -s "$folder/ZarnitFringe.aex" "$aex" || fail "the installed ZarnitFringe.aex is not the one built"
  [ -f "$folder/Uninstall ZarnitFringe.exe" ] || fail "no uninstaller in $1"
  [ "$(reg_value InstallLocation)" = "$1" ] || fail "InstallLocation is '$(reg_value InstallLocation)', not '$1'"
  [ "$(reg_value UninstallString)" = "\"$1\\Uninstall ZarnitFringe.exe\"" ] || fail "UninstallString is '$(reg_value UninstallString)'"
  [ "$(reg_value DisplayName)" = "Zarnit Chromatic Aberration" ] || fail "DisplayName is '$(reg_value DisplayName)'"
  [ -n "$(reg_value DisplayVersion)" ] || fail "no DisplayVersion"
  [ "$(reg_value Publisher)" = "Zarnit" ] || fail "Publisher is '$(reg_value Publisher)'"
}

case $case in
  default-folder)
    run "$setup" /S || fail "the silent install exited with $?"
    expect_installed "$default"
    [ "$(reg_value DisplayVersion)" = "$ZF_VERSION_TEXT" ] || fail "DisplayVersion is '$(reg_value DisplayVersion)'"
    ;;
  registry-folder)
    # Two applications name folders; the newest version's is taken.
    "$wine" reg add 'HKLM\SOFTWARE\Adobe\After Effects\24.0' /v CommonPluginInstallPath /d 'C:\Old Adobe\MediaCore' /f /reg:64 >/dev/null
    "$wine" reg add 'HKLM\SOFTWARE\Adobe\Premiere Pro\25.0' /v CommonPluginInstallPath /d 'C:\Adobe Common\MediaCore\' /f /reg:64 >/dev/null
    "$wine" reg add 'HKLM\SOFTWARE\Adobe\Premiere Pro\9.0' /v CommonPluginInstallPath /d 'C:\Older Still' /f /reg:64 >/dev/null
    run "$setup" /S || fail "the silent install exited with $?"
    expect_installed 'C:\Adobe Common\MediaCore\Zarnit'
    [ ! -e "$(unix 'C:\Old Adobe')" ] || fail "something was put into the older version's folder"
    [ ! -e "$(unix "$default")" ] || fail "something was put into the default folder"
    ;;
  unicode-folder)
    # /D= takes the rest of the command line, unquoted, spaces and all;
    # Wine would quote it as one argument, so cmd passes the line on as typed.
    folder='C:\Plug-ins für Ärzte\Zarnit Ω'
    run cmd /c "$(unix_to_windows "$setup") /S /D=$folder" ||
      fail "the silent install exited with $?"
    expect_installed "$folder"
    ;;
  refuses-downgrade)
    # An older or equal version is replaced; a newer one is not.
    run "$setup" /S || fail "the first install exited with $?"
    run "$newer" /S || fail "upgrading exited with $?"
    newer_version=$(reg_value DisplayVersion)
    [ "$newer_version" = "99.0.0.0" ] || fail "the upgrade registered '$newer_version'"
    run "$newer" /S || fail "reinstalling the same version exited with $?"
    status=0
    run "$setup" /S || status=$?
    [ "$status" -ne 0 ] || fail "installing over a newer version succeeded"
    [ "$(reg_value DisplayVersion)" = "$newer_version" ] || fail "the registered version changed to '$(reg_value DisplayVersion)'"
    ;;
  uninstall)
    "$wine" reg add 'HKLM\SOFTWARE\Adobe\Premiere Pro\25.0' /v CommonPluginInstallPath /d 'C:\Adobe Common\MediaCore' /f /reg:64 >/dev/null
    mkdir -p "$(unix 'C:\Adobe Common\MediaCore')/Other Vendor"
    run "$setup" /S || fail "the silent install exited with $?"
    expect_installed 'C:\Adobe Common\MediaCore\Zarnit'
    run "$(unix 'C:\Adobe Common\MediaCore\Zarnit\Uninstall ZarnitFringe.exe')" /S || fail "the silent uninstall exited with $?"
    [ ! -e "$(unix 'C:\Adobe Common\MediaCore\Zarnit')" ] || fail "the plug-in's folder is still there"
    [ -d "$(unix 'C:\Adobe Common\MediaCore\Other Vendor')" ] || fail "another vendor's folder went too"
    if "$wine" reg query "$uninstall_key" /reg:64 >/dev/null 2>&1; then fail "the uninstall entry is still registered"; fi
    ;;
  *)
    echo "unknown case $case" >&2
    exit 2
    ;;
esac
echo "ok ($case)"
rm -rf "$prefix"

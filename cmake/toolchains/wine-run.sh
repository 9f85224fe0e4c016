#!/bin/sh
# Runs one Windows program under Wine for CTest:
#   wine-run.sh <prefix directory> <program.exe> [arguments...]
# The prefix is private to the build tree and created once; concurrent tests
# wait for the first one to finish creating it. The program's exit code is
# passed through.
set -eu

prefix=$1
shift

wine=
for candidate in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 \
                 /opt/wine-stable/bin/wine64 "$(command -v wine64 || true)"; do
  if [ -n "$candidate" ] && [ -x "$candidate" ]; then
    wine=$candidate
    break
  fi
done
if [ -z "$wine" ]; then
  echo "wine-run.sh: no wine64 found (Debian package wine64)" >&2
  exit 127
fi

WINEPREFIX=$prefix
WINEDEBUG=-all
# Gecko and Mono would be offered for download on first start; nothing here needs them.
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.zf-ready" ]; then
    "$wine" wineboot --init >/dev/null 2>&1 || true
    "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    if [ ! -f "$prefix/system.reg" ]; then
      echo "wine-run.sh: could not create the Wine prefix $prefix" >&2
      exit 1
    fi
    touch "$prefix/.zf-ready"
  fi
) 9>"$prefix.lock"

exec "$wine" "$@"

#!/usr/bin/env bash
# Proves that README's two commands set everything up on a fresh machine:
# makes a new minimal Debian root of this machine's release, puts a clean
# export of HEAD into it, and runs scripts/demo.sh, then scripts/test.sh,
# inside it as root. Fails if either fails. CI runs exactly this.
#
#   scripts/fresh-check.sh            (as root; needs about 15 GB free)
#
# The root takes this machine's package sources, apt settings, name server
# and trusted certificate authorities, so it reaches the same registries the
# same way. Download and compiler caches are shared with it (apt's archive,
# npm's cache, ccache, zig's libc++ for macOS): a cache saves time but hides
# no install step, since the root still has to install every package itself.
#
# Environment: ZF_FRESH_DIR (where the root is made, default /var/tmp),
# ZF_FRESH_SOURCES (the apt sources file to use, default this machine's).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

checkout=$PWD
inside=/src/ZarnitFringe
# zig's libc++ for the macOS targets, built once per zig version.
zig_cache=/var/cache/zarnitfringe/zig
need_gb=15

if [ "$(id -u)" -ne 0 ]; then
  echo "fresh-check: run as root (it makes a Debian root with mmdebstrap and chroots into it)" >&2
  exit 1
fi
if ! git -C "$checkout" rev-parse --verify -q HEAD >/dev/null; then
  echo "fresh-check: $checkout is not a git checkout with a commit" >&2
  exit 1
fi
if [ -n "$(git -C "$checkout" status --porcelain --untracked-files=no)" ]; then
  echo "fresh-check: note: uncommitted changes are not part of this check (it uses HEAD)"
fi

# shellcheck source=/dev/null
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
if [ -z "$codename" ]; then
  echo "fresh-check: /etc/os-release names no VERSION_CODENAME" >&2
  exit 1
fi
sources=${ZF_FRESH_SOURCES:-}
if [ -z "$sources" ]; then
  for candidate in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
    if [ -s "$candidate" ]; then
      sources=$candidate
      break
    fi
  done
fi
if [ -z "$sources" ] || [ ! -s "$sources" ]; then
  echo "fresh-check: no apt sources file found (set ZF_FRESH_SOURCES)" >&2
  exit 1
fi

parent=${ZF_FRESH_DIR:-/var/tmp}
mkdir -p "$parent"
free_gb=$(( $(df -Pk "$parent" | awk 'NR == 2 { print $4 }') / 1024 / 1024 ))
if [ "$free_gb" -lt "$need_gb" ]; then
  echo "fresh-check: only $free_gb GB free in $parent; the root and its build trees need about $need_gb GB." >&2
  echo "Free some space, or set ZF_FRESH_DIR to a folder on a larger disk." >&2
  exit 1
fi

work=$(mktemp -d "$parent/zf-fresh.XXXXXX")
root=$work/root
mounts=()

mounted_under() {
  awk -v r="$1" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo
}

cleanup() {
  local status=$?
  trap - EXIT INT TERM
  set +e
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}"
  done
  # Whatever mmdebstrap or a test left mounted goes too, deepest first.
  mounted_under "$root" | sort -r | while read -r m; do umount "$m" 2>/dev/null || umount -l "$m"; done
  if [ -n "$(mounted_under "$root")" ]; then
    echo "fresh-check: still mounted under $root, so it is NOT removed:" >&2
    mounted_under "$root" >&2
    exit 1
  fi
  rm -rf --one-file-system "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bind() {
  local from=$1 to=$root$2
  mkdir -p "$from" "$to"
  mount --bind "$from" "$to"
  mounts+=("$to")
}

make_root() {
  command -v mmdebstrap >/dev/null || zf_install_packages mmdebstrap
  local aptopts=()
  local f
  for f in /etc/apt/apt.conf.d/*; do
    [ -f "$f" ] && aptopts+=("--aptopt=$f")
  done
  echo "fresh-check: Debian $codename (minbase) from $sources into $root"
  mmdebstrap --variant=minbase --mode=root --include=ca-certificates "${aptopts[@]}" \
    "$codename" "$root" "$sources"
}

enter_root() {
  cp -L /etc/resolv.conf "$root/etc/resolv.conf"
  # The certificate authorities this machine trusts: registries may be
  # reached through a proxy that only they vouch for.
  if compgen -G "/usr/local/share/ca-certificates/*" >/dev/null; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp -a /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/"
  fi
  chroot "$root" update-ca-certificates >/dev/null
  local f
  for f in "${SSL_CERT_FILE:-}" "${NODE_EXTRA_CA_CERTS:-}"; do
    if [ -n "$f" ] && [ -f "$f" ]; then
      mkdir -p "$root$(dirname "$f")"
      cp -L "$f" "$root$f"
    fi
  done

  mkdir -p "$root$inside"
  git -C "$checkout" archive HEAD | tar -x -C "$root$inside"
  echo "fresh-check: $(git -C "$checkout" log -1 --format='%h %s') exported to $inside"
  bind /proc /proc
  bind /sys /sys
  bind /dev /dev
  bind /dev/pts /dev/pts
  bind /dev/shm /dev/shm
  bind /var/cache/apt/archives /var/cache/apt/archives
  bind "${HOME:-/root}/.npm" /root/.npm
  bind "$(ccache -k cache_dir 2>/dev/null || echo "${HOME:-/root}/.cache/ccache")" /root/.cache/ccache
  bind "$zig_cache" /root/.cache/zarnitfringe-zig
}

# README's commands, as a new user runs them: as root, in a clean environment.
inside_root() {
  local env=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
             LANG=C.UTF-8 TERM="${TERM:-dumb}" CI="${CI:-}" ZF_ZIG_CACHE=/root/.cache/zarnitfringe-zig)
  local v
  for v in SSL_CERT_FILE NODE_EXTRA_CA_CERTS http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY; do
    [ -n "${!v:-}" ] && env+=("$v=${!v}")
  done
  chroot "$root" /usr/bin/env -i "${env[@]}" /bin/bash -c "cd $inside && $1"
}

main() {
  zf_step "fresh root: make it" make_root
  zf_step "fresh root: network, certificates, checkout, mounts" enter_root
  zf_step "fresh root: scripts/demo.sh" inside_root scripts/demo.sh
  zf_step "fresh root: scripts/test.sh" inside_root scripts/test.sh
  zf_step_summary
  echo "fresh-check: README's two commands passed in a fresh Debian $codename root"
}

# Read to the end before anything runs: a checkout that changes under a long
# run cannot change what the run does.
main
exit

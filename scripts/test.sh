#!/usr/bin/env bash
# Sets up a fresh Debian machine (as root), builds every configuration and runs
# every test, printing the time of each step. CI runs exactly this, inside a
# fresh Debian root (scripts/fresh-check.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

zf_step "packages" zf_install_packages
zf_use_ccache
zf_step "dev: build and test" zf_build_and_test dev
zf_step "asan: build and test" zf_sanitizer_build_and_test asan
zf_step "tsan: build and test" zf_sanitizer_build_and_test tsan
zf_step "fuzz: ${ZF_FUZZ_SECONDS} s" zf_fuzz_bounded
zf_step "windows: build, test under Wine" zf_windows_build_and_test
zf_step "linux-aarch64: build, test under qemu" zf_aarch64_build_and_test
zf_step "macos: cross build and check" zf_macos_build_and_check
zf_step_summary

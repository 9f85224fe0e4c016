#!/usr/bin/env bash
# Builds the release preset and runs the benchmarks (tools/bench): kernel,
# conversions and whole renders against the scalar baseline and the memory
# floor, ending with the table of ratios. Arguments go to the benchmark, e.g.
#   scripts/bench.sh --benchmark_filter=kernel/
# Run it on a quiet machine: the figures are wall-clock medians.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib.sh

zf_install_packages
cmake --preset release >/dev/null
cmake --build --preset release --target zf_bench ZarnitFringe -j "$(nproc)"
exec build/release/tools/bench/zf_bench \
  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true "$@"

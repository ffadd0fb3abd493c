#!/usr/bin/env bash
# The fault soak at length, for a developer's machine (not part of the test
# command): whole boards with one random fault each, every fault kind, from a
# random seed unless one is given, on both links and every machine type of the
# soak. Prints each failing board's seed (replay it alone with
# SMT_SOAK_SEED=<seed> SMT_SOAK_BOARDS=1), the figures by fault, and the
# process's memory, threads and open files every 50 boards with whether memory
# stayed flat. Builds the sanitizer build's soak binary only.
# Usage: scripts/soak-long.sh [boards (default 1000)] [seed]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
boards="${1:-1000}"
seed="${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}"
. "$root/scripts/ccache-env.sh"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:${LSAN_OPTIONS:-}"
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_SANITIZE=ON -DSMT_BENCH=OFF >/dev/null
cmake --build build-test -j "$(nproc)" --target test_soak
echo "soak: $boards boards from seed $seed"
SMT_SOAK_SEED="$seed" SMT_SOAK_BOARDS="$boards" SMT_SOAK_SAMPLE="${SMT_SOAK_SAMPLE:-50}" \
  build-test/tests/test_soak --gtest_color=no

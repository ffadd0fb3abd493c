#!/usr/bin/env bash
# Installs what is missing, builds every test with AddressSanitizer and
# UndefinedBehaviorSanitizer, runs them all through CTest, then runs each fuzz
# target for a bounded time.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
jobs="$(nproc)"
export CCACHE_DIR="${CCACHE_DIR:-$root/.ccache}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:${LSAN_OPTIONS:-}"

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_SANITIZE=ON -DSMT_BENCH=OFF
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs" --timeout 600

# Fuzz targets: clang with libFuzzer, each run for a short bounded time.
if ls tests/fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_FUZZ=ON
  cmake --build build-fuzz -j "$jobs" --target fuzz_all
  seconds="${SMT_FUZZ_SECONDS:-20}"
  failed=0; passed=0
  for f in build-fuzz/tests/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name="$(basename "$f")"
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds="tests/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    if "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 "$corpus" $seeds >"build-fuzz/$name.log" 2>&1; then
      passed=$((passed + 1))
    else
      echo "fuzz target $name failed:"; tail -40 "build-fuzz/$name.log"; failed=$((failed + 1))
    fi
  done
  echo "fuzz: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
fi

#!/usr/bin/env bash
# Installs what is missing, checks the includes against the layer table, builds
# every test with AddressSanitizer and UndefinedBehaviorSanitizer and runs them
# all through CTest, then runs the tests labelled tsan in a ThreadSanitizer build
# and, beside them, the fuzz stage (scripts/fuzz-ci.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
# The include graph between the folders of src/ and sim/ keeps the layer table of
# docs/architecture.md and has no cycle; checked before anything is built.
python3 scripts/check-layers.py
jobs="$(nproc)"
. "$root/scripts/ccache-env.sh"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:${LSAN_OPTIONS:-}"

# The next stage runs beside each test stage, on the processor time the tests
# leave (they wait on the simulated machine's motion and replies for a good part
# of it): at the idle scheduling class it only ever gets a core no test wants. Its
# output goes to a log, shown when it fails.
idle=(nice -n 19)
if chrt --idle 0 true 2>/dev/null; then idle=(chrt --idle 0); fi
background() {  # log, then the commands (one per argument, run in order)
  local log="$1"; shift
  (
    for c in "$@"; do
      "${idle[@]}" bash -c "$c" || exit 1
    done
  ) >"$log" 2>&1 &
  background_pid=$!
}
background_wait() {  # log, what failed
  if ! wait "$background_pid"; then
    echo "$2 failed:"; tail -80 "$1"; exit 1
  fi
}

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_SANITIZE=ON -DSMT_BENCH=OFF
cmake --build build-test -j "$jobs"
# The ThreadSanitizer build (no user interface, so only the binaries holding the
# tests labelled tsan and the simulator program) beside the first stage's tests.
background build-tsan.log \
  "cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_TSAN=ON -DSMT_BENCH=OFF" \
  "cmake --build build-tsan -j $jobs --target tsan_tests"
ctest --test-dir build-test --output-on-failure -j "$jobs" --timeout 600 || { wait "$background_pid" || true; exit 1; }
background_wait build-tsan.log "the ThreadSanitizer build"

# The tests that run threads, again in the ThreadSanitizer build; beside them the
# fuzz stage (scripts/fuzz-ci.sh): each fuzz target built with clang and libFuzzer,
# its seeds replayed and a fixed number of runs from a fixed seed.
export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
mkdir -p build-fuzz
background build-fuzz/stage.log "bash scripts/fuzz-ci.sh"
ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 600 -L tsan || { wait "$background_pid" || true; exit 1; }
background_wait build-fuzz/stage.log "the fuzz stage"
tail -1 build-fuzz/stage.log

#!/usr/bin/env bash
# Installs what is missing, checks the includes against the layer table, builds
# every test with AddressSanitizer and UndefinedBehaviorSanitizer and runs them
# all through CTest, runs the tests labelled tsan in a ThreadSanitizer build (built
# beside the first tests), then the fuzz stage (scripts/fuzz-ci.sh).
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

cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_SANITIZE=ON -DSMT_BENCH=OFF
cmake --build build-test -j "$jobs"

# The ThreadSanitizer build (no user interface, so only the binaries holding the
# tests labelled tsan and the simulator program) runs beside the first stage's
# tests, on the processor time they leave (they wait on the simulated machine's
# motion and replies for a good part of it): at the idle scheduling class it only
# ever gets a core no test wants. In a process group of its own, so that whatever
# ends this script ends it too. (The fuzz stage, all processor, runs after the
# tests: beside them it made the timed flying runs miss their frames.)
idle=(nice -n 19)
if chrt --idle 0 true 2>/dev/null; then idle=(chrt --idle 0); fi
mkdir -p build-tsan
rm -f build-tsan/background.status
setsid "${idle[@]}" bash -c '
  { cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_TSAN=ON -DSMT_BENCH=OFF &&
    cmake --build build-tsan -j "$1" --target tsan_tests; } >build-tsan/background.log 2>&1
  echo $? >build-tsan/background.status' background "$jobs" &
background_pid=$!
trap 'kill -- -"$background_pid" 2>/dev/null || true' EXIT

ctest --test-dir build-test --output-on-failure -j "$jobs" --timeout 600

# The tests that run threads, again in the ThreadSanitizer build, once it is built.
wait "$background_pid" || true
if [ "$(cat build-tsan/background.status 2>/dev/null)" != 0 ]; then
  echo "the ThreadSanitizer build failed:"; tail -80 build-tsan/background.log; exit 1
fi
export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 600 -L tsan

# The fuzz stage (scripts/fuzz-ci.sh): each fuzz target built with clang and
# libFuzzer, its seeds replayed and a fixed number of runs from a fixed seed.
bash scripts/fuzz-ci.sh

#!/usr/bin/env bash
# Installs what is missing, checks the includes against the layer table, builds
# every test with AddressSanitizer and UndefinedBehaviorSanitizer and runs them
# all through CTest, runs the tests labelled tsan in a ThreadSanitizer build, then
# the fuzz targets (scripts/fuzz-ci.sh); both builds run beside the first tests.
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

# Beside the first stage's tests, one after the other: the ThreadSanitizer build (no
# user interface, so only the binaries holding the tests labelled tsan and the
# simulator program), then the fuzz targets' build (scripts/fuzz-ci.sh build). The
# tests leave processor time (they wait on the simulated machine's motion and
# replies for a good part of it): at the idle scheduling class the builds only ever
# get a core no test wants. In a process group of their own, so that whatever ends
# this script ends them too. (The fuzz runs, all processor and memory, wait for the
# tests: beside them they made the timed flying runs miss their frames.)
idle=(nice -n 19)
if chrt --idle 0 true 2>/dev/null; then idle=(chrt --idle 0); fi
mkdir -p build-tsan build-fuzz
rm -f build-tsan/background.status build-fuzz/background.status
setsid "${idle[@]}" bash -c '
  { cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_TSAN=ON -DSMT_BENCH=OFF &&
    cmake --build build-tsan -j "$1" --target tsan_tests; } >build-tsan/background.log 2>&1
  status=$?
  echo $status >build-tsan/background.status
  [ $status = 0 ] || exit 0
  bash scripts/fuzz-ci.sh build >build-fuzz/background.log 2>&1
  echo $? >build-fuzz/background.status' background "$jobs" &
background_pid=$!
trap 'kill -- -"$background_pid" 2>/dev/null || true' EXIT

ctest --test-dir build-test --output-on-failure -j "$jobs" --timeout 600

# The builds beside them end before the next tests start, which then have the
# processor to themselves (what is left of the builds has it alone meanwhile).
wait "$background_pid" || true
for b in "build-tsan:the ThreadSanitizer build" "build-fuzz:the fuzz targets' build"; do
  if [ "$(cat "${b%%:*}/background.status" 2>/dev/null)" != 0 ]; then
    echo "${b#*:} failed:"; tail -80 "${b%%:*}/background.log"; exit 1
  fi
done

# The tests that run threads, again in the ThreadSanitizer build, one per core (one
# more at a time made a board mark's frame miss its bound now and then).
export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1:${TSAN_OPTIONS:-}"
ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 600 -L tsan

# The fuzz runs (scripts/fuzz-ci.sh run): each fuzz target, built with clang and
# libFuzzer, replays its seeds, then makes a fixed number of runs from a fixed seed.
bash scripts/fuzz-ci.sh run

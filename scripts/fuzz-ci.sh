#!/usr/bin/env bash
# The fuzz stage of the test command (scripts/test.sh), its last: builds the fuzz
# targets and runs each. Its status is the stage's verdict. "build" only builds
# them (the test command does that beside its first tests), "run" only runs them.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
jobs="$(nproc)"
. "$root/scripts/ccache-env.sh"
# Fuzz targets: clang with libFuzzer. Every run gives the same answer: the seeds
# under tests/fuzz/seeds/<target>/ (every input that ever failed is kept there) are
# replayed first, then a fixed number of runs from a fixed seed, starting from an
# empty corpus. Longer random fuzzing is scripts/fuzz-long.sh.
what="${1:-all}"
if ls tests/fuzz/fuzz_*.cpp >/dev/null 2>&1; then
  if [ "$what" != run ]; then
    CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_FUZZ=ON
    cmake --build build-fuzz -j "$jobs" --target fuzz_all
  fi
  [ "$what" != build ] || exit 0
  runs="${SMT_FUZZ_RUNS:-20000}"
  # The targets that take whole files read inputs of up to 64 KB several ways per
  # run (a run costs them a hundred times what it costs the others): a quarter of
  # the runs, and they start first. Their seeds are replayed whole all the same.
  whole_files=(fuzz_cad_layouts fuzz_project_file fuzz_pcb_section)
  failed=0; passed=0
  mkdir -p build-fuzz/artifacts
  # One target: its seeds replayed, then the fixed runs; its verdict is its status.
  fuzz_target() {
    local f="$1" name corpus seeds log malloc_mb
    name="$(basename "$f")"
    corpus="build-fuzz/corpus-ci/$name"
    rm -rf "$corpus"; mkdir -p "$corpus"
    seeds="tests/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    log="build-fuzz/$name.log"
    # No single allocation beyond a small multiple of the largest input (64 KB): a
    # reader that allocates far beyond the bytes it read fails here. 16 times for
    # most; 64 where the target holds every line as a string (32 bytes for a
    # one-byte line, in a vector that doubles). The whole process, sanitizers
    # included, stays under the RSS limit.
    malloc_mb=1
    case "$name" in
      fuzz_pcb_section|fuzz_project_file) malloc_mb=4 ;;
    esac
    local n="$runs"
    [[ " ${whole_files[*]} " != *" $name "* ]] || n=$((runs / 4))
    local opts=(-rss_limit_mb=2048 -max_len=65536 -malloc_limit_mb="$malloc_mb" -artifact_prefix="build-fuzz/artifacts/$name-")
    { [ -z "$seeds" ] || "$f" "${opts[@]}" -runs=0 "$seeds"; } >"$log" 2>&1 &&
      "$f" "${opts[@]}" -seed=1 -runs="$n" "$corpus" $seeds >>"$log" 2>&1
  }
  # The targets run side by side, one per core; each is single-threaded and its
  # answer does not depend on the others.
  declare -A running=()
  reap_one() {  # waits for the next target to end and counts it
    local pid=""
    if wait -n -p pid; then
      passed=$((passed + 1))
    else
      local name="${running[$pid]}"
      echo "fuzz target $name failed (keep the input under tests/fuzz/seeds/$name/):"; tail -40 "build-fuzz/$name.log"
      failed=$((failed + 1))
    fi
    unset "running[$pid]"
  }
  # The longest first, so that no core is left with one of them at the end.
  targets=()
  for name in "${whole_files[@]}" fuzz_lamp_lines; do
    if [ -x "build-fuzz/tests/fuzz/$name" ]; then targets+=("build-fuzz/tests/fuzz/$name"); fi
  done
  for f in build-fuzz/tests/fuzz/fuzz_*; do
    [[ " ${targets[*]} " == *" $f "* ]] || targets+=("$f")
  done
  for f in "${targets[@]}"; do
    [ -x "$f" ] || continue
    while [ "${#running[@]}" -ge "$jobs" ]; do reap_one; done
    fuzz_target "$f" &
    running[$!]="$(basename "$f")"
  done
  while [ "${#running[@]}" -gt 0 ]; do reap_one; done
  echo "fuzz: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
fi

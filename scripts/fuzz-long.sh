#!/usr/bin/env bash
# Random fuzzing for a developer's machine, not part of the test command: each
# target runs for the given seconds (default 300) from a random seed, keeping its
# corpus in build-fuzz/corpus/<target> between runs. An input that fails is copied
# into tests/fuzz/seeds/<target>/, so the test command replays it from then on.
# Usage: scripts/fuzz-long.sh [seconds] [target...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
seconds="${1:-300}"
shift || true
. "$root/scripts/ccache-env.sh"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz_all
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for f in build-fuzz/tests/fuzz/fuzz_*; do [ -x "$f" ] && targets+=("$(basename "$f")"); done
fi
failed=0
for name in "${targets[@]}"; do
  corpus="build-fuzz/corpus/$name" seeds="tests/fuzz/seeds/$name" found="build-fuzz/found/$name"
  mkdir -p "$corpus" "$seeds" "$found"
  echo "fuzzing $name for ${seconds}s"
  if ! "build-fuzz/tests/fuzz/$name" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$found/" "$corpus" "$seeds" >"build-fuzz/$name.long.log" 2>&1; then
    failed=1
    tail -30 "build-fuzz/$name.long.log"
  fi
  for a in "$found"/*; do
    [ -f "$a" ] || continue
    cp "$a" "$seeds/$(basename "$a")"
    echo "kept $seeds/$(basename "$a"): mend the fault and commit the input"
    rm "$a"
  done
done
exit "$failed"

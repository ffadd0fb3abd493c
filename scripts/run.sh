#!/usr/bin/env bash
# Installs what is missing, builds the program, prepares the start folder and
# starts the program in it (against the simulated machine when no real machine is
# configured; under Xvfb when there is no display).
#
#   SMT_START_DIR   the start folder (default: ~/smt-start)
#   SMT_REAL_MACHINE=1   do not start the simulated machine
#   SMT_SIM_TYPE   machine type of the simulated machine (default 0)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
export CCACHE_DIR="${CCACHE_DIR:-$root/.ccache}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSMT_TESTS=OFF -DSMT_BENCH=OFF
cmake --build build -j "$(nproc)" --target smt $( [ -f sim/main.cpp ] && echo smt-sim )

start="${SMT_START_DIR:-$HOME/smt-start}"
mkdir -p "$start"
# Seed the start folder from res/ without ever overwriting an operator's file.
(cd res && find . -type f ! -name '*.md' -print0) | while IFS= read -r -d '' f; do
  mkdir -p "$start/$(dirname "$f")"
  [ -e "$start/$f" ] || cp "res/$f" "$start/$f"
done

# Against the simulated machine the Ethernet search stays on the loopback
# interface: a start folder seeded before that key existed gets it.
if [ -z "${SMT_REAL_MACHINE:-}" ] && ! grep -q 'EthernetConfig' "$start/config.ini" 2>/dev/null; then
  printf '\r\n[EthernetConfig]\r\nm_DiscoveryInterface=lo\r\n' >> "$start/config.ini"
fi

pids=()
cleanup() { for p in "${pids[@]:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

if [ -z "${SMT_REAL_MACHINE:-}" ] && [ -x build/smt-sim ]; then
  export SMT_SERIAL_DIR="${SMT_SERIAL_DIR:-$start/.serial}"
  mkdir -p "$SMT_SERIAL_DIR"
  # Its control channel is a FIFO held open read-write, so the simulator never sees
  # the end of its input: echo "key start" > "$SMT_SERIAL_DIR/sim-control".
  sim_ctl="$SMT_SERIAL_DIR/sim-control"
  rm -f "$sim_ctl" && mkfifo "$sim_ctl"
  # The simulated machine is of the type the start folder's config.ini names.
  sim_type="${SMT_SIM_TYPE:-$(sed -n 's/^[Mm]achine[Ss]et=\([0-9]\).*/\1/p' "$start/config.ini" 2>/dev/null | head -1)}"
  build/smt-sim --type "${sim_type:-0}" --serial-dir "$SMT_SERIAL_DIR" --com 3 --udp 127.0.0.2 <>"$sim_ctl" &
  pids+=($!)
  echo "Simulated machine started (serial COM3 in $SMT_SERIAL_DIR, Ethernet on 127.0.0.2; commands to $sim_ctl)."
fi

cd "$start"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running the program under Xvfb."
  # Not exec: the simulator is stopped when the program ends.
  xvfb-run -a -s "-screen 0 1400x1000x24" "$root/build/smt"
else
  "$root/build/smt"
fi

#!/usr/bin/env bash
# Installs what is missing, builds the program, prepares the start folder and
# starts the program in it (against the simulated machine when no real machine is
# configured; under Xvfb when there is no display, or the one named does not answer).
# Closing the program stops the simulated machine and the Xvfb started here.
#
#   SMT_START_DIR   the start folder (default: ~/smt-start); when set, the program's own
#                   settings (the recent-file list) live in its .config folder
#   SMT_REAL_MACHINE=1   do not start the simulated machine
#   SMT_SIM_TYPE   machine type of the simulated machine (default 0)
#   SMT_SIM_SCENARIO   the simulated world (default sim/default.scenario)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh
. "$root/scripts/ccache-env.sh"
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
runtime=""
cleanup() {
  for p in "${pids[@]:-}"; do [ -n "$p" ] && kill "$p" 2>/dev/null || true; done
  [ -n "$runtime" ] && rm -rf "$runtime"
}
trap cleanup EXIT

# Qt wants a private runtime folder (mode 0700); a plain root or ssh session has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -d "$XDG_RUNTIME_DIR" ] || [ ! -O "$XDG_RUNTIME_DIR" ]; then
  runtime="$(mktemp -d "${TMPDIR:-/tmp}/smt-runtime-XXXXXX")"
  chmod 0700 "$runtime"
  export XDG_RUNTIME_DIR="$runtime"
fi

# An explicit start folder keeps the program's own settings (recent files) with it.
if [ -n "${SMT_START_DIR:-}" ]; then
  export XDG_CONFIG_HOME="$start/.config"
  mkdir -p "$XDG_CONFIG_HOME"
fi

if [ -z "${SMT_REAL_MACHINE:-}" ] && [ -x build/smt-sim ]; then
  export SMT_SERIAL_DIR="${SMT_SERIAL_DIR:-$start/.serial}"
  mkdir -p "$SMT_SERIAL_DIR"
  # Its control channel is a FIFO held open read-write, so the simulator never sees
  # the end of its input: echo "key start" > "$SMT_SERIAL_DIR/sim-control".
  sim_ctl="$SMT_SERIAL_DIR/sim-control"
  rm -f "$sim_ctl" && mkfifo "$sim_ctl"
  sim_log="$SMT_SERIAL_DIR/sim.log"
  # The simulated machine is of the type the start folder's config.ini names.
  sim_type="${SMT_SIM_TYPE:-$(sed -n 's/^[Mm]achine[Ss]et=\([0-9]\).*/\1/p' "$start/config.ini" 2>/dev/null | head -1)}"
  build/smt-sim --type "${sim_type:-0}" --serial-dir "$SMT_SERIAL_DIR" --com 3 --udp 127.0.0.2 \
    --scenario "${SMT_SIM_SCENARIO:-$root/sim/default.scenario}" <>"$sim_ctl" >"$sim_log" 2>&1 &
  sim_pid=$!
  pids+=("$sim_pid")
  # Ready once it has printed its addresses; a failed start ends the process.
  for _ in $(seq 100); do
    grep -q 'type "help"' "$sim_log" 2>/dev/null && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q 'type "help"' "$sim_log" 2>/dev/null; then
    echo "The simulated machine did not start:" >&2
    cat "$sim_log" >&2
    exit 1
  fi
  echo "Simulated machine ready (serial COM3 in $SMT_SERIAL_DIR, Ethernet on 127.0.0.2; commands to $sim_ctl, output in $sim_log)."
fi

cd "$start"
# A display named but gone (a closed session's DISPLAY) would abort the program.
if [ -n "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && ! xdpyinfo >/dev/null 2>&1; then
  echo "The display $DISPLAY does not answer: using a virtual display instead."
  unset DISPLAY
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  # A free display number of our own, so it can be named for looking at it.
  n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1400x1000x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  export DISPLAY=":$n"
  echo "No display: the program runs under Xvfb on display :$n."
  echo "  Look at it: DISPLAY=:$n import -window root shot.png (or x11vnc -display :$n)."
  echo "  Ending the program (Ctrl+C here) stops the simulated machine and this display too."
fi
# Not exec: the simulator (and Xvfb) are stopped when the program ends.
"$root/build/smt"

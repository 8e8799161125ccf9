#!/usr/bin/env bash
# Builds Quorvel Software Writer (installing what is missing) and runs the main job: a whole
# firmware rewrite of a simulated device.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    cat <<'TXT'
usage: ./run.sh

Installs missing Debian packages, builds into build/, then starts the simulated flash
loader (paced like a real 38400 bit/s line) on a pseudo-terminal, points COM1 at it
(QUORVEL_COM1) and:
  - with a display (DISPLAY or WAYLAND_DISPLAY set): opens the window with the default
    image; press "Write Ver.01.02" and watch a whole rewrite;
  - without a display: runs `quorvel-flash write --yes` on the default image against
    the same simulator, with its progress bar.
The simulator's flash is written to build/simulated-flash.bin when it ends.

A real device: connect it, then run the tools directly, for example
  build/bin/quorvel-writer                                   (pick the port in the list)
  build/bin/quorvel-flash write --port COM1 build/bin/QUORVEL_140428_01_02.mot
  build/bin/quorvel-flash write --port /dev/ttyUSB0 FILE
COM n is the n-th serial port the system reports (USB and ACM adapters first, ttyS
last); QUORVEL_COM<n>=/dev/... points COM n at a device of your choice. On Linux the
user needs to be in the dialout group to open serial ports.
TXT
    exit 0
fi
"$here/scripts/setup.sh" "$here/build"

bin="$here/build/bin"
work=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

"$bin/quorvel-loader-sim" --pace --link "$work/COM1" --dump "$here/build/simulated-flash.bin" \
    > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
    [ -s "$work/sim.out" ] && break
    sleep 0.05
done
slave=$(head -n 1 "$work/sim.out")
[ -n "$slave" ] || { echo "the simulated loader did not start" >&2; exit 1; }
echo "Simulated flash loader on $slave (COM1)"
export QUORVEL_COM1="$work/COM1"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$bin/quorvel-writer"
else
    echo "No display: running the command-line rewrite instead of the window."
    "$bin/quorvel-flash" write --yes --port COM1 "$bin/QUORVEL_140428_01_02.mot"
fi

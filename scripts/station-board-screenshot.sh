#!/usr/bin/env bash
# Makes docs/station-board.png: a station on three simulated fixtures, paced like real lines,
# in an xterm on a virtual X screen, taken with ImageMagick's import once the first board is
# written, the second has failed (its loader refuses block 0x010000) and the third is halfway.
# Needs xvfb, xterm and imagemagick (Debian packages of those names); not run in CI.
# Usage: scripts/station-board-screenshot.sh BUILD_DIR [OUTPUT.png]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: station-board-screenshot.sh BUILD_DIR [OUTPUT.png]}" && pwd)
output=${2:-$here/docs/station-board.png}
for tool in Xvfb xterm import xwininfo; do
    command -v "$tool" > /dev/null || { echo "needs $tool (apt-get install xvfb xterm imagemagick x11-utils)" >&2; exit 1; }
done
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    wait 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Waits until FILE holds PATTERN at least N times.
await() {
    local file=$1 pattern=$2 n=$3
    until [ "$(grep -c "$pattern" "$file" 2> /dev/null || true)" -ge "$n" ]; do sleep 0.2; done
}

sim() {  # sim NAME [fault rules...]
    local name=$1
    shift
    "$build/bin/quorvel-loader-sim" --pace --link "$work/$name" --log "$work/$name.log" "$@" > /dev/null &
    pids+=($!)
}

# COM1 to COM3 are the three fixtures.
export QUORVEL_COM1=$work/fixture1 QUORVEL_COM2=$work/fixture2 QUORVEL_COM3=$work/fixture3
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1400x400x24 -nolisten tcp &
pids+=($!)
export DISPLAY=$display
until xwininfo -root > /dev/null 2>&1; do sleep 0.2; done

sim fixture1
sim fixture2 --fault program@0x10000=status:E
xterm -name station -geometry 112x11+0+0 -fa "DejaVu Sans Mono" -fs 13 -bg black -fg grey90 \
    -e "$build/bin/quorvel-flash" write --station --yes --port COM1 --port COM2 --port COM3 \
    "$build/bin/QUORVEL_140428_01_02.mot" &
pids+=($!)
# The third board is put on the fixture once the second one has failed.
await "$work/fixture2.log" "rx kind=program" 32
sim fixture3
await "$work/fixture1.log" "rx kind=disconnect" 1
await "$work/fixture3.log" "rx kind=program" 44
sleep 1  # one more redraw of the board, with the time left
window=$(xwininfo -root -tree | awk '/"station"/ {print $1; exit}')
import -window "$window" "$output"
echo "wrote $output"

#!/usr/bin/env bash
# Memory of a station over many devices: quorvel-flash write --station on one fixture (a link),
# where simulated boards are connected one after the other, each written and then removed. The
# station's resident memory (VmRSS) is read after the first DEVICES/10 boards and after the
# last. Goal: under 1 MB of growth over 300 devices.
# Usage: bench/station/memory.sh BUILD_DIR [DEVICES]
set -euo pipefail
build=${1:?usage: memory.sh BUILD_DIR [DEVICES]}
devices=${2:-300}
image=$(dirname "$0")/../../tests/cli/data/small.mot
work=$(mktemp -d)
fixture=$work/fixture
"$build/bin/quorvel-flash" write --station --yes --port "$fixture" "$image" > "$work/out" 2> /dev/null &
station=$!
rss() { awk '/^VmRSS/ {print $2}' "/proc/$station/status"; }
settled=$((devices / 10))
for n in $(seq 1 "$devices"); do
    "$build/bin/quorvel-loader-sim" --link "$fixture" --log "$work/sim.log" > /dev/null &
    sim=$!
    until grep -q "rx kind=disconnect" "$work/sim.log" 2> /dev/null; do sleep 0.05; done
    kill "$sim"
    wait "$sim" 2> /dev/null || true
    rm -f "$work/sim.log"
    [ "$n" -eq "$settled" ] && before=$(rss)
done
sleep 1
after=$(rss)
kill -INT "$station"
wait "$station" 2> /dev/null || true
passed=$(grep -c '^PASS ' "$work/out" || true)
echo "station: $passed of $devices devices written; VmRSS $before kB after $settled, $after kB after $devices: $((after - before)) kB of growth"
rm -rf "$work"

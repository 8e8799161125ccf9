#!/usr/bin/env bash
# CPU time of a station that waits for devices: quorvel-flash write --station on ports where no
# device is connected, for SECONDS, read from /proc. Goal: under 1% of one core.
# Usage: bench/station/idle_cpu.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:?usage: idle_cpu.sh BUILD_DIR [SECONDS]}
seconds=${2:-20}
image=$(dirname "$0")/../../tests/cli/data/small.mot
tick=$(getconf CLK_TCK)
measure() {
    "$build/bin/quorvel-flash" write --station --yes "$@" "$image" > /dev/null 2>&1 &
    local front=$!
    sleep 1  # let it settle into waiting
    local device=$front
    local before after
    before=$(awk '{print $14 + $15}' "/proc/$device/stat")
    sleep "$seconds"
    after=$(awk '{print $14 + $15}' "/proc/$device/stat")
    kill -INT "$front" 2> /dev/null || true
    wait "$front" 2> /dev/null || true
    awk -v t=$((after - before)) -v hz="$tick" -v s="$seconds" -v what="$*" \
        'BEGIN { printf "station waiting on %s: %.3f s CPU in %d s = %.3f%% of a core\n", what, t / hz, s, 100 * t / hz / s }'
}
measure --port /tmp/quorvel-no-device-1 --port /tmp/quorvel-no-device-2
measure --port COM9 --port COM10
# A board written and left on its fixture: the station watches the node's identity until it goes.
fixture=$(mktemp -u /tmp/quorvel-idle-fixture.XXXXXX)
"$build/bin/quorvel-loader-sim" --link "$fixture" > /dev/null &
sim=$!
measure --port "$fixture"
kill "$sim"
wait "$sim" 2> /dev/null || true

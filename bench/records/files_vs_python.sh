#!/usr/bin/env bash
# `quorvel-flash records FILE` beside sum_outcomes.py, the 12 lines of Python that sum the same
# outcomes, on record files of many lines (bench/records/make_records.sh): the best of three
# runs of each, and how many times faster the tool is. The tool does more (per image and port,
# units, hours, causes, cycle times), and must still be well ahead.
# Goals: 1000000 lines in at most 2 s, and at least 3 times as fast as the Python script.
# Usage: bench/records/files_vs_python.sh BUILD_DIR [LINES...]   (default: 100000 1000000)
set -euo pipefail
build=${1:?usage: files_vs_python.sh BUILD_DIR [LINES...]}
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tool=$build/bin/quorvel-flash

# shellcheck source=bench/records/measure.sh
. "$here/measure.sh"
best_ms() {  # the shortest of three runs
    local best="" ms
    for _ in 1 2 3; do
        ms=$(run_ms "$@")
        if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    done
    echo "$best"
}

# The tool and the script must count the same devices.
devices() { grep -o "Devices: [0-9]*" | head -1; }

status=0
for lines in "${sizes[@]}"; do
    "$here/make_records.sh" "$lines" > "$work/records.jsonl"
    counted=$("$tool" records "$work/records.jsonl" | devices)  # also warms the caches
    summed=$(python3 "$here/sum_outcomes.py" "$work/records.jsonl" | devices)
    if [ "$counted" != "$summed" ]; then
        echo "$lines lines: the tool counted '$counted', the script '$summed'"
        status=1
    fi
    tool_ms=$(best_ms "$tool" records "$work/records.jsonl")
    python_ms=$(best_ms python3 "$here/sum_outcomes.py" "$work/records.jsonl")
    ratio=$(awk -v t="$tool_ms" -v p="$python_ms" 'BEGIN { printf "%.1f", p / (t > 0 ? t : 1) }')
    printf "%7d lines (%3d MB): records %5d ms, Python %5d ms: %sx as fast\n" "$lines" \
        $(($(wc -c < "$work/records.jsonl") >> 20)) "$tool_ms" "$python_ms" "$ratio"
    if [ "$lines" -ge 1000000 ] && [ "$tool_ms" -gt 2000 ]; then status=1; fi
    if awk -v r="$ratio" 'BEGIN { exit !(r < 3) }'; then status=1; fi
done
echo "goals: 1000000 lines in at most 2000 ms, at least 3x as fast as Python"
[ $status -eq 0 ] || echo "a goal is not met on this machine now"
exit $status

#!/usr/bin/env bash
# Time and memory of `quorvel-flash records` on record files of many lines, each line a distinct
# unit (bench/records/make_records.sh): the text summary, --json and --check each read the whole
# file. Goal: 100000 lines in under 2 s, and memory that grows with the units, not the file.
# Usage: bench/records/records_time.sh BUILD_DIR [LINES...]   (default: 10000 50000 100000)
set -euo pipefail
build=${1:?usage: records_time.sh BUILD_DIR [LINES...]}
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 50000 100000)
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tool=$build/bin/quorvel-flash

ok_exit=2  # the exit codes of --check
# shellcheck source=bench/records/measure.sh
. "$(dirname "$0")/measure.sh"

for lines in "${sizes[@]}"; do
    "$here/make_records.sh" "$lines" > "$work/records.jsonl"
    "$tool" records "$work/records.jsonl" > /dev/null  # warm the caches
    text=$(run_ms "$tool" records "$work/records.jsonl")
    json=$(run_ms "$tool" records --json "$work/records.jsonl")
    check=$(run_ms "$tool" records --check "$work/records.jsonl")
    memory=$(peak_kb "$tool" records "$work/records.jsonl")
    printf "%7d lines (%3d MB): text %5d ms, --json %5d ms, --check %5d ms; peak memory %s kB\n" \
        "$lines" $(($(wc -c < "$work/records.jsonl") >> 20)) "$text" "$json" "$check" "$memory"
done
echo "goal: 100000 lines in under 2000 ms"

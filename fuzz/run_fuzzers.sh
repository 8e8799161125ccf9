#!/usr/bin/env bash
# Runs every fuzz_* executable in FOLDER for SECONDS each, from a copy of its seed corpus.
# Prints one line per target and fails on the first finding.
set -euo pipefail
folder=${1:?usage: run_fuzzers.sh FOLDER SECONDS}
seconds=${2:?usage: run_fuzzers.sh FOLDER SECONDS}
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
for fuzzer in "$folder"/fuzz_*; do
    [ -x "$fuzzer" ] && [ -f "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    seeds="$corpus/${name#fuzz_}"
    mkdir -p "$work/$name"
    [ -d "$seeds" ] && cp -r "$seeds"/. "$work/$name/"
    if "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$work/$name-" \
        "$work/$name" > "$work/$name.log" 2>&1; then
        runs=$(grep -o 'number_of_executed_units: [0-9]*' "$work/$name.log" | grep -o '[0-9]*$' || echo '?')
        echo "$name: ${seconds}s, $runs runs, no finding"
        passed=$((passed + 1))
    else
        echo "$name: FINDING"
        tail -n 40 "$work/$name.log"
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

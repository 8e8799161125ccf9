#!/usr/bin/env bash
# Time and memory of `quorvel-flash records --html` and `records --csv` on record files of many
# lines (bench/records/make_records.sh): the page is written from the summary kept in one pass,
# the rows go out as the lines are read. Goal: 100000 lines in under 3 s each; --csv keeps no
# summary, so its memory stays flat (--html keeps the units, as records does).
# Usage: bench/records/report_time.sh BUILD_DIR [LINES...]   (default: 10000 100000)
set -euo pipefail
build=${1:?usage: report_time.sh BUILD_DIR [LINES...]}
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000)
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tool=$build/bin/quorvel-flash

# shellcheck source=bench/records/measure.sh
. "$(dirname "$0")/measure.sh"

for lines in "${sizes[@]}"; do
    "$here/make_records.sh" "$lines" > "$work/records.jsonl"
    "$tool" records "$work/records.jsonl" > /dev/null  # warm the caches
    html=$(run_ms "$tool" records --html "$work/report.html" "$work/records.jsonl")
    csv=$(run_ms "$tool" records --csv "$work/records.jsonl")
    html_kb=$(peak_kb "$tool" records --html "$work/report.html" "$work/records.jsonl")
    csv_kb=$(peak_kb "$tool" records --csv "$work/records.jsonl")
    printf "%7d lines (%3d MB): --html %5d ms (page %d kB, peak %s kB), --csv %5d ms (%d MB, peak %s kB)\n" \
        "$lines" $(($(wc -c < "$work/records.jsonl") >> 20)) "$html" \
        $(($(wc -c < "$work/report.html") >> 10)) "$html_kb" "$csv" \
        $(($("$tool" records --csv "$work/records.jsonl" | wc -c) >> 20)) "$csv_kb"
done
echo "goal: 100000 lines in under 3000 ms each"

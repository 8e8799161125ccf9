#!/usr/bin/env bash
# Compares the whole-process time of `quorvel-flash dump FILE` with `srec_cat FILE -o /dev/null
# -binary` on a file that fills the whole image (srec_cat, from Debian's srecord package, is only
# a yardstick here). Usage: bench/image/dump_vs_srec_cat.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?usage: dump_vs_srec_cat.sh BUILD_DIR [RUNS]}
runs=${2:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/make_full_image" > "$work/full.mot"
command -v srec_cat >/dev/null || { echo "srec_cat not installed (apt-get install srecord)"; exit 1; }

# Average wall time of RUNS runs of a command, in microseconds.
average_us() {
    local start end
    start=$(date +%s%N)
    for ((i = 0; i < runs; i++)); do "$@" > /dev/null 2>&1; done
    end=$(date +%s%N)
    echo $(((end - start) / runs / 1000))
}
"$build/bin/quorvel-flash" dump "$work/full.mot" > /dev/null  # warm the caches
srec_cat "$work/full.mot" -o /dev/null -binary 2>/dev/null
ours=$(average_us "$build/bin/quorvel-flash" dump "$work/full.mot")
theirs=$(average_us srec_cat "$work/full.mot" -o /dev/null -binary)
echo "file: $(wc -c < "$work/full.mot") bytes, $runs runs each"
echo "quorvel-flash dump: ${ours} us per run"
echo "srec_cat -binary:   ${theirs} us per run"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "ratio: %.2f (target at most 0.50)\n", a / b }'

# Sourced by the records benches: the wall time and the peak memory of one run.

# Wall time of one run in milliseconds. An exit code up to $ok_exit (0 unless the bench sets it:
# records --check ends with 1 or 2 on files with units not written or attempts cut off) is no
# failure.
run_ms() {
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1 || [ $? -le "${ok_exit:-0}" ]
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

# The largest resident memory of one run in kB, where GNU time is installed.
peak_kb() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f %M "$@" 2>&1 > /dev/null | tail -1
    else
        echo "?"
    fi
}

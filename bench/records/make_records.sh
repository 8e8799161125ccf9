#!/usr/bin/env bash
# Writes a record file of LINES lines as write --record adds them, a started line and a final
# line per device, one distinct unit a device, from four stations' four ports: most devices
# written, one in 50 failed at erase, one in 100 unconfirmed, one in 500 interrupted while
# programming, one in 1000 cut off (its started line without a final line).
# Usage: bench/records/make_records.sh LINES > FILE
set -euo pipefail
lines=${1:?usage: make_records.sh LINES > FILE}
awk -v lines="$lines" 'BEGIN {
    sha = "5f1c0a9d7e3b2c4a6f8e0d1b3a5c7e9f1b2d4f6a8c0e2a4c6e8f0a1b3c5d7e9f"
    for (i = 1; printed < lines; i++) {
        s = i % 86400
        t = sprintf("2026-03-%02dT%02d:%02d:%02d.%03dZ", 1 + int(i / 86400) % 28, int(s / 3600),
                    int(s / 60) % 60, s % 60, i % 1000)
        outcome = "success"; step = "null"; diagnosis = ""; state = "\"the device is written and has left flash mode\""
        blocks = 104; unconfirmed = 0
        if (i % 50 == 7) {
            outcome = "failure"; step = "\"erase\""; blocks = 0
            diagnosis = "\"erase failed with status 1 after 3 of 3 attempts\",\"nothing came back within 2.5 s: is the device powered and in flash mode?\""
            state = "\"the device may be partly erased; it stays in flash mode; run write again\""
        } else if (i % 500 == 13) {
            outcome = "interrupted"; step = "\"program\""; blocks = 47
            diagnosis = "\"stopped before block 0x010000, with 47 of 104 blocks written\""
            state = "\"the device is erased, with 47 of 104 blocks written; it stays in flash mode; run write again\""
        } else if (i % 100 == 31) {
            outcome = "unconfirmed"; unconfirmed = 1
            state = "\"every block was sent, but the firmware may not be stored; run write again\""
        }
        attempt = sprintf("%08d-0000-4000-8000-%012d", i, i)
        printf "{\"attempt\":\"%s\",\"checksum\":\"3A7F21\",\"device\":\"/dev/ttyUSB%d\",", attempt, i % 4
        printf "\"event\":\"started\",\"host\":\"line%d-pc\",", 1 + int(i / 4) % 4
        printf "\"image\":\"QUORVEL_140428_01_02.mot\",\"port\":\"COM%d\",", 1 + i % 4
        printf "\"sha256\":\"%s\",\"started\":\"%s\",\"tool_version\":\"1.2.0\",", sha, t
        printf "\"unit\":\"U-%07d\",\"usb_serial\":\"A10K%04d\"}\n", i, i % 16
        if (++printed >= lines || i % 1000 == 17) continue
        printed++
        printf "{\"attempt\":\"%s\",\"event\":\"ended\",", attempt
        printf "\"blocks_unconfirmed\":%d,\"blocks_written\":%d,\"checksum\":\"3A7F21\",", unconfirmed, blocks
        printf "\"device\":\"/dev/ttyUSB%d\",\"device_state\":%s,\"diagnosis\":[%s],", i % 4, state, diagnosis
        printf "\"ended\":\"%s\",\"failed_step\":%s,\"host\":\"line%d-pc\",", t, step, 1 + int(i / 4) % 4
        printf "\"image\":\"QUORVEL_140428_01_02.mot\",\"outcome\":\"%s\",\"port\":\"COM%d\",", outcome, 1 + i % 4
        printf "\"seconds\":46.2,\"sha256\":\"%s\",\"started\":\"%s\",\"tool_version\":\"1.2.0\",", sha, t
        printf "\"unit\":\"U-%07d\",\"usb_serial\":\"A10K%04d\",\"warnings\":[]}\n", i, i % 16
    }
}'

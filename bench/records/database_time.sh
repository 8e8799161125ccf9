#!/usr/bin/env bash
# Time of `quorvel-flash records` on a line's PostgreSQL database of many rows, which sums them
# where they are, beside the same lines in a file (bench/records/make_records.sh). A server of
# the bench's own runs in a temporary folder on a unix socket (as nobody when run as root: the
# server refuses root). The database is made by `quorvel-flash prepare-database`, and the rows go
# in by COPY and one INSERT, through the trigger that keeps the table of attempts as a station's
# rows do (a few minutes for 1000000). The figures from the database and from the file must be
# the same (the --json summaries, but for where and when they were made), or the bench fails.
# Goal: 1000000 rows: the summary in under 1 s, --html in under 3 s.
# Usage: bench/records/database_time.sh BUILD_DIR [LINES...]   (default: 100000 1000000)
set -euo pipefail
build=$(cd "${1:?usage: database_time.sh BUILD_DIR [LINES...]}" && pwd)
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(100000 1000000)
here=$(cd "$(dirname "$0")" && pwd)
tool=$build/bin/quorvel-flash
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
work=$(mktemp -d)
pages=$(mktemp -d)  # the report's folder: the tool writes no file in another user's folder
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$work"
    as_owner=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
stop() {
    "${as_owner[@]}" "$bin/pg_ctl" -D "$work/data" -m immediate -w stop > /dev/null 2>&1 || true
    rm -rf "$work" "$pages"
}
trap stop EXIT
echo bench > "$work/password"
chmod 644 "$work/password"
"${as_owner[@]}" "$bin/initdb" -D "$work/data" -U quorvel --pwfile="$work/password" \
    -A scram-sha-256 -E UTF8 --no-sync > /dev/null
"${as_owner[@]}" "$bin/pg_ctl" -D "$work/data" -l "$work/server.log" \
    -o "-k $work -c listen_addresses='' -c fsync=off" -w start > /dev/null
export PGPASSWORD=bench
psql=(psql -q -v ON_ERROR_STOP=1 "host=$work user=quorvel dbname=postgres")

ok_exit=2  # the exit codes of --check
# shellcheck source=bench/records/measure.sh
. "$(dirname "$0")/measure.sh"

for lines in "${sizes[@]}"; do
    db=records$lines
    "${psql[@]}" -c "CREATE DATABASE $db"
    uri="postgresql://quorvel:bench@/$db?host=$work"
    "$tool" prepare-database "$uri" > /dev/null
    "$here/make_records.sh" "$lines" > "$work/records.jsonl"
    # The lines go in as the tool stores them: their keys in the columns, the line whole.
    psql -q -v ON_ERROR_STOP=1 "host=$work user=quorvel dbname=$db" <<SQL
CREATE TEMP TABLE staged (line text);
\copy staged FROM '$work/records.jsonl' WITH (FORMAT csv, QUOTE E'\x01', DELIMITER E'\x02')
INSERT INTO quorvel_records (attempt, event, started, ended, tool_version, host, port, unit,
    device, usb_serial, image, sha256, checksum, outcome, failed_step, cause, device_state,
    blocks_written, blocks_unconfirmed, seconds, line)
SELECT j->>'attempt', j->>'event', (j->>'started')::timestamptz, (j->>'ended')::timestamptz,
    j->>'tool_version', j->>'host', j->>'port', j->>'unit', j->>'device', j->>'usb_serial',
    j->>'image', j->>'sha256', j->>'checksum', j->>'outcome', j->>'failed_step', j->>'cause',
    j->>'device_state', (j->>'blocks_written')::integer, (j->>'blocks_unconfirmed')::integer,
    (j->>'seconds')::double precision, line
FROM (SELECT line, line::jsonb AS j FROM staged) AS s;
-- As autovacuum leaves tables that took many rows.
VACUUM ANALYZE;
SQL
    "$tool" records "$uri" > /dev/null 2>&1 || true  # warm the caches
    database=$(run_ms "$tool" records "$uri")
    json=$(run_ms "$tool" records --json "$uri")
    html=$(run_ms "$tool" records --html "$pages/report.html" "$uri")
    [ -s "$pages/report.html" ] || { echo "records --html wrote no page" >&2; exit 1; }
    since=$(run_ms "$tool" records --since 2026-03-01T12:00:00Z --host line2-pc "$uri")
    file=$(run_ms "$tool" records "$work/records.jsonl")
    printf "%7d rows: database %5d ms, --json %5d ms, --html %5d ms, --since --host (a part) %5d ms; the same file %5d ms\n" \
        "$lines" "$database" "$json" "$html" "$since" "$file"
    for asked in "" "--since 2026-03-01T12:00:00Z --host line2-pc"; do
        # shellcheck disable=SC2086 # the options, word by word
        if ! cmp -s <("$tool" records --json $asked "$uri" | jq -S '.result | del(.made)') \
            <("$tool" records --json $asked "$work/records.jsonl" | jq -S '.result | del(.made)'); then
            echo "the database and the file disagree (records --json $asked)" >&2
            exit 1
        fi
    done
done
echo "goal: 1000000 rows: the summary in under 1000 ms, --html in under 3000 ms"

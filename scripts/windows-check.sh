#!/usr/bin/env bash
# Cross-builds Quorvel Software Writer for 64-bit Windows and smoke-tests it under wine against
# the Linux simulator. Needs ../shared/windows (the Qt for MinGW-w64 with the fixed QtSerialPort,
# and the CMake toolchain file; its README says how they were made).
#
#   scripts/windows-check.sh [NATIVE_BUILD_DIR]
#
# NATIVE_BUILD_DIR is a Linux build that holds bin/quorvel-loader-sim and bin/write_icon_png;
# without it they are built in a temporary folder. QUORVEL_WIN_BUILD names a folder for the
# Windows build to keep between runs (a temporary one otherwise). Prints PASS or FAIL for each
# check and exits with 1 when any failed.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
shared="$here/../shared/windows"
native=${1:-}
[ -d "$shared" ] || { echo "windows-check: $shared is missing" >&2; exit 2; }
shared=$(cd "$shared" && pwd)

tmp=$(mktemp -d /tmp/quorvel-windows-check.XXXXXX)
build=${QUORVEL_WIN_BUILD:-$tmp/build-win}
deploy="$tmp/deploy"
failures=0
sim_pid=""
xvfb_pid=""
export WINEPREFIX="$tmp/wineprefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer dialogs on the first start: the tools need neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="

pass() { echo "PASS: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}
cleanup() {
    stop_sim
    [ -d "$WINEPREFIX" ] && timeout 30 wineserver -k >/dev/null 2>&1
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT

# --- what the check needs, from Debian's packages
packages=(cmake g++ g++-mingw-w64-x86-64-posix mingw-w64-tools ninja-build qt6-base-dev
          qt6-base-dev-tools qt6-serialport-dev wine64 wine xvfb x11-utils)
missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt=(apt-get)
    [ "$(id -u)" -eq 0 ] || apt=(sudo apt-get)
    export DEBIAN_FRONTEND=noninteractive
    install=("${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}")
    # When the package lists are missing or stale, they are read once and the install repeated.
    if ! "${install[@]}" >/dev/null 2>&1; then
        if ! "${apt[@]}" update -qq || ! "${install[@]}"; then
            echo "FAIL: installing ${missing[*]}"
            exit 1
        fi
    fi
fi

# --- the simulator, a Linux program
# --- the simulator and the icon writer, Linux programs
sim="${native:+$native/bin/quorvel-loader-sim}"
icon_writer="${native:+$native/bin/write_icon_png}"
if [ -z "$sim" ] || [ ! -x "$sim" ] || [ ! -x "$icon_writer" ]; then
    echo "Building the Linux simulator and icon writer"
    cmake -S "$here" -B "$tmp/build-linux" -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BENCH=OFF \
        >"$tmp/native.log" 2>&1 &&
        cmake --build "$tmp/build-linux" -j2 --target quorvel-loader-sim write_icon_png \
            >>"$tmp/native.log" 2>&1 ||
        { tail -30 "$tmp/native.log"; echo "FAIL: building the simulator"; exit 1; }
    sim="$tmp/build-linux/bin/quorvel-loader-sim"
    icon_writer="$tmp/build-linux/bin/write_icon_png"
fi

# The .exe's icon is committed; it must still be the window's icon as app_icon.cpp draws it.
if "$icon_writer" --ico "$tmp/icon.ico" >/dev/null 2>&1 &&
    cmp -s "$tmp/icon.ico" "$here/packaging/windows/quorvel-writer.ico"; then
    pass "packaging/windows/quorvel-writer.ico is the window's icon"
else
    fail "packaging/windows/quorvel-writer.ico differs from the window's icon:" \
        "write_icon_png --ico packaging/windows/quorvel-writer.ico writes it again"
fi

# --- the cross build, the folder and the zip
tar xzf "$shared/qt-mingw.tar.gz" -C "$tmp"
start=$(date +%s)
if cmake -G Ninja -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$shared/mingw-w64-x86_64.cmake" \
        -DQT_MINGW_PREFIX="$tmp/qt-mingw" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_BUILD_TYPE=Release \
        >"$tmp/build.log" 2>&1 &&
    cmake --build "$build" -j2 >>"$tmp/build.log" 2>&1 &&
    cmake --install "$build" --strip --prefix "$deploy" >>"$tmp/build.log" 2>&1 &&
    (cd "$build" && cpack -G ZIP) >>"$tmp/build.log" 2>&1; then
    pass "cross build, install and zip ($(($(date +%s) - start)) s)"
else
    tail -40 "$tmp/build.log"
    fail "cross build"
    exit 1
fi
zips=("$build"/quorvel-software-writer-*-windows-x64.zip)
zip=${zips[0]}
listing=$(cmake -E tar tf "$zip" 2>/dev/null)
missing_files=()
for f in quorvel-writer.exe quorvel-flash.exe QUORVEL_140428_01_02.mot Qt6Core.dll Qt6Gui.dll \
         Qt6Widgets.dll Qt6SerialPort.dll Qt6Sql.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
         imageformats/qico.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    [ -f "$deploy/$f" ] || missing_files+=("$f")
    grep -q "/$f\$" <<<"$listing" || missing_files+=("zip:$f")
done
if [ ${#missing_files[@]} -eq 0 ]; then
    pass "folder and zip hold the programs, the image, Qt, its plugins and the runtime" \
        "($(du -k "$zip" | cut -f1) KiB zipped)"
else
    fail "missing from the folder or zip: ${missing_files[*]}"
fi
# (Whole outputs into variables: with pipefail, grep -q leaving early would fail the pipe.)
objdump=x86_64-w64-mingw32-objdump
writer_pe=$($objdump -p -h "$deploy/quorvel-writer.exe" 2>&1)
flash_pe=$($objdump -p -h "$deploy/quorvel-flash.exe" 2>&1)
if grep -q "Subsystem.*Windows GUI" <<<"$writer_pe" &&
    grep -q "Subsystem.*Windows CUI" <<<"$flash_pe" &&
    grep -q "\.rsrc" <<<"$writer_pe" && grep -q "\.rsrc" <<<"$flash_pe"; then
    pass "quorvel-writer.exe is a GUI program, quorvel-flash.exe a console one, both with resources"
else
    fail "program types or resources"
fi

# --- wine, with COM1 mapped to the simulator's link
start_sim() {  # start_sim DUMP_FILE
    rm -f "$tmp/sim.out"
    "$sim" --link "$tmp/sim0" --dump "$1" >"$tmp/sim.out" 2>"$tmp/sim.err" &
    sim_pid=$!
    for _ in $(seq 100); do
        [ -s "$tmp/sim.out" ] && return 0
        sleep 0.05
    done
    echo "the simulator did not start: $(cat "$tmp/sim.err")"
    return 1
}
w() {  # w SECONDS PROGRAM ARGS...: a wine run with a time limit
    local seconds=$1
    shift
    timeout -k 10 "$seconds" wine "$@"
}
image="$deploy/QUORVEL_140428_01_02.mot"

# A virtual screen for wine from its first start on: the processes wine keeps running (the
# desktop) take the display they were started with.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.err" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.1
done
[ -s "$tmp/display" ] || { echo "FAIL: Xvfb did not start: $(cat "$tmp/xvfb.err")"; exit 1; }
DISPLAY=":$(head -n 1 "$tmp/display")"
export DISPLAY

start_sim "$tmp/flash1.bin" || exit 1
timeout 300 wineboot -i >/dev/null 2>&1 || echo "note: wineboot ended with $?"
timeout 60 wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$tmp/sim0" /f >/dev/null 2>&1
timeout 30 wineserver -k >/dev/null 2>&1
timeout 30 wineserver -w >/dev/null 2>&1
# A server of its own, so that what it prints goes to its log and not into the checks' output.
timeout 30 wineserver -p >"$tmp/wineserver.log" 2>&1

# The image's bytes from 0x4000, as the simulated flash holds them after a whole write.
image_w=$(winepath -w "$image" 2>/dev/null)
if w 120 "$deploy/quorvel-flash.exe" dump "$image_w" >"$tmp/image.bin" 2>"$tmp/dump.err" &&
    [ "$(stat -c %s "$tmp/image.bin")" -eq 131072 ]; then
    pass "dump of the default image (128 KiB, binary)"
else
    fail "dump of the default image: $(cat "$tmp/dump.err")"
fi

w 120 "$deploy/quorvel-flash.exe" ports >"$tmp/ports.out" 2>&1
status=$?
if [ $status -eq 0 ] && ! grep -q "QUORVEL_COM" "$tmp/ports.out"; then
    pass "ports: $(head -n 1 "$tmp/ports.out")"
else
    fail "ports (exit $status): $(cat "$tmp/ports.out")"
fi

w 120 "$deploy/quorvel-flash.exe" connect --port COM1 >"$tmp/connect.out" 2>&1
status=$?
if [ $status -eq 0 ]; then
    pass "connect --port COM1"
else
    fail "connect --port COM1 (exit $status): $(tail -n 5 "$tmp/connect.out")"
fi

# A whole write with a record; the simulator's flash must then equal the image.
write_and_compare() {  # write_and_compare LABEL FOLDER IMAGE RECORD DUMP
    local label=$1 folder=$2 file=$3 record=$4 dump=$5 status
    local record_w file_w
    record_w=$(winepath -w "$record" 2>/dev/null)
    file_w=$(winepath -w "$file" 2>/dev/null)
    (cd "$folder" && w 300 ./quorvel-flash.exe write --yes --port COM1 --record "$record_w" \
        "$file_w") >"$tmp/write.out" 2>&1
    status=$?
    stop_sim
    if [ $status -eq 0 ] && grep -q "Rewriting success!" "$tmp/write.out"; then
        pass "$label: write --yes"
    else
        fail "$label: write --yes (exit $status): $(tail -n 5 "$tmp/write.out")"
    fi
    if [ -s "$dump" ] && cmp -s "$dump" "$tmp/image.bin"; then
        pass "$label: the simulated flash equals the image"
    else
        fail "$label: the simulated flash differs from the image"
    fi
    # The attempt's started line, then its final line.
    if [ -s "$record" ] && [ "$(wc -l <"$record")" -eq 2 ] &&
        head -n 1 "$record" | grep -q '"event":"started"' &&
        tail -n 1 "$record" | grep -q '"outcome":"success"' &&
        tail -n 1 "$record" | grep -q '"blocks_written":88'; then
        pass "$label: --record added the device's started and final lines"
    else
        fail "$label: --record: $(cat "$record" 2>/dev/null)"
    fi
}
write_and_compare "default folder" "$deploy" "$image" "$tmp/line.jsonl" "$tmp/flash1.bin"

w 120 "$deploy/quorvel-flash.exe" records "$(winepath -w "$tmp/line.jsonl" 2>/dev/null)" \
    >"$tmp/records.out" 2>&1
status=$?
if [ $status -eq 0 ] && grep -q "Devices: 1 (1 success" "$tmp/records.out"; then
    pass "records"
else
    fail "records (exit $status): $(cat "$tmp/records.out")"
fi

# The same from a folder and with files whose names hold spaces, as under C:\Program Files.
spaced="$tmp/Program Files/Quorvel"
mkdir -p "$tmp/Program Files" "$tmp/my images"
cp -r "$deploy" "$spaced"
cp "$image" "$tmp/my images/QUORVEL 01 02.mot"
start_sim "$tmp/flash2.bin" || exit 1
write_and_compare "Program Files" "$spaced" "$tmp/my images/QUORVEL 01 02.mot" \
    "$tmp/my images/line 3.jsonl" "$tmp/flash2.bin"

# The window.
(cd "$spaced" && timeout -k 10 180 wine ./quorvel-writer.exe >"$tmp/writer.out" 2>&1) &
writer_pid=$!
caption="Quorvel Software Writer (Version 01.02)"
shown=""
for _ in $(seq 120); do
    windows=$(xwininfo -root -tree 2>/dev/null)
    if grep -qF "\"$caption\"" <<<"$windows"; then
        shown=yes
        break
    fi
    kill -0 "$writer_pid" 2>/dev/null || break
    sleep 1
done
if [ -n "$shown" ]; then
    pass "quorvel-writer.exe shows its window \"$caption\""
else
    fail "quorvel-writer.exe: no window \"$caption\": $(cat "$tmp/writer.out")"
fi
timeout 30 wineserver -k >/dev/null 2>&1
wait "$writer_pid" 2>/dev/null

if [ $failures -eq 0 ]; then
    echo "windows-check: all checks passed"
    exit 0
fi
echo "windows-check: $failures check(s) failed"
exit 1

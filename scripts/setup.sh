#!/usr/bin/env bash
# Installs what the build needs (Debian 12 packages) and builds into a build folder.
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
# QUORVEL_EXTRA_PACKAGES names further packages to install; QUORVEL_TARGETS limits what is built.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true

packages=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-psql qt6-serialport-dev libncurses-dev libgtest-dev
          libbenchmark-dev libsimdjson-dev fonts-noto-cjk srecord dpkg-dev file lintian groff-base chromium
          ${QUORVEL_EXTRA_PACKAGES:-})
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" ${QUORVEL_TARGETS:+--target $QUORVEL_TARGETS}

#!/usr/bin/env bash
# Builds Quorvel Software Writer (installing what is missing) and runs the main job.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
    cat <<'TXT'
usage: ./run.sh

Installs missing Debian packages, builds into build/, then shows what the bundled
default image QUORVEL_140428_01_02.mot holds (quorvel-flash info).
TXT
    exit 0
fi
"$here/scripts/setup.sh" "$here/build"
"$here/build/bin/quorvel-flash" info "$here/build/bin/QUORVEL_140428_01_02.mot"

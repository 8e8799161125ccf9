#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks that it holds what an installation needs.
# Usage: packaging/check_package.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check_package.sh BUILD_DIR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
deb=$(ls "$out"/*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$out/files"
missing=0
for f in /usr/lib/quorvel/quorvel-writer /usr/lib/quorvel/quorvel-flash /usr/lib/quorvel/quorvel-flash-device \
         /usr/lib/quorvel/quorvel-loader-sim \
         /usr/lib/quorvel/QUORVEL_140428_01_02.mot /usr/bin/quorvel-writer /usr/bin/quorvel-flash \
         /usr/bin/quorvel-loader-sim /usr/share/applications/quorvel-writer.desktop \
         /usr/share/icons/hicolor/32x32/apps/quorvel-writer.png \
         /usr/share/icons/hicolor/16x16/apps/quorvel-writer.png; do
    if ! grep -qx "$f" "$out/files"; then
        echo "missing from the package: $f"
        missing=1
    fi
done
dpkg-deb -f "$deb" Package Version Depends

# The installed tools run from their links and find the default image and each other.
dpkg-deb -x "$deb" "$out/root"
"$out/root/usr/bin/quorvel-flash" info "$out/root/usr/lib/quorvel/QUORVEL_140428_01_02.mot" \
    | grep -q "Blocks to send" || { echo "installed quorvel-flash info failed"; missing=1; }
if "$out/root/usr/bin/quorvel-flash" connect --port COM0 2> "$out/connect.err"; then
    echo "connect on COM0 succeeded"; missing=1
fi
if grep -q "beside quorvel-flash" "$out/connect.err"; then
    echo "installed quorvel-flash cannot find its device program:"; cat "$out/connect.err"; missing=1
fi
[ "$missing" -eq 0 ] && echo "package $(basename "$deb"): $(wc -l < "$out/files") entries, all expected files present"
exit "$missing"

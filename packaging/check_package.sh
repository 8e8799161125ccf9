#!/usr/bin/env bash
# Builds the Debian packages from a build folder and checks that each holds what an installation
# needs (and no more), that lintian finds no errors, that the man pages render without warnings,
# that the bash completion completes, and that the installed tools run.
# Usage: packaging/check_package.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check_package.sh BUILD_DIR}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; exit 1; }
main=$(ls "$out"/quorvel-software-writer_*.deb)
sim=$(ls "$out"/quorvel-loader-sim_*.deb)
failed=0
fail() { echo "$*"; failed=1; }

# expect DEB FILE...: each FILE is in DEB.
expect() {
    local deb=$1 f
    shift
    dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$out/files"
    for f in "$@"; do
        grep -qx "$f" "$out/files" || fail "missing from $(basename "$deb"): $f"
    done
}
doc=/usr/share/doc
expect "$main" /usr/lib/quorvel/quorvel-writer /usr/lib/quorvel/quorvel-flash \
    /usr/lib/quorvel/QUORVEL_140428_01_02.mot \
    /usr/bin/quorvel-writer /usr/bin/quorvel-flash /usr/share/applications/quorvel-writer.desktop \
    /usr/share/icons/hicolor/32x32/apps/quorvel-writer.png \
    /usr/share/icons/hicolor/16x16/apps/quorvel-writer.png \
    /usr/share/man/man1/quorvel-flash.1.gz /usr/share/man/man1/quorvel-writer.1.gz \
    /usr/share/bash-completion/completions/quorvel-flash \
    /lib/systemd/system/quorvel-station@.service /usr/lib/sysusers.d/quorvel-software-writer.conf \
    $doc/quorvel-software-writer/examples/line3.json \
    /usr/lib/tmpfiles.d/quorvel-software-writer.conf \
    $doc/quorvel-software-writer/copyright $doc/quorvel-software-writer/changelog.Debian.gz
if grep -q "loader-sim" "$out/files"; then fail "the simulator is in $(basename "$main")"; fi
expect "$sim" /usr/lib/quorvel/quorvel-loader-sim /usr/bin/quorvel-loader-sim \
    /usr/share/man/man1/quorvel-loader-sim.1.gz \
    $doc/quorvel-loader-sim/copyright $doc/quorvel-loader-sim/changelog.Debian.gz
if grep -q "quorvel-flash\|quorvel-writer" "$out/files"; then fail "tools in $(basename "$sim")"; fi

# Dependencies: the libraries dpkg-shlibdeps found, and the font the window needs.
for deb in "$main" "$sim"; do dpkg-deb -f "$deb" Package Version Depends; done
dpkg-deb -f "$main" Depends | grep -q "libqt6core6.*fonts-noto-cjk\|fonts-noto-cjk.*libqt6core6" \
    || fail "quorvel-software-writer lacks its Qt or font dependency"
dpkg-deb -f "$sim" Depends | grep -q "libc6" || fail "quorvel-loader-sim lacks its libc6 dependency"
if dpkg-deb -f "$sim" Depends | grep -q "qt6"; then fail "quorvel-loader-sim depends on Qt"; fi

# The postinst names the dialout group on standard error, and nothing on standard output; it
# makes the stations' account, a member of dialout (here in a copy of this system's accounts).
dpkg-deb -e "$main" "$out/control"
dpkg-deb -x "$main" "$out/sysroot"
cp /etc/passwd /etc/group "$out/sysroot/etc/" 2> /dev/null || mkdir -p "$out/sysroot/etc"
[ -x "$out/control/postinst" ] || fail "postinst missing or not executable"
DPKG_ROOT="$out/sysroot" sh "$out/control/postinst" configure 2> "$out/postinst.err" \
    > "$out/postinst.out"
grep -q "dialout" "$out/postinst.err" || fail "postinst does not mention the dialout group"
[ -s "$out/postinst.out" ] && fail "postinst wrote to standard output"
if command -v systemd-sysusers > /dev/null; then
    grep -q "^quorvel:.*:/usr/sbin/nologin$" "$out/sysroot/etc/passwd" \
        || fail "postinst did not make the quorvel account"
    grep -q "^dialout:.*quorvel" "$out/sysroot/etc/group" || fail "quorvel is not in dialout"
fi

# lintian: no errors (warnings are shown).
if ! command -v lintian > /dev/null; then
    fail "lintian is not installed (scripts/setup.sh installs it)"
else
    for deb in "$main" "$sim"; do
        lintian --fail-on error "$deb" \
            > "$out/lintian.txt" 2>&1 || fail "lintian finds errors in $(basename "$deb"):"
        sed 's/^/  /' "$out/lintian.txt"
        echo "lintian $(basename "$deb"): $(grep -c '^E:' "$out/lintian.txt" || true) errors," \
            "$(grep -c '^W:' "$out/lintian.txt" || true) warnings"
    done
fi

dpkg-deb -x "$main" "$out/root"
dpkg-deb -x "$sim" "$out/root"
# The binaries are stripped.
if file -L "$out/root/usr/lib/quorvel/"* | grep -q "not stripped"; then
    fail "unstripped binaries:"; file -L "$out/root/usr/lib/quorvel/"* | grep "not stripped"
fi

# Man pages render without a warning.
for page in "$out"/root/usr/share/man/man1/*.1.gz; do
    zcat "$page" | groff -man -Tutf8 -ww -z > "$out/groff.err" 2>&1
    [ -s "$out/groff.err" ] && { fail "$(basename "$page") has warnings:"; cat "$out/groff.err"; }
done
[ "$(ls "$out"/root/usr/share/man/man1/*.1.gz | wc -l)" -eq 3 ] || fail "not three man pages"

# The completion offers commands, options and ports.
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _quorvel_flash
             echo "${COMPREPLY[*]}"' _ "$out/root/usr/share/bash-completion/completions/quorvel-flash" "$@"
}
[ "$(complete_words quorvel-flash wr)" = "write" ] || fail "completion: commands"
[ "$(complete_words quorvel-flash write --lo)" = "--loader --log" ] || fail "completion: options"
complete_words quorvel-flash -p "" | grep -q "COM1 .*COM16" || fail "completion: ports"
[ "$(complete_words quorvel-flash --mode h)" = "high" ] || fail "completion: --mode"

# The installed tools run from their links and find the default image.
"$out/root/usr/bin/quorvel-flash" info "$out/root/usr/lib/quorvel/QUORVEL_140428_01_02.mot" \
    | grep -q "Blocks to send" || fail "installed quorvel-flash info failed"
if "$out/root/usr/bin/quorvel-flash" connect --port COM0 2> "$out/connect.err"; then
    fail "connect on COM0 succeeded"
fi
if ! grep -q "cannot open the port: no port is selected" "$out/connect.err"; then
    fail "installed quorvel-flash connect did not reach its port:"; cat "$out/connect.err"
fi
"$out/root/usr/bin/quorvel-loader-sim" --version > /dev/null || fail "installed simulator does not run"

# The station unit as systemd reads it, for the instance line3 (the installed tool in its place);
# systemd-analyze says nothing about a unit it finds sound.
unit="$out/root/lib/systemd/system/quorvel-station@.service"
if command -v systemd-analyze > /dev/null; then
    sed "s|/usr/bin/quorvel-flash|$out/root/usr/bin/quorvel-flash|" "$unit" \
        > "$out/quorvel-station@line3.service"
    if ! systemd-analyze verify --man=no "$out/quorvel-station@line3.service" \
        > "$out/verify.txt" 2>&1 || [ -s "$out/verify.txt" ]; then
        fail "systemd-analyze verify finds fault with quorvel-station@.service:"
        cat "$out/verify.txt"
    fi
else
    echo "systemd-analyze is not installed: quorvel-station@.service not verified"
fi
grep -q "^ExecStart=/usr/bin/quorvel-flash write --station --yes --profile /etc/quorvel/%i.json$" \
    "$unit" || fail "quorvel-station@.service does not run the station of its profile"
[ "$failed" -eq 0 ] && echo "packages $(basename "$main") and $(basename "$sim"): all checks passed"
exit "$failed"

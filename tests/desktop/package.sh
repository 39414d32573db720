#!/usr/bin/env bash
# package.sh RELEASE_BUILD_DIR
# Builds the Debian package from a release build (cpack -G DEB), unpacks it into a scratch
# folder and checks it as a user would meet it: the files a desktop and a shell need, the
# dependencies taken from the binaries, kelvra-ascii --version and one exchange with the
# packaged simulator run from there, and lintian without errors (its warnings and notes are
# printed).
set -uo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
simulator=
cleanup() {
    [ -n "$simulator" ] && kill "$simulator" 2>/dev/null && wait "$simulator" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=tests/desktop/check.sh
source "$(dirname "$0")/check.sh"

check "cpack -G DEB builds the package" bash -c "cd '$build' && cpack -G DEB -B '$work/out'"
deb=$(ls "$work"/out/kelvra-ascii_*.deb 2>/dev/null)
[ -n "$deb" ] || { checks_summary; exit 1; }
version=$(dpkg-deb -f "$deb" Version)
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# What is in it, where Debian and a desktop look for it.
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
id=io.kelvra.AsciiTestTool
for file in usr/bin/kelvra-{ascii,chamber} usr/libexec/kelvra-ascii/kelvra-ascii-window \
    usr/share/{applications/$id.desktop,icons/hicolor/scalable/apps/$id.svg,metainfo/$id.metainfo.xml} \
    usr/share/man/man1/kelvra-{ascii,chamber}.1.gz usr/share/bash-completion/completions/kelvra-{ascii,chamber} \
    usr/share/doc/kelvra-ascii/{copyright,changelog.gz}; do
    check "the package holds $file" grep -qx "./$file" <<<"$contents"
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6core6 libqt6serialport6 libqt6widgets6 libqt6charts6; do
    check "Depends names $library (computed from the binaries)" grep -q "\b$library (>=" <<<"$depends"
done

# Run from the unpacked tree: the version and one exchange with the packaged simulator.
root=$work/root
check "dpkg-deb -x" dpkg-deb -x "$deb" "$root"
ascii=$root/usr/bin/kelvra-ascii
check "kelvra-ascii --version" test "$("$ascii" --version)" = "kelvra-ascii $version"
"$root/usr/bin/kelvra-chamber" --link "$work/chamber" >/dev/null 2>"$work/chamber.log" &
simulator=$!
tries=0
until [ -e "$work/chamber" ] || ((tries++ > 100)); do sleep 0.05; done
sent=$("$ascii" --send A0 --map com1="$work/chamber" 2>&1)
check "--send A0 against the packaged simulator: $sent" \
    grep -qE '^A0 [ 0-9.-]{5} [ 0-9.-]{5}$' <<<"$(sed -n 2p <<<"$sent")"

# lintian: no errors; what else it says is shown.
lintian_output=$(lintian --fail-on error --display-info "$deb" 2>&1)
lintian_status=$?
printf 'lintian:\n%s\n' "$(grep -v '^running with root privileges' <<<"$lintian_output")"
check "lintian ran and reports no errors" test "$lintian_status" -eq 0

checks_summary

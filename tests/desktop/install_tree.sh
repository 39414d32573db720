#!/usr/bin/env bash
# install_tree.sh BUILD_DIR VERSION APP_ID
# Installs the build twice, as a package would (DESTDIR with prefix /usr) and into a plain
# prefix, and checks what a desktop needs of it: both programs, the desktop entry, the icon, the
# metainfo, the manual pages and the bash completion, where the desktop looks for them and valid
# by its own validators; nothing installed outside the prefix; the manual pages describing every
# option that --help lists; kelvra-ascii finding its window program, and loading no window
# libraries.
set -uo pipefail
build=$1 version=$2 id=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/desktop/check.sh
source "$(dirname "$0")/check.sh"

installed_files=(
    bin/kelvra-ascii
    bin/kelvra-chamber
    libexec/kelvra-ascii/kelvra-ascii-window
    share/applications/$id.desktop
    share/icons/hicolor/scalable/apps/$id.svg
    share/metainfo/$id.metainfo.xml
    share/man/man1/kelvra-ascii.1
    share/man/man1/kelvra-chamber.1
    share/bash-completion/completions/kelvra-ascii
    share/bash-completion/completions/kelvra-chamber
)

# The manual page as plain ASCII text.
man_text() {
    LC_ALL=C MANWIDTH=200 man -E ascii -l "$1" 2>/dev/null | col -b
}

# check_tree ROOT PREFIX: the installed files under ROOT, which was installed with PREFIX.
check_tree() {
    local root=$1 prefix=$2 tree=$1$2
    for file in "${installed_files[@]}"; do
        check "$prefix/$file is installed" test -s "$tree/$file"
    done
    check "the programs are executable" test -x "$tree/bin/kelvra-ascii" -a -x "$tree/bin/kelvra-chamber" \
        -a -x "$tree/libexec/kelvra-ascii/kelvra-ascii-window"
    # without a display the window program itself says so: kelvra-ascii found it
    check "$prefix: kelvra-ascii hands the window over to its window program" \
        bash -c "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '$tree/bin/kelvra-ascii' 2>&1 | grep -q '^kelvra-ascii: no display (DISPLAY is not set); use --send'"
    check "nothing outside $prefix" \
        bash -c "! find '$root' -mindepth 1 \( -type f -o -type l \) | grep -v '^$tree/'"
}

# 1. As a package: DESTDIR and the prefix /usr.
root=$work/root
check "install with DESTDIR" env DESTDIR="$root" cmake --install "$build" --prefix /usr
check_tree "$root" /usr
usr=$root/usr
desktop=$usr/share/applications/$id.desktop
metainfo=$usr/share/metainfo/$id.metainfo.xml

# 2. Into a plain prefix, as a user without root would.
check "install with --prefix" cmake --install "$build" --prefix "$work/prefix/opt/kelvra"
check_tree "$work/prefix" "/opt/kelvra"
[ -d "$work/prefix/opt/kelvra" ] || check "the prefix was used" false

# The desktop entry, its icon and the metainfo agree on the id.
check "desktop entry: Icon is the id" grep -qx "Icon=$id" "$desktop"
check "desktop entry: Categories" grep -qx "Categories=Development;Utility;" "$desktop"
check "desktop entry: Exec names an installed program" \
    test -x "$usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop" | head -1)"
check "metainfo: id" grep -q "<id>$id</id>" "$metainfo"
check "metainfo: launchable is the desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"
check "metainfo: the release is this version" grep -q "<release version=\"$version\"" "$metainfo"
check "icon is an SVG document" grep -q '<svg ' "$usr/share/icons/hicolor/scalable/apps/$id.svg"
if command -v xmllint >/dev/null; then
    check "icon and metainfo are well-formed XML" \
        xmllint --noout "$usr/share/icons/hicolor/scalable/apps/$id.svg" "$metainfo"
fi

# The desktop's validators, where installed (scripts/deps installs them).
if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate" desktop-file-validate "$desktop"
else
    echo "skipped: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
    check "appstreamcli validate" appstreamcli validate --no-net --explain "$metainfo"
    check "appstreamcli validate-tree" appstreamcli validate-tree --no-net "$root"
else
    echo "skipped: appstreamcli is not installed"
fi

# The installed programs, without a display.
check "installed kelvra-ascii --version" \
    test "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$usr/bin/kelvra-ascii" --version)" \
    = "kelvra-ascii $version"
check "installed kelvra-chamber --help" "$usr/bin/kelvra-chamber" --help
if command -v ldd >/dev/null; then
    check "kelvra-ascii loads neither Qt Gui nor Qt Widgets" \
        bash -c "ldd '$usr/bin/kelvra-ascii' | grep -q libQt6Core && ! ldd '$usr/bin/kelvra-ascii' | grep -qE 'libQt6(Gui|Widgets)'"
fi

# The manual pages: they render without warnings and describe every option of --help.
if command -v man >/dev/null && command -v col >/dev/null; then
    for program in kelvra-ascii kelvra-chamber; do
        page=$usr/share/man/man1/$program.1
        check "$program.1 renders without warnings" \
            bash -c "! LC_ALL=C MANWIDTH=80 man --warnings -E ascii -l '$page' 2>&1 >/dev/null | grep ."
        text=$(man_text "$page")
        check "$program.1 names the version" grep -q "$program $version" <<<"$text"
        for option in $(env -u DISPLAY "$usr/bin/$program" --help | grep -oE '^  --[a-z][a-z-]*'); do
            check "$program.1 describes $option" grep -qE -- "^ +$option( |$)" <<<"$text"
        done
    done
else
    echo "skipped: man or col is not installed"
fi

checks_summary

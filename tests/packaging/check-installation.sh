#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the build into a scratch prefix and checks that everything a desktop needs is there
# and passes the freedesktop validators: programs, manual pages, desktop entries, the D-Bus
# service file, icons at every size and the AppStream metadata.
#   check-installation.sh BUILD_DIR
set -euo pipefail

build=$1
for tool in appstreamcli desktop-file-validate; do
    if ! command -v "$tool" >/dev/null; then
        echo "FAIL: $tool is missing; install appstream and desktop-file-utils (scripts/setup does)" >&2
        exit 1
    fi
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
expect_file() {
    [ -f "$prefix/$1" ] || fail "not installed: $1"
}

for program in pondrel-publisher pondrel-agent pondrel-tool pondrel-refservice; do
    [ -x "$prefix/bin/$program" ] || fail "not installed as a program: bin/$program"
    expect_file "share/man/man1/$program.1.gz"
    gzip -t "$prefix/share/man/man1/$program.1.gz" 2>/dev/null || fail "$program.1.gz is not gzip"
done
for icon in pondrel-publisher pondrel-agent; do
    expect_file "share/icons/hicolor/scalable/apps/$icon.svg"
    for size in 16 22 24 32 48 64 128 256 512; do
        png="share/icons/hicolor/${size}x${size}/apps/$icon.png"
        expect_file "$png"
        [ -f "$prefix/$png" ] && ! file "$prefix/$png" | grep -q "PNG image data, $size x $size," \
            && fail "$png is not a $size x $size PNG"
    done
done
expect_file share/doc/pondrel/copyright
expect_file share/doc/pondrel/changelog.Debian.gz

service="$prefix/share/dbus-1/services/com.trevane.pondrel.service"
expect_file share/dbus-1/services/com.trevane.pondrel.service
# The bus starts the program by the absolute path of the configured prefix.
[ -f "$service" ] && ! grep -qx "Exec=/.*/bin/pondrel-publisher" "$service" \
    && fail "the D-Bus service does not start pondrel-publisher by its absolute path"

for entry in com.trevane.pondrel.desktop pondrel-agent.desktop; do
    expect_file "share/applications/$entry"
    desktop-file-validate "$prefix/share/applications/$entry" || fail "$entry does not validate"
done

metainfo="$prefix/share/metainfo/com.trevane.pondrel.metainfo.xml"
expect_file share/metainfo/com.trevane.pondrel.metainfo.xml
appstreamcli validate --no-net --pedantic "$metainfo" || fail "the metainfo does not validate"

if [ "$failures" -ne 0 ]; then
    echo "$failures problem(s) in the installation" >&2
    exit 1
fi
echo "installation complete and valid"

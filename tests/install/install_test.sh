#!/usr/bin/env bash
# Installs the build into a scratch folder and checks what a desktop needs: the program, its help
# document, the desktop entry, the icon and valid metadata.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Staged under DESTDIR, as packagers do: the entry must name the final place, not the stage.
DESTDIR="$work/stage" cmake --install "$build" --prefix /opt/kelvak >/dev/null
root="$work/stage/opt/kelvak"

[ -x "$root/bin/kelvak" ] || fail "no executable"
cmp -s "$source/data/Справка.rtf" "$root/share/kelvak/Справка.rtf" || fail "no help document"
desktop="$root/share/applications/org.kelvak.Kelvak.desktop"
[ -f "$desktop" ] || fail "no desktop entry"
grep -qx 'Exec=kelvak' "$desktop" || fail "desktop entry runs something else"
grep -qx 'Icon=kelvak' "$desktop" || fail "desktop entry names another icon"
[ -f "$root/share/icons/hicolor/scalable/apps/kelvak.svg" ] || fail "no scalable icon"
[ "$(identify -format '%wx%h' "$root/share/icons/hicolor/256x256/apps/kelvak.png")" = 256x256 ] ||
  fail "the 256x256 icon has another size"
metainfo="$root/share/metainfo/org.kelvak.Kelvak.metainfo.xml"
[ -f "$metainfo" ] || fail "no AppStream metainfo"

desktop-file-validate "$desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net "$metainfo" >/dev/null || fail "metainfo does not validate"
echo "installed layout is complete"

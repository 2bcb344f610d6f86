#!/usr/bin/env bash
# Builds the Debian package with cpack and checks it as apt would see it: its name and
# architecture, that it installs the program, the help document, the icons, the desktop entry and
# the metainfo under /usr and nothing elsewhere, and that its dependencies name the package of
# every shared library the program loads.
# Usage: package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack could not build the package"; }
debs=("$work"/out/kelvak_*.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || fail "no single package: ${debs[*]}"
deb=${debs[0]}
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kelvak ] || fail "package named $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || fail "no maintainer or description"
[[ "$(field Maintainer)" =~ \<[^@\ ]+@[^@\ ]+\>$ ]] || fail "no e-mail in Maintainer: $(field Maintainer)"

# What it installs.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|/$||' >"$work/contents"
stray=$(grep -v -e '^\.$' -e '^\./usr$' -e '^\./usr/' "$work/contents" || true)
[ -z "$stray" ] || fail "installs outside /usr: $stray"
for f in bin/kelvak share/kelvak/Справка.rtf share/applications/org.kelvak.Kelvak.desktop \
  share/metainfo/org.kelvak.Kelvak.metainfo.xml share/icons/hicolor/scalable/apps/kelvak.svg \
  share/icons/hicolor/256x256/apps/kelvak.png share/doc/kelvak/copyright; do
  grep -qx "./usr/$f" "$work/contents" || fail "does not install /usr/$f"
done
dpkg-deb -x "$deb" "$work/root"
cmp -s "$source/data/Справка.rtf" "$work/root/usr/share/kelvak/Справка.rtf" || fail "another help document"
file "$work/root/usr/bin/kelvak" | grep -q 'ELF.*stripped' || fail "the program is not a stripped ELF file"
file "$work/root/usr/bin/kelvak" | grep -q 'not stripped' && fail "the program is not stripped"

# Its dependencies: every library the program needs belongs to a package that Depends names.
depends=$(field Depends)
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/(.*)//; s/^ *//; s/ *$//')
ldconfig -p >"$work/libraries"
for lib in $(objdump -p "$work/root/usr/bin/kelvak" | awk '/NEEDED/ {print $2}'); do
  path=$(awk -v l="$lib" '$1 == l && /x86-64|AArch64|64bit/ {print $NF; exit}' "$work/libraries")
  [ -n "$path" ] || path=$(awk -v l="$lib" '$1 == l {print $NF; exit}' "$work/libraries")
  [ -n "$path" ] || fail "$lib is not installed here"
  owner=$(dpkg-query -S "$path" 2>/dev/null || dpkg-query -S "$(readlink -f "$path")" 2>/dev/null ||
    dpkg-query -S "/usr$path" 2>/dev/null || true)
  [ -n "$owner" ] || fail "no package owns $path"
  pkg=${owner%%:*}
  grep -qx "$pkg" <<<"$names" || fail "$lib comes from $pkg, which Depends does not name: $depends"
done
grep -qx qt6-translations-l10n <<<"$names" || fail "no dependency on Qt's translations"
echo "package $(basename "$deb") depends on: $depends"

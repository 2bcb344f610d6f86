#!/usr/bin/env bash
# What kelvak.exe carries besides its code, read back from the built file with icoutils' wrestool:
# the manifest that asks for the version 6 common controls and per-monitor DPI awareness (and is the
# only one: a second would fail the start), the icon in the sizes Windows shows, and the version
# information of the project's version.
# Usage: tests/windows/resources_test.sh KELVAK.EXE VERSION
# Ends with "resources_test: N passed, M failed".
set -uo pipefail
exe=$1 version=$2
passed=0 failed=0
check() {  # check NAME CONDITION-RESULT DETAIL
  if [ "$2" -eq 0 ]; then echo "PASS $1"; passed=$((passed + 1)); else echo "FAIL $1: $3"; failed=$((failed + 1)); fi
}
listing=$(wrestool -l "$exe" 2>&1)
manifest=$(wrestool -x --raw -t 24 "$exe" 2>/dev/null | tr -d '\0')
manifests=$(grep -c -- '--type=24 ' <<<"$listing")
ok=1
[ "$manifests" -eq 1 ] && grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest" &&
  grep -q '<dpiAwareness[^>]*>PerMonitorV2' <<<"$manifest" && grep -q '<dpiAware[^>]*>true/pm<' <<<"$manifest" && ok=0
check "one manifest, with the version 6 common controls and per-monitor DPI" $ok \
  "$manifests manifests: $(head -c 300 <<<"$manifest")"

icon=$(mktemp /tmp/kelvak-icon.XXXXXX.ico)
wrestool -x -t group_icon "$exe" -o "$icon" 2>/dev/null
sizes=$(icotool -l "$icon" 2>/dev/null | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
rm -f "$icon"
ok=1
for s in 16 32 48 256; do [[ " $sizes" == *" $s "* ]] || ok=2; done
[ "$ok" -eq 2 ] || ok=0
check "the icon in 16, 32, 48 and 256 pixels" $ok "sizes: $sizes"

# The version block's strings are UTF-16: the file version as text, and the same in the numbers.
text=$(wrestool -x --raw -t 16 "$exe" 2>/dev/null | iconv -f UTF-16LE -t UTF-8 2>/dev/null | tr -c '[:alnum:]. ' ' ')
found=$(grep -o 'FileVersion *[0-9.]*' <<<"$text" | awk '{ print $2 }')
check "the version information says $version" "$([ "$found" = "$version" ]; echo $?)" \
  "it says \"$found\""

echo "resources_test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

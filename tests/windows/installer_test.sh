#!/usr/bin/env bash
# The installer under Wine: a silent install puts the program, its help and the uninstaller in
# Program Files and the entry in the Start menu; the installed program exports a lesson; a silent
# uninstall removes all of it and leaves the user's files in %APPDATA%\Kelvak.
# Usage: installer_test.sh KELVAK_SETUP_EXE   (WINEPREFIX set, wineboot done)
set -euo pipefail
setup=$1
wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
: "${WINEPREFIX:?set WINEPREFIX to a private Wine prefix}"
c=$WINEPREFIX/drive_c
program="$c/Program Files/Kelvak"
menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Kelvak"
appdata=$("$wine" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
user_data=$("$wine" winepath -u "$appdata\\Kelvak" 2>/dev/null)
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

# The user's own files, which must outlive the program.
mkdir -p "$user_data"
printf '{"time":1796000000}\n' >"$user_data/history.jsonl"

"$wine" "$setup" /S
/usr/lib/wine/wineserver -w
for f in kelvak.exe Справка.rtf copyright.txt uninstall.exe; do
  check "installed $f" test -f "$program/$f"
done
check "the Start-menu entry" test -f "$menu/Kelvak.lnk"
check "the help document is the shipped one" cmp -s "$program/Справка.rtf" \
  "$(dirname "$0")/../../data/Справка.rtf"

# The installed program runs and writes a lesson with a Russian name.
out=$(mktemp -d /tmp/kelvak-installed.XXXXXX)
trap 'rm -rf "$out"' EXIT
check "the installed program exports" \
  bash -c "cd '$out' && '$wine' '$program/kelvak.exe' --export урок.wav --groups 2 --no-key"
check "its lesson is a WAV file" bash -c "head -c 4 '$out/урок.wav' | grep -q RIFF"

"$wine" "$program/uninstall.exe" /S
/usr/lib/wine/wineserver -w  # the uninstaller runs on from a copy of itself
check "the program folder is gone" test ! -e "$program"
check "the Start-menu folder is gone" test ! -e "$menu"
check "the uninstall entry is gone" bash -c \
  "! '$wine' reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvak' >/dev/null 2>&1"
check "the user's history stays" grep -q 1796000000 "$user_data/history.jsonl"
rm -rf "$user_data"
echo "installer_test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# The Windows exporter under Wine against the Linux one: for each row of settings both write a WAV
# and its answer key, and the samples (the RIFF data chunk) must be equal byte for byte, as must the
# keys. The headers are compared too and reported. Russian file names go through both.
# Usage: compare_exports.sh LINUX_KELVAK WINDOWS_KELVAK_EXE   (WINEPREFIX set, wineboot done)
set -euo pipefail
linux=$1 windows=$2
wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
: "${WINEPREFIX:?set WINEPREFIX to a private Wine prefix}"
work=$(mktemp -d /tmp/kelvak-compare.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/linux" "$work/windows"
# A text file to send, with Cyrillic letters, digits and a sign.
printf 'Съешь же ещё этих мягких французских булок, да выпей чаю. 12345 67890 ?\n' \
  >"$work/linux/текст.txt"
cp "$work/linux/текст.txt" "$work/windows/текст.txt"

rows=(
  "digits|--text digits --groups 10"
  "letters_signs_noise|--text letters --special-signs --noise 40 --groups 8 --seed 12345"
  "slow_mixture|--speed 2 --groups 3 --text mixture --tone 800 --signal 60"
  "long_zero_pauses|--text digits --long-zero --char-pause 3 --group-pause 5 --groups 6 --seed 7"
  "full_noise_fast|--text mixture --speed 30 --noise 100 --signal 30 --groups 12 --tone 1500"
  "course_lesson|--lesson 5 --course-set letters --groups 6"
  "text_file|--file текст.txt --groups all"
)

# The data chunk of a WAV file, and its header (everything before the samples).
split_wav() {
  python3 - "$1" "$2" "$3" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
assert b[:4] == b'RIFF' and b[8:12] == b'WAVE', 'not a RIFF WAVE file'
i = 12
while i + 8 <= len(b):
    tag, size = b[i:i+4], struct.unpack('<I', b[i+4:i+8])[0]
    if tag == b'data':
        open(sys.argv[2], 'wb').write(b[i+8:i+8+size])
        open(sys.argv[3], 'wb').write(b[:i+8])
        break
    i += 8 + size + (size & 1)
else:
    sys.exit('no data chunk')
PY
}

passed=0 failed=0
for row in "${rows[@]}"; do
  name=${row%%|*}
  read -r -a options <<<"${row#*|}"
  (cd "$work/linux" && "$linux" --export "урок_$name.wav" "${options[@]}")
  (cd "$work/windows" && "$wine" "$windows" --export "урок_$name.wav" "${options[@]}")
  split_wav "$work/linux/урок_$name.wav" "$work/$name.linux.data" "$work/$name.linux.head"
  split_wav "$work/windows/урок_$name.wav" "$work/$name.windows.data" "$work/$name.windows.head"
  samples=$(stat -c %s "$work/$name.linux.data")
  verdict=ok
  cmp -s "$work/$name.linux.data" "$work/$name.windows.data" || verdict="SAMPLES DIFFER"
  cmp -s "$work/linux/урок_$name.key.txt" "$work/windows/урок_$name.key.txt" ||
    verdict="$verdict, KEYS DIFFER"
  header=equal
  cmp -s "$work/$name.linux.head" "$work/$name.windows.head" || header=different
  whole=equal
  cmp -s "$work/linux/урок_$name.wav" "$work/windows/урок_$name.wav" || whole=different
  echo "$name: $samples samples, data $([ "$verdict" = ok ] && echo equal || echo "$verdict"); header $header; whole file $whole"
  if [ "$verdict" = ok ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
# The same through Windows' command interpreter, as a user types it in cmd: a Russian file name
# arrives whole, the export equals Linux's, and a setting out of range is said and exits 2.
name=cmd_row
options=(--text letters --groups 4 --seed 99)
(cd "$work/linux" && "$linux" --export "урок_$name.wav" "${options[@]}")
windows_dir=$("$wine" winepath -w "$work/windows" 2>/dev/null | tr -d '\r')
windows_exe=$("$wine" winepath -w "$windows" 2>/dev/null | tr -d '\r')
# Wine quotes an argument only where it holds a space, and these hold none: cmd gets the line as
# a user would type it.
(cd "$work/windows" &&
  "$wine" cmd /c cd /d "$windows_dir" "&&" "$windows_exe" --export "урок_$name.wav" "${options[@]}") \
  >"$work/cmd.out" 2>&1 || true
if [ -f "$work/windows/урок_$name.wav" ] &&
  split_wav "$work/linux/урок_$name.wav" "$work/$name.linux.data" "$work/$name.linux.head" &&
  split_wav "$work/windows/урок_$name.wav" "$work/$name.windows.data" "$work/$name.windows.head" &&
  cmp -s "$work/$name.linux.data" "$work/$name.windows.data" &&
  cmp -s "$work/linux/урок_$name.key.txt" "$work/windows/урок_$name.key.txt"; then
  echo "$name: the export made through cmd equals Linux's, Russian name and all"
  passed=$((passed + 1))
else
  echo "$name: FAILED: the export made through cmd differs or is missing:"
  cat "$work/cmd.out"
  ls "$work/windows"
  failed=$((failed + 1))
fi
rc=0
"$wine" cmd /c "$windows_exe" --export "$windows_dir\\урок_ошибка.wav" --speed 99 \
  >"$work/cmd_error.out" 2>&1 || rc=$?
if [ "$rc" -eq 2 ] && grep -q -- '--speed' "$work/cmd_error.out" && [ ! -e "$work/windows/урок_ошибка.wav" ]; then
  echo "cmd_error: a speed out of range through cmd is said and exits 2"
  passed=$((passed + 1))
else
  echo "cmd_error: FAILED: exit $rc, said:"
  cat "$work/cmd_error.out"
  failed=$((failed + 1))
fi

echo "compare_exports: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# The real program's command line with no display at all: --help, exports that a common player
# (ffprobe) reads with the right codec and duration, and exit code 2 with one line for bad input.
# Usage: export_cli_test.sh PROGRAM
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
cd "$work"

"$program" --help >help.txt || fail "--help exits $?"
grep -q -- '--export FILE' help.txt || fail "--help does not show --export"
grep -q -- '--no-key' help.txt || fail "--help does not list --no-key"

# Speed 30, two groups: the start signal one second in, then ten characters.
for f in a.wav b.mp3 c.ogg; do
  "$program" --export "$f" --groups 2 --speed 30 --noise 10 2>err.txt ||
    fail "--export $f exits $?: $(cat err.txt)"
  [ ! -s err.txt ] || fail "--export $f says: $(cat err.txt)"
done
[ "$(cat a.key.txt)" = "$(cat b.key.txt)" ] || fail "keys differ between formats"
[ "$(tr -d ' \n' <a.key.txt | wc -m)" -eq 10 ] || fail "key is '$(cat a.key.txt)'"
mv b.mp3 a.mp3 && mv c.ogg a.ogg && rm b.key.txt c.key.txt
probe() { ffprobe -v error -select_streams a:0 -show_entries "stream=$2" -of csv=p=0 "$1"; }
wav_seconds=$(probe a.wav duration)
for f in a.mp3:mp3 a.ogg:vorbis; do
  file=${f%%:*}
  [ "$(probe "$file" codec_name)" = "${f##*:}" ] || fail "$file holds $(probe "$file" codec_name)"
  awk -v a="$(probe "$file" duration)" -v b="$wav_seconds" 'BEGIN { exit !(a >= b - 0.01 && a <= b + 0.2) }' ||
    fail "$file lasts $(probe "$file" duration) s, the WAV $wav_seconds s"
done

bad() {
  local want=$1
  shift
  set +e
  "$program" "$@" >out.txt 2>err.txt
  local code=$?
  set -e
  [ "$code" -eq 2 ] || fail "$* exits $code"
  [ "$(wc -l <err.txt)" -eq 1 ] || fail "$* says: $(cat err.txt)"
  grep -q -- "$want" err.txt || fail "$* says: $(cat err.txt)"
}
bad "unknown option '--loud'" --export d.wav --loud
bad "out of range 0..999" --export d.wav --groups 1000
bad "'ten' is not an integer" --export d.wav --speed ten
bad "unknown file extension" --export d.aac
bad "cannot write" --export missing/d.wav
[ ! -e d.wav ] && [ ! -e d.key.txt ] || fail "a refused export left a file"
# Interrupted part-way through a long export (hours of Ogg), it leaves nothing behind.
"$program" --export long.ogg --speed 1 --groups 999 2>err.txt &
sleep 1
kill -INT $!
set +e
wait $!
code=$?
set -e
[ "$code" -eq 130 ] || fail "an interrupted export exits $code: $(cat err.txt)"
[ ! -e long.ogg ] && [ ! -e long.key.txt ] || fail "an interrupted export left its file"
ls -A | grep -q '\.part$' && fail "a temporary file was left"
echo "ok"

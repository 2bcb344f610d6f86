#!/usr/bin/env bash
# Installs the Debian packages Kelvak needs, only those that are missing. (Qt Charts' CMake
# package needs Qt OpenGL's, which qt6-charts-dev does not pull in.)
# Usage: scripts/install-deps.sh [build|test|all|windows]   (default: build)
# windows: the MinGW-w64 cross compiler, Wine to run its programs and NSIS for the installer, with
# the header-only libraries and GoogleTest's sources the cross build takes from Debian as well,
# PulseAudio to record what the Windows program plays, Xvfb and xdotool to drive its window, and
# ImageMagick and icotool for the program's icon.
set -euo pipefail

build_pkgs=(g++ cmake make ccache pkg-config qt6-base-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev libsdl2-dev libpulse-dev libdbus-1-dev libsndfile1-dev nlohmann-json3-dev libcli11-dev libsoxr-dev fonts-dejavu-core fonts-liberation)
test_pkgs=(ninja-build procps libgtest-dev libgmock-dev libbenchmark-dev sndfile-programs ffmpeg pulseaudio pulseaudio-utils pipewire pipewire-pulse wireplumber dbus-daemon xvfb xauth x11-utils xdotool imagemagick
           desktop-file-utils appstream dpkg-dev file binutils dbus at-spi2-core python3-pyatspi
           clang libclang-rt-14-dev qemu-user)
windows_pkgs=(g++-mingw-w64-x86-64-posix wine64 nsis cmake ninja-build ccache nlohmann-json3-dev libcli11-dev
              pulseaudio pulseaudio-utils imagemagick icoutils xvfb xdotool python3
              googletest zip unzip)
case "${1:-build}" in
  build) want=("${build_pkgs[@]}") ;;
  test|all) want=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
  windows) want=("${windows_pkgs[@]}") ;;
  *) echo "usage: $0 [build|test|all|windows]" >&2; exit 2 ;;
esac

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"

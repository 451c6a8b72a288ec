#!/usr/bin/env bash
# Installs the Debian packages the project builds and tests with, when missing.
set -euo pipefail

packages=(
  cmake g++ make clang libclang-rt-14-dev valgrind
  libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64 wine wine64
  xvfb socat imagemagick xdotool x11-utils procps
  gpsd gpsd-clients gpsd-tools python3-gps tmux
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"

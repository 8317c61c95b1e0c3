#!/usr/bin/env bash
# Installs what building and testing need, from Debian's archive, unless it is
# there already. Runs as root on a fresh Debian 12 machine.
set -euo pipefail
packages=(
  cmake ninja-build g++ googletest            # host build and unit tests
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32  # the two Windows builds
  wine64 xvfb x11-apps imagemagick xdotool    # running and seeing them under Wine
  clang libclang-rt-14-dev                    # fuzzing the link parser
  e2fsprogs                                   # chattr: files even root cannot write, for fault tests
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Installs every Debian package that building and testing QuonDorvel needs.
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang-format
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool imagemagick
  libnfs-utils libnfs-dev fonts-nanum
  util-linux procps iproute2 python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"

#!/usr/bin/env bash
# Installs every Debian package that building and testing QuonDorvel needs, and any further
# packages named as arguments (the benchmark asks for its peer server so: the tests never need it).
#   bash scripts/setup.sh [PACKAGE...]
# Safe to run again: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang-format
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev valgrind
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xdotool imagemagick
  libnfs-utils libnfs-dev fonts-nanum nfs-common rpcbind
  util-linux procps iproute2 python3 locales nsis lintian systemd
)

# The 32-bit Windows builds: their compilers (posix threads for the programs, win32 threads for
# the DLL, which needs no threads).
packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32)
packages+=("$@")

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
apt=("${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600)

# Installs those of the named packages that are not installed yet.
install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "setup: installing ${missing[*]}"
  "${apt[@]}" update -qq
  "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# nfs-common (showmount) and rpcbind (rpcinfo) are wanted for their client tools only. Their
# daemons must never start here: rpcbind would hold port 111, which the server's own tests use.
# Where the machine has no policy-rc.d, one that refuses every service start is in place until
# this script ends; any rpcbind that starts anyway is stopped again.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee "$policy" >/dev/null
  "${sudo_cmd[@]}" chmod 755 "$policy"
  trap '"${sudo_cmd[@]}" rm -f "$policy"' EXIT
fi
running_before=$(pidof rpcbind || true)
install_missing "${packages[@]}"
for pid in $(pidof rpcbind || true); do
  case " $running_before " in *" $pid "*) ;; *) "${sudo_cmd[@]}" kill "$pid" ;; esac
done

# Wine's 32-bit half runs the 32-bit builds under test, where the kernel runs 32-bit programs.
# Elsewhere it must stay off: Debian's wine starts through it once it is installed.
if python3 "$(dirname "$0")/runs-x86-32.py"; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  install_missing wine32:i386
  # Wine's 32-bit half reads fonts through the 32-bit fontconfig, which keeps caches of its own:
  # built here, by making a scratch prefix, rather than by the first test that draws text.
  if ! ls /var/cache/fontconfig/*-le32d4.cache-* ~/.cache/fontconfig/*-le32d4.cache-* >/dev/null 2>&1; then
    echo "setup: building the font caches of Wine's 32-bit half"
    scratch=$(mktemp -d)
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    WINEPREFIX=$scratch wineboot -i </dev/null >/dev/null 2>&1 || true
    WINEPREFIX=$scratch wineserver -k </dev/null >/dev/null 2>&1 || true
    WINEPREFIX=$scratch wineserver -w </dev/null >/dev/null 2>&1 || true
    rm -rf "$scratch"
  fi
else
  echo "setup: this machine runs no 32-bit x86 programs; the 32-bit builds are not run under Wine"
fi
# Wine reads Unix file names in the code page of the glibc locale it runs under, and only when
# that locale exists: the Korean (949) and Western (1252) runs of the name tests need both.
for locale in ko_KR en_US; do
  if ! locale -a 2>/dev/null | grep -qx "$locale.utf8"; then
    echo "setup: generating the $locale.UTF-8 locale"
    "${sudo_cmd[@]}" localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
  fi
done
echo "setup: ready"

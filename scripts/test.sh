#!/usr/bin/env bash
# Sets up the machine, then builds and tests every preset: native Linux, Linux with ASan/UBSan,
# the socket and server tests under ThreadSanitizer, the fuzz targets (a minute each), and the
# 32-bit Windows cross build under Wine. Where this machine runs no 32-bit x86 code, the 32-bit
# build is only built and checked, and the 64-bit one runs the Windows tests in its place.
# Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then
  presets=(linux linux-asan linux-tsan linux-fuzz windows)
  python3 scripts/runs-x86-32.py || presets+=(windows-x64)
fi

for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  start=$(date +%s)
  # A tree set up for another toolchain (windows was x86-64 once) starts afresh.
  cmake --preset "$preset" >/dev/null 2>&1 || cmake --preset "$preset" --fresh >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$(nproc)"
  echo "== $preset: passed in $(( $(date +%s) - start )) s"
done

#!/usr/bin/env bash
# Sets up the machine, then builds and tests every preset: native Linux, Linux with ASan/UBSan,
# and the Windows cross build under Wine. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux linux-asan windows)

for preset in "${presets[@]}"; do
  echo "== $preset: configure and build"
  start=$(date +%s)
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
  echo "== $preset: test"
  ctest --preset "$preset" -j "$(nproc)"
  echo "== $preset: passed in $(( $(date +%s) - start )) s"
done

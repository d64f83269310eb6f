#!/usr/bin/env bash
# Sets up the machine, builds quondorveld and makes its Debian package,
# build/linux/package/quondorveld_<version>_<arch>.deb, whose path it prints last.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target quondorveld quondorveld_docs -j "$(nproc)"
cpack --config build/linux/CPackConfig.cmake -B build/linux/package |
  sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p'

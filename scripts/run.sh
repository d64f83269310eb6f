#!/usr/bin/env bash
# Sets up the machine, builds the Linux front end and starts it. With no arguments it shares
# ./quonhd1 (made when missing) as /quonhd1 on the standard ports 111, 2049 and 1058, which need
# root; see --help for other folders, addresses and ports.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target quondorveld -j "$(nproc)"
exec build/linux/daemon/quondorveld "$@"

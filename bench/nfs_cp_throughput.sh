#!/usr/bin/env bash
# Measures how fast libnfs' nfs-cp moves one file into a share and back out through quondorveld
# on loopback: the Linux build, and the Windows build under Wine when it has been built. Prints
# figures; asserts nothing. Run the build first (bash scripts/test.sh, or the presets by hand).
#   bash bench/nfs_cp_throughput.sh [MiB]   (default 64)
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-64}
work=$(mktemp -d /tmp/qdv-bench-XXXX)
server_pid=
trap '[ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

seconds() { python3 -c "import time; print(time.monotonic())"; }

measure() {  # label, server command...
  local label=$1; shift
  rm -rf "$work/share" "$work/back.bin"; mkdir -p "$work/share"
  local portmap nfs mount
  portmap=$(free_port); nfs=$(free_port); mount=$(free_port)
  "$@" --ports "$portmap,$nfs,$mount" --address 127.0.0.1 >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 600); do grep -q "Quon sharing started" "$work/server.log" && break; sleep 0.1; done
  local url="nfs://127.0.0.1/quonhd1/film.bin?nfsport=$nfs&mountport=$mount&version=3"
  local t0 t1 t2
  t0=$(seconds); nfs-cp "$work/source.bin" "$url" >/dev/null
  t1=$(seconds); nfs-cp "$url" "$work/back.bin" >/dev/null
  t2=$(seconds)
  cmp -s "$work/source.bin" "$work/back.bin" || echo "$label: the copy differs!"
  python3 - "$label" "$size_mib" "$t0" "$t1" "$t2" <<'PY'
import sys
label, mib, t0, t1, t2 = sys.argv[1], float(sys.argv[2]), *map(float, sys.argv[3:])
print("%-28s write %7.1f MiB/s (%5.2f s)   read %7.1f MiB/s (%5.2f s)" %
      (label, mib / (t1 - t0), t1 - t0, mib / (t2 - t1), t2 - t1))
PY
  kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
}

head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$work/source.bin"
echo "nfs-cp of $size_mib MiB over loopback (8 KiB writes, 32 KiB reads, as FSINFO advertises)"
measure "quondorveld (Linux)" build/linux/daemon/quondorveld --share1 "$work/share"
if [ -x build/windows/daemon/quondorveld.exe ]; then
  export WINEPREFIX=$PWD/build/windows/wineprefix
  measure "quondorveld.exe (Wine)" cmake/wine-emu.sh build/windows/daemon/quondorveld.exe \
    --share1 "Z:${work//\//\\}\\share"
  wineserver -k 2>/dev/null || true
fi

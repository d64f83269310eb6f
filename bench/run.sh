#!/usr/bin/env bash
# The side-by-side benchmark in one command: quondorveld against NFS-Ganesha on loopback.
#   bash bench/run.sh [--runs N] [--quick] [--only FIGURE...] [--drop-caches]
# Installs the peer server and the client library (once), then bench/run.py builds, makes the
# data, runs the figures and stops every server it started, also on Ctrl+C or an error.
set -euo pipefail
cd "$(dirname "$0")/.."
case " $* " in
  *" -h "* | *" --help "*) ;;
  *) bash scripts/setup.sh nfs-ganesha nfs-ganesha-vfs libnfs-dev libnfs-utils ;;
esac
exec python3 bench/run.py "$@"

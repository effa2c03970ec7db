#!/usr/bin/env bash
# Runs the Windows test suites under Wine on the current X display: makes the
# private prefix ready, starts its wineserver detached, and always stops it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-env.sh

trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
bash scripts/wine-prefix.sh
ctest --preset windows "$@"

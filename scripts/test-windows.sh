#!/usr/bin/env bash
# Builds the Windows program and runs every Windows test under Wine, on a
# virtual X screen, in a private Wine prefix under build/windows.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-windows.sh
exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash scripts/ctest-wine.sh "$@"

#!/usr/bin/env bash
# Installs what is missing, builds Koravel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset release
cmake --build --preset release

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "No display: starting Koravel on a virtual X screen (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1024x768x24" build/release/ui/koravel
fi
exec build/release/ui/koravel

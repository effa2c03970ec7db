#!/usr/bin/env bash
# Installs what is missing, builds Koravel and starts it. With no display,
# it starts on a virtual X screen: a check that the program builds and starts,
# not a way to use it (nothing shows on any screen).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset release
cmake --build --preset release

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    # Qt wants a private runtime folder; a root shell on a server has none.
    runtime=$(mktemp -d "${TMPDIR:-/tmp}/koravel-runtime-XXXXXX")
    chmod 700 "$runtime"
    trap 'rm -rf "$runtime"' EXIT
    echo "No display: starting Koravel on a virtual X screen (Xvfb, display :99 or the next free one)."
    echo "Nothing appears on your screen; this only checks that Koravel starts. Ctrl+C stops it."
    XDG_RUNTIME_DIR="$runtime" xvfb-run -a -n 99 -s "-screen 0 1024x768x24" build/release/ui/koravel
    exit
fi
exec build/release/ui/koravel

#!/usr/bin/env bash
# Installs what is missing, builds Koravel with warnings as errors and runs
# every test. Widget tests draw off screen; tests that need a real X server get
# a virtual one from xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset ci
cmake --build --preset ci
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --preset ci "$@"

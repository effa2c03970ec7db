#!/usr/bin/env bash
# Installs what is missing, then builds the page with emscripten and its
# platform-free test suites for Node.js. Leaves one self-contained file,
# build/web/koravel.html, and the site that installs as an app, build/web/site/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh web
# Debian's emscripten keeps the JavaScript tools it runs in /usr/share/nodejs.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
cmake --preset web
cmake --build --preset web
echo "Built $(pwd)/build/web/koravel.html ($(stat -c %s build/web/koravel.html) bytes)"
echo "Built the site in $(pwd)/build/web/site/ ($(du -sb build/web/site | cut -f1) bytes)"

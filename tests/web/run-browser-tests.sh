#!/usr/bin/env bash
# Runs the browser tests of the web page and of the site beside it (PAGE's
# folder/site) in headless Chromium, and drags files onto the page in
# Chromium and Firefox ESR with windows on a private X server (screenshots in
# PAGE's folder/screenshots).
#   bash tests/web/run-browser-tests.sh [PAGE]     default: build/web/koravel.html
# The tests serve the page and the site on 127.0.0.1 themselves. Installs playwright-core
# from the lock file when needed; the whole run is bounded in time, and the
# server and the browser stop on every way out.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
page=$(realpath -m "${1:-$here/../../build/web/koravel.html}")

for file in "$page" "$(dirname "$page")/site/index.html"; do
    if [[ ! -f $file ]]; then
        echo "$file is missing: build it with bash scripts/build-web.sh" >&2
        exit 1
    fi
done
cd "$here"
KORAVEL_PAGE=$page exec bash bounded-node.sh "${KORAVEL_WEB_TEST_TIMEOUT:-420}" \
    --test --test-concurrency=1 --test-timeout=150000 \
    window.test.mjs commands.test.mjs download.test.mjs slow.test.mjs site.test.mjs \
    drop.test.mjs drop-firefox.test.mjs

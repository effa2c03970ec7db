#!/usr/bin/env bash
# Runs the browser tests of the web page in headless Chromium.
#   bash tests/web/run-browser-tests.sh [PAGE]     default: build/web/koravel.html
# Installs playwright-core from the lock file when node_modules is missing or
# older than the lock. Everything it starts (the tests' web server, Chromium)
# is stopped on every way out, and the whole run is bounded in time.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
page=$(realpath -m "${1:-$repo/build/web/koravel.html}")
limit=${KORAVEL_WEB_TEST_TIMEOUT:-300}

if ! command -v node >/dev/null; then
    echo "Node.js 20 is needed for the browser tests and is not on the PATH." >&2
    exit 1
fi
major=$(node -p 'process.versions.node.split(".")[0]')
if ((major < 20)); then
    echo "Node.js 20 is needed for the browser tests; this is $(node --version)." >&2
    exit 1
fi
if [[ ! -f $page ]]; then
    echo "$page is missing: build it with bash scripts/build-web.sh" >&2
    exit 1
fi

# npm ci when the installed tree is not the one the lock file describes.
stamp=$here/node_modules/.koravel-lock
if ! cmp -s "$here/package-lock.json" "$stamp"; then
    (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
    cp "$here/package-lock.json" "$stamp"
fi

work=$(mktemp -d)
mkdir "$work/pids" "$work/tmp"
runner=
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n $runner ]] && kill -0 "$runner" 2>/dev/null; then
        kill -TERM -- "-$runner" 2>/dev/null || true
        sleep 1
        kill -KILL -- "-$runner" 2>/dev/null || true
    fi
    # Browsers the tests launched (each leads its own process group).
    for file in "$work"/pids/*; do
        [[ -e $file ]] || continue
        pid=${file##*/}
        if kill -0 "$pid" 2>/dev/null && grep -qa -- "$work/tmp" "/proc/$pid/cmdline" 2>/dev/null; then
            kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The runner gets its own process group, so that a time-out ends all of it.
cd "$here"
KORAVEL_PAGE=$page KORAVEL_WEB_PIDS=$work/pids TMPDIR=$work/tmp \
    setsid timeout --kill-after=10 "$limit" \
    node --test --test-concurrency=1 --test-timeout=120000 \
    window.test.mjs commands.test.mjs download.test.mjs &
runner=$!
status=0
wait "$runner" || status=$?
runner=
if ((status == 124 || status == 137)); then
    echo "The browser tests did not finish within $limit s." >&2
fi
exit "$status"

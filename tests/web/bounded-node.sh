#!/usr/bin/env bash
# Runs Node.js with playwright-core at hand, bounded in time, and stops every
# browser it launched on the way out, however it ends.
#   bash tests/web/bounded-node.sh SECONDS NODE-ARGUMENTS...
# Installs playwright-core from the lock file when node_modules is missing or
# is not the tree the lock describes. Used by the browser tests and the web
# benchmark.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
limit=$1
shift

if ! command -v node >/dev/null; then
    echo "Node.js 20 is needed and is not on the PATH." >&2
    exit 1
fi
if (($(node -p 'process.versions.node.split(".")[0]') < 20)); then
    echo "Node.js 20 is needed; this is $(node --version)." >&2
    exit 1
fi

stamp=$here/node_modules/.koravel-lock
if ! cmp -s "$here/package-lock.json" "$stamp"; then
    (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
    cp "$here/package-lock.json" "$stamp"
fi

# Browsers write their profiles and downloads under $work/tmp and leave
# their process ids in $work/pids (tests/web/support/harness.mjs).
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
    local file pid
    for file in "$work"/pids/*; do
        [[ -e $file ]] || continue
        pid=${file##*/}
        # Only while that id is still one of our browsers (it leads its own group).
        if grep -qa -- "$work/tmp" "/proc/$pid/cmdline" 2>/dev/null; then
            kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Its own process group, so that the time-out ends all of it.
KORAVEL_WEB_PIDS=$work/pids TMPDIR=$work/tmp setsid timeout --kill-after=10 "$limit" node "$@" &
runner=$!
status=0
wait "$runner" || status=$?
runner=
if ((status == 124 || status == 137)); then
    echo "node $* did not finish within $limit s." >&2
fi
exit "$status"

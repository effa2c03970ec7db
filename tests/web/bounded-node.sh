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

# Browsers write their profiles and downloads under $work/tmp, which names
# them: whatever runs with a profile there was started by this run.
work=$(mktemp -d)
mkdir "$work/tmp"
runner=
# shellcheck disable=SC2317 # run from the trap
stop_browsers() {
    local cmdline pid
    for cmdline in /proc/[0-9]*/cmdline; do
        pid=${cmdline#/proc/}
        pid=${pid%/cmdline}
        if grep -qaF -- "--user-data-dir=$work/tmp/" "$cmdline" 2>/dev/null; then
            # Each browser leads its own process group, with its helpers in it.
            kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
        fi
    done
}
# shellcheck disable=SC2317 # run from the trap
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n $runner ]] && kill -0 "$runner" 2>/dev/null; then
        kill -TERM -- "-$runner" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$runner" 2>/dev/null || break
            sleep 0.2
        done
        kill -KILL -- "-$runner" 2>/dev/null || true
    fi
    stop_browsers
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Its own process group, so that the time-out ends all of it.
TMPDIR=$work/tmp setsid --wait timeout --kill-after=10 "$limit" node "$@" &
runner=$!
status=0
wait "$runner" || status=$?
runner=
if ((status == 124 || status == 137)); then
    echo "node $* did not finish within $limit s." >&2
fi
exit "$status"

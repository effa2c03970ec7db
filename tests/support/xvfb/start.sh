#!/usr/bin/env bash
# Starts a private X server for the tests that need one and leaves its display
# name in DIR/display for run.sh. It is stopped by stop.sh (the fixture's
# cleanup test), and in any case once the test run that started it has ended.
#
#   start.sh DIR
set -euo pipefail
dir=$1
here=$(dirname "$0")
mkdir -p "$dir"

# A server left by an interrupted run goes first.
bash "$here/stop.sh" "$dir"

command -v Xvfb >/dev/null || {
    echo "Xvfb is not installed (bash scripts/deps.sh installs it)" >&2
    exit 1
}
# Xvfb picks a free display number and writes it to fd 3 once it accepts
# connections. Its output goes to a file, so that the test's pipes close.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
    3>"$dir/number" >"$dir/xvfb.log" 2>&1 </dev/null &
server=$!
echo "$server" >"$dir/xvfb.pid"
for _ in $(seq 200); do
    [[ -s $dir/number ]] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if [[ ! -s $dir/number ]]; then
    echo "Xvfb did not start:" >&2
    cat "$dir/xvfb.log" >&2
    bash "$here/stop.sh" "$dir"
    exit 1
fi
echo ":$(head -n 1 "$dir/number")" >"$dir/display"

# Should the cleanup test never run (the run killed), the server ends with
# the run: ctest is this script's parent.
run=$PPID
nohup bash -c "while kill -0 $run && kill -0 $server; do sleep 2; done 2>/dev/null
               kill -0 $server 2>/dev/null && kill $server" >/dev/null 2>&1 </dev/null &
echo "Xvfb $server on display $(cat "$dir/display")"

#!/usr/bin/env bash
# Stops the X server that start.sh started in DIR, if it still runs, and
# forgets its display. Waits at most 5 seconds before killing it outright.
#
#   stop.sh DIR
set -uo pipefail
dir=$1
[[ -f $dir/xvfb.pid ]] || exit 0
server=$(cat "$dir/xvfb.pid")
rm -f "$dir/display" "$dir/number" "$dir/xvfb.pid"
# Only a server that start.sh started here (its output goes to our log): the
# number may have been given to another process since.
log=$(realpath -m "$dir/xvfb.log")
[[ $server =~ ^[0-9]+$ && $(readlink "/proc/$server/fd/1" 2>/dev/null) == "$log" ]] || exit 0
# Gone, or a zombie waiting to be reaped by whoever adopted it.
gone() { [[ ! -e /proc/$server/stat || $(sed -E 's/.*\) (.).*/\1/' "/proc/$server/stat") == Z ]]; }
kill "$server" 2>/dev/null
for _ in $(seq 50); do
    gone && exit 0
    sleep 0.1
done
kill -KILL "$server" 2>/dev/null
echo "Xvfb $server did not stop on TERM and was killed" >&2

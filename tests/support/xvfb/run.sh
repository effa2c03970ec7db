#!/usr/bin/env bash
# Runs a test on the private X server that start.sh left in DIR.
#
#   run.sh DIR PROGRAM [ARGUMENTS...]
set -euo pipefail
dir=$1
shift
if [[ ! -s $dir/display ]]; then
    echo "No private X server in $dir: the test needs the xvfb fixture (xvfb.start)" >&2
    exit 1
fi
DISPLAY=$(cat "$dir/display")
export DISPLAY
unset WAYLAND_DISPLAY
exec "$@"

#!/usr/bin/env bash
# Runs the page's link and fails it when Asyncify's remove list names a
# function that this compiler's build of the program does not have: the list
# is written against the names of the program and its C++ library, and a
# name that no longer matches means the list has gone stale for this compiler.
#   link-strict.sh LINK-COMMAND...
set -uo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$@" 2> >(tee "$log" >&2)
status=$?
wait
if grep -q 'Asyncify removelist contained' "$log"; then
    echo "error: ui/web/asyncify-remove.txt names functions this build does not have (above)" >&2
    exit 1
fi
exit "$status"

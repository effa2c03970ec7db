#!/usr/bin/env bash
# Formats a manual page as lintian does, in an empty environment, and fails on
# anything that man or groff complain about: man exits 0 on warnings. Also at
# a terminal's usual 80 columns, where lines are harder to break.
# Usage: manpage_test.sh PAGE
set -euo pipefail

if ! command -v man >/dev/null; then
    echo "SKIP: man is not installed (it comes with man-db)"
    exit 77
fi
for width in 120 80; do
    complaints=$(env -i PATH="$PATH" LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=$width \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null) || {
        echo "$complaints"
        echo "FAIL: man cannot format $1" >&2
        exit 1
    }
    if [[ -n $complaints ]]; then
        echo "$complaints"
        echo "FAIL: man or groff warn about $1 at $width columns" >&2
        exit 1
    fi
done
echo "PASS: $1 formats without a warning"

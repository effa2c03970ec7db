#!/usr/bin/env bash
# Builds the Debian package from a build tree and runs lintian on it. Any
# error or warning fails the test; infos and pedantic notes are only shown.
# Usage: deb_lintian_test.sh BUILD_DIR|DEB
set -euo pipefail
source "$(dirname "$0")/common.sh"

if ! command -v lintian >/dev/null; then
    echo "SKIP: lintian is not installed (bash scripts/deps.sh installs it)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
deb=$(build_deb "$1" "$work")

# The tags decide, not lintian's exit status, which is left to say whether
# lintian itself ran.
status=0
lintian --info --display-info --pedantic --fail-on none "$deb" >"$work/lintian.log" 2>&1 ||
    status=$?
problems=$(grep -E '^[EW]: ' "$work/lintian.log" || true)
if [[ -n $problems ]]; then
    cat "$work/lintian.log" >&2 # each tag with its explanation
    echo "--- errors and warnings:" >&2
    echo "$problems" >&2
    fail "lintian reports $(wc -l <<<"$problems") errors or warnings"
fi
grep -E '^[IPXO]: ' "$work/lintian.log" || true
((status == 0)) || {
    cat "$work/lintian.log" >&2
    fail "lintian exited with $status"
}
echo "PASS: lintian finds no error or warning in $(basename "$deb")"

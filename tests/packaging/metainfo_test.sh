#!/usr/bin/env bash
# Validates the AppStream metainfo: errors, warnings and infos all fail; the
# pedantic note on the app id's capital letter is allowed. AppStream before 1.0
# does not know the <developer> element that 1.0 asks for, and says so as an
# info: that one info is allowed there, and only there.
# Usage: metainfo_test.sh METAINFO
set -uo pipefail
metainfo=$1
output=$(appstreamcli validate --no-net "$metainfo" 2>&1)
status=$?
echo "$output"
version=$(appstreamcli --version | sed -n 's/^AppStream version: *\([0-9]*\)\..*/\1/p')
notes=$(grep -E '^ *[EWI]: |: (error|warning|hint): ' <<<"$output")
if [[ ${version:-0} -lt 1 ]]; then
    notes=$(grep -v -E '^I: [^ ]+:[0-9]+: unknown-tag developer$' <<<"$notes")
fi
[[ -z $notes ]] || { echo "FAIL: $notes" >&2; exit 1; }
[[ $status -eq 0 ]] || { echo "FAIL: appstreamcli exit $status" >&2; exit 1; }
echo "PASS: AppStream $(appstreamcli --version | sed -n 's/^AppStream version: *//p')"

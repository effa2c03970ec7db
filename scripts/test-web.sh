#!/usr/bin/env bash
# Builds the web page and runs its tests: the platform-free suites under
# Node.js, then the browser tests against build/web/koravel.html in headless
# Chromium. Arguments go to ctest (for example -R SelectCommand).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-web.sh
suites=0
ctest --preset web "$@" || suites=$?

browser=0
if [[ -f tests/web/run-browser-tests.sh ]]; then
    bash tests/web/run-browser-tests.sh build/web/koravel.html || browser=$?
else
    echo "Browser tests skipped: tests/web/run-browser-tests.sh is not in this checkout."
fi

if ((suites != 0 || browser != 0)); then
    echo "Web tests failed: Node.js suites exit $suites, browser tests exit $browser." >&2
    exit 1
fi

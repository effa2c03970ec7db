#!/usr/bin/env bash
# Installs what is missing, builds Koravel with warnings as errors and runs
# every test: the Linux suites, then the same C++ suites built again with
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows suites under
# Wine, then the web page's suites under Node.js and in headless Chromium.
# Widget tests draw off screen; tests that need a real X server get a virtual
# one from xvfb-run.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset ci
cmake --build --preset ci
linux=0
xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --preset ci "$@" || linux=$?

# The platform-free, file-layer, audit and Qt suites under the sanitizers (the
# asan presets; the end-to-end, packaging and release checks are left out, see
# the test preset's description). Any finding fails its test.
sanitized=0
{
    cmake --preset asan &&
        cmake --build --preset asan &&
        xvfb-run -a -s "-screen 0 1024x768x24 -noreset" ctest --preset asan "$@"
} || sanitized=$?

windows=0
bash scripts/test-windows.sh "$@" || windows=$?

web=0
bash scripts/test-web.sh "$@" || web=$?

if ((linux != 0 || sanitized != 0 || windows != 0 || web != 0)); then
    echo "Tests failed: Linux suites exit $linux, sanitized suites exit $sanitized," \
        "Windows suites exit $windows, web suites exit $web." >&2
    exit 1
fi

#!/usr/bin/env bash
# Starts Koravel in a private D-Bus session with its own accessibility bus and
# reads its window over AT-SPI (atspi_names.py), as a screen reader would.
# Runs on $DISPLAY (the test run's X server); exits 77 when something it needs
# is missing, so that CTest reports the test as skipped, with the reason.
#
#   atspi_names.sh <koravel binary>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "$(realpath "$0")")/harness.sh"

app=$(realpath "${1:?usage: atspi_names.sh <koravel binary>}")
reader=$(dirname "$(realpath "$0")")/atspi_names.py
command -v dbus-daemon >/dev/null || skip "dbus-daemon is not installed (package dbus)"
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    if [[ -x $candidate ]]; then launcher=$candidate; break; fi
done
[[ -n $launcher ]] || skip "at-spi-bus-launcher is not installed (package at-spi2-core)"
# Debian's Python, which has Debian's bindings, whatever python3 the PATH finds.
python=/usr/bin/python3
[[ -x $python ]] || python=python3
"$python" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null ||
    skip "Python's AT-SPI bindings are missing (packages python3-gi, gir1.2-atspi-2.0)"
[[ -n ${DISPLAY:-} ]] || skip "no X display to show the window on"

begin_run atspi 90
private_home
# The accessibility bus first, then the program, which finds it through the
# session bus; the reader last.
start_bus
start_service launcher "$launcher" --launch-immediately
launch env QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 "$app"
timeout 60 "$python" "$reader" "$app_pid" || fail "the window as a screen reader reads it (status $?)"

#!/usr/bin/env bash
# Starts Koravel in a private D-Bus session with its own accessibility bus and
# reads its window over AT-SPI (atspi_names.py), as a screen reader would.
# Runs on $DISPLAY (the test run's X server); exits 77 when something it needs
# is missing, so that CTest reports the test as skipped, with the reason.
#
#   atspi_names.sh <koravel binary>
set -euo pipefail
source "$(dirname "$(realpath "$0")")/unmount-under.sh"

skip() { echo "SKIP: $*"; exit 77; }

if [[ ${1:-} == --in-session ]]; then
    # Inside the private session: the accessibility bus first, then the
    # program, which finds it through the session bus; the reader last.
    launcher=$2 app=$3 reader=$4 python=$5
    "$launcher" --launch-immediately >"$XDG_RUNTIME_DIR/launcher.log" 2>&1 &
    launcher_pid=$!
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1 \
        "$app" >"$XDG_RUNTIME_DIR/app.log" 2>&1 &
    app_pid=$!
    trap 'kill "$app_pid" "$launcher_pid" 2>/dev/null; wait' EXIT
    status=0
    timeout 60 "$python" "$reader" "$app_pid" || status=$?
    ((status == 0)) || cat "$XDG_RUNTIME_DIR/app.log" "$XDG_RUNTIME_DIR/launcher.log" >&2
    exit "$status"
fi

app=$(realpath "${1:?usage: atspi_names.sh <koravel binary>}")
reader=$(dirname "$(realpath "$0")")/atspi_names.py
command -v dbus-run-session >/dev/null || skip "dbus-run-session is not installed (package dbus)"
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

work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-atspi-XXXXXX")
trap 'unmount_under "$work"; rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
# The session's bus, and all it started, end with it; the whole run has a limit.
HOME="$work" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" \
    timeout -k 5 90 dbus-run-session -- bash "$0" --in-session "$launcher" "$app" "$reader" "$python"

#!/usr/bin/env bash
# Installs the Debian package with apt, starts the installed program on an X
# display, waits for its window, then removes the package and checks that its
# files are gone. Needs root and apt; exits 77 (skipped) without them.
# Usage: deb_install_test.sh BUILD_DIR|DEB WINDOW_TITLE
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
build=$1
title=$2

status() {
    dpkg-query -W -f='${db:Status-Status}' koravel 2>/dev/null || echo not-installed
}

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: installing a package needs root"
    exit 77
fi
if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
    echo "SKIP: needs apt-get and dpkg"
    exit 77
fi
# Never replace, and then remove, a copy that someone installed on purpose.
if [[ $(status) != not-installed && $(status) != config-files ]]; then
    echo "SKIP: koravel is already installed ($(status)); remove it to run this test"
    exit 77
fi

work=$(mktemp -d)
chmod 755 "$work" # apt reads local packages as its own unprivileged user
app_pid=
xvfb_pid=
installed_here=

apt() {
    DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=60 "$@"
}

cleanup() {
    local rc=$?
    [[ -n $app_pid ]] && kill -9 "$app_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
    if [[ -n $installed_here && $(status) != not-installed ]]; then
        echo "cleanup: removing koravel" >&2
        apt remove koravel >/dev/null 2>&1 || dpkg --remove koravel >/dev/null 2>&1
    fi
    rm -rf "$work"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

deb=$(build_deb "$build" "$work")

installed_here=1
apt install --no-install-recommends "$deb" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    fail "apt-get install $deb"
}
[[ $(status) == installed ]] || fail "after apt-get install, koravel is '$(status)'"

# dpkg owns every file (so that removal takes them away), and they are in place.
missing=$(LC_ALL=C comm -23 <(expected_files) <(dpkg -L koravel | LC_ALL=C sort))
[[ -z $missing ]] || fail "not owned by the package: $missing"
check_tree /

if [[ -z ${DISPLAY:-} ]]; then
    start_xvfb "$work"
fi

# The test run may ask Qt for its offscreen platform; this must be a real X window.
QT_QPA_PLATFORM=xcb /usr/bin/koravel >"$work/koravel.log" 2>&1 &
app_pid=$!
pattern="^${title//./\\.}\$"
wid=$(await_window "$app_pid" "$work/koravel.log" 15 "$pattern" /usr/bin/koravel --pid "$app_pid")
echo "window $wid: $title"

# Docks match a window to its desktop entry through this class.
class=$(xprop -id "$wid" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
wmclass=$(desktop_key "/usr/share/applications/$APP_ID.desktop" StartupWMClass)
[[ $class == "$wmclass" ]] || fail "window class '$class', desktop entry StartupWMClass '$wmclass'"

kill "$app_pid"
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "koravel did not stop on SIGTERM"
app_pid=

apt remove koravel >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    fail "apt-get remove koravel"
}
installed_here=
[[ $(status) == not-installed || $(status) == config-files ]] ||
    fail "after apt-get remove, koravel is '$(status)'"
while read -r file; do
    [[ ! -e $file ]] || fail "$file is still there after removal"
done < <(expected_files)
echo "PASS: installed, started and removed $(basename "$deb")"

#!/usr/bin/env bash
# Select through the desktop's own Open dialog: GTK's file chooser, shown by
# xdg-desktop-portal for Qt's portal theme, as on GNOME. Everything runs in a
# private X server and a private D-Bus session, with a scratch home, and ends
# with the run. The path is typed into the chooser as a person would (Ctrl+L,
# the path, a pause, Return); Patch then writes back what Select showed, so an
# image whose settings did not reach the lists would change.
#
#   portal_dialog.sh <koravel binary> [folder for screenshots]
# Exits 77 (skipped) when a part of the desktop it needs is not installed.
set -euo pipefail
source "$(dirname "$(realpath "$0")")/unmount-under.sh"

skip() { echo "SKIP: $*"; exit 77; }

if [[ ${1:-} != --in-session ]]; then
    app=$(realpath "${1:?usage: portal_dialog.sh <koravel binary> [screenshot folder]}")
    shots=${2:-}
    for tool in Xvfb xdotool dbus-run-session cmp; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    [[ -x /usr/libexec/xdg-desktop-portal ]] || skip "xdg-desktop-portal is not installed"
    [[ -x /usr/libexec/xdg-desktop-portal-gtk ]] || skip "xdg-desktop-portal-gtk is not installed"
    compgen -G "/usr/lib/*/qt6/plugins/platformthemes/libqxdgdesktopportal.so" >/dev/null ||
        skip "Qt's portal theme is not installed (qt6-xdgdesktopportal-platformtheme)"
    work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-portal-XXXXXX")
    xvfb_pid=""
    cleanup() {
        [[ -z $xvfb_pid ]] || { kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; }
        unmount_under "$work"
        rm -rf "$work"
    }
    trap cleanup EXIT
    # Wide enough for the whole chooser, which no window manager places.
    Xvfb -displayfd 3 -screen 0 1400x1050x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 </dev/null &
    xvfb_pid=$!
    for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
    [[ -s $work/display ]] || { cat "$work/xvfb.log" >&2; exit 1; }
    mkdir -m 700 "$work/runtime"
    # Newer portals (1.18 and later) choose their backends from portals.conf.
    mkdir -p "$work/home/.config/xdg-desktop-portal"
    printf '[preferred]\ndefault=gtk\n' >"$work/home/.config/xdg-desktop-portal/portals.conf"
    # GNOME's portal answers only where the desktop says it is GNOME; the
    # portal writes its recent files and settings under the scratch home.
    DISPLAY=":$(head -n 1 "$work/display")" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
        XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
        XDG_CACHE_HOME="$work/home/.cache" XDG_CURRENT_DESKTOP=GNOME GTK_USE_PORTAL=0 \
        GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
        timeout -k 5 120 dbus-run-session -- bash "$0" --in-session "$app" "$work" "$shots"
    exit
fi

app=$2 work=$3 shots=$4
app_pid=""
trap '[[ -z $app_pid ]] || kill "$app_pid" 2>/dev/null; wait' EXIT

fail() {
    echo "FAIL: $*" >&2
    cat "$work/app.log" >&2 || true
    exit 1
}
wait_for() { # seconds description command...
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    until "$@"; do
        kill -0 "$app_pid" 2>/dev/null || fail "koravel exited while waiting for: $what"
        ((SECONDS < deadline)) || fail "timed out waiting for: $what"
        sleep 0.1
    done
}
window_named() { xdotool search --all --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }
ours() { xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" 2>/dev/null | head -n 1; }
shown() { [[ -n $(window_named "$1") ]]; }
gone() { ! shown "$1"; }
ours_shown() { [[ -n $(ours "$1") ]]; }
screenshot() { [[ -z $shots ]] || import -window root "$shots/$1.png" 2>/dev/null || true; }

# 128 KiB of erased flash holding Japan, French, PAL_M in both copies.
image="$work/images/japan dump.bin"
mkdir -p "$work/images"
head -c 131072 /dev/zero | tr '\0' '\377' >"$image"
for start in $((0x1A000)) $((0x1A0A0)); do
    printf '00032Dreamcast  ' | dd of="$image" bs=1 seek="$start" conv=notrunc status=none
done
cp "$image" "$work/original.bin"

# No theme named: the program asks for the portal's on GNOME by itself.
(cd "$work/home" && unset QT_QPA_PLATFORMTHEME && QT_QPA_PLATFORM=xcb exec "$app") \
    >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 30 "the main window" ours_shown 'Koravel v0\.3'
main=$(ours 'Koravel v0\.3')
sleep 2 # Qt asks the portal for its version once, at start-up

xdotool mousemove --window "$main" --sync 220 146 click 1 # Select
wait_for 30 "the portal's Open dialog" shown Open
dialog=$(window_named Open)
[[ -z $(ours Open) ]] || fail "the Open dialog is Qt's, in the program, not the desktop's"
sleep 1
screenshot portal-dialog
timeout 5 xdotool windowfocus --sync "$dialog" || fail "the Open dialog did not take the focus"
xdotool key ctrl+l
sleep 0.5
xdotool type --delay 20 "$image"
sleep 1 # the chooser completes the typed name first
xdotool key Return
wait_for 20 "the Open dialog to close" gone Open

# Patch writes the lists back: unchanged only if they show the image's settings.
timeout 5 xdotool windowfocus --sync "$main" || true
xdotool mousemove --window "$main" --sync 124 260 click 1 # Patch
wait_for 20 "Patch's message" ours_shown 'Information|Error'
[[ -n $(ours Information) ]] || { screenshot portal-failure; fail "Patch said Error"; }
timeout 5 xdotool windowfocus --sync "$(ours Information)" || true
xdotool key Return
cmp -s "$image" "$work/original.bin" ||
    fail "Patch changed the image: the lists did not show what the portal's pick holds"
echo "PASS: Select opened the portal's dialog, its pick reached the lists, Patch kept the image"

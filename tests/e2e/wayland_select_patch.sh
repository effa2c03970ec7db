#!/usr/bin/env bash
# Koravel in a Wayland session: a Weston nested in a private X server, driven
# through that server's pointer and keys as a person drives the session.
#  1. As started by default (XWayland here): centred, Weston's frame with a
#     close box only; Select and Patch work; a double click on the caption,
#     which maximizes other X11 windows, leaves the window at its size.
#  2. On Qt's Wayland platform, chosen by the user: the window's own caption
#     bar, no frame of Qt's; double clicks and clicks along the caption neither
#     end the program nor change the window's size; its close box ends it.
#
#   wayland_select_patch.sh <koravel binary> [folder for screenshots]
# Exits 77 (skipped) when Weston, XWayland or a tool is not installed.
set -euo pipefail

skip() { echo "SKIP: $*"; exit 77; }
app=$(realpath "${1:?usage: wayland_select_patch.sh <koravel binary> [screenshot folder]}")
shots=${2:-}
for tool in weston Xwayland Xvfb xdotool xprop xwininfo convert import cmp; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-wayland-XXXXXX")
xvfb_pid="" weston_pid="" app_pid=""
stop() { # pid
    [[ -n $1 ]] && kill -0 "$1" 2>/dev/null || return 0
    kill "$1" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
cleanup() {
    stop "$app_pid"
    stop "$weston_pid"
    stop "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# Gives up on its own before CTest's limit, so that the cleanup runs.
(
    exec >/dev/null 2>&1 </dev/null
    sleep 160 &
    sleeper=$!
    trap 'kill $sleeper' TERM
    wait "$sleeper" && kill -TERM $$
) &
watchdog=$!
trap 'kill $watchdog 2>/dev/null; cleanup' EXIT

fail() {
    echo "FAIL: $*" >&2
    [[ -z $shots ]] || DISPLAY=$outer import -window root "$shots/wayland-failure.png" 2>/dev/null || true
    cat "$work/app.log" "$work/weston.log" >&2 2>/dev/null || true
    exit 1
}
wait_for() { # seconds description command...
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    until "$@"; do
        ((SECONDS < deadline)) || fail "timed out waiting for: $what"
        sleep 0.1
    done
}

# ---- the session --------------------------------------------------------------

# A screen larger than Weston's output: the pointer leaves the output and comes
# back before each action, which places it exactly (Weston's X11 backend
# follows relative motion).
Xvfb -displayfd 3 -screen 0 1100x800x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 </dev/null &
xvfb_pid=$!
wait_for 20 "Xvfb" test -s "$work/display"
outer=":$(head -n 1 "$work/display")"

cat >"$work/weston.ini" <<'INI'
[shell]
panel-position=none
background-color=0xff404040
[input-method]
path=
INI
# Weston 12 and later name the backend and the renderer differently.
version=$(weston --version | sed -n 's/^weston \([0-9]*\).*/\1/p')
if ((${version:-0} >= 12)); then
    backend=(--backend=x11 --renderer=pixman)
else
    backend=(--backend=x11-backend.so --use-pixman)
fi
mkdir -m 700 "$work/runtime" "$work/home"
export XDG_RUNTIME_DIR="$work/runtime" HOME="$work/home"
socket="koravel-$$"
DISPLAY=$outer weston "${backend[@]}" --width=1024 --height=768 --socket="$socket" \
    --xwayland --config="$work/weston.ini" >"$work/weston.log" 2>&1 </dev/null &
weston_pid=$!
# Weston logs the display its X server listens on ("xserver listening on
# display :1" in Weston 10).
xwayland_number() { sed -n 's/.*listening on display :\([0-9][0-9]*\).*/\1/p' "$work/weston.log" 2>/dev/null | head -n 1; }
has_xwayland() { [[ -n $(xwayland_number) ]]; }
wait_for 30 "Weston and its X server" has_xwayland
xwayland=":$(xwayland_number)"

point() { # x y, in the session, then the rest of xdotool's commands
    local x=$1 y=$2
    shift 2
    DISPLAY=$outer xdotool mousemove 1080 790 sleep 0.2 mousemove "$x" "$y" sleep 0.2 "$@"
}
keys() { DISPLAY=$outer xdotool "$@"; }
ours() { DISPLAY=$xwayland xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" 2>/dev/null | head -n 1; }
shown() { [[ -n $(ours "$1") ]]; }
gone() { ! shown "$1"; }
alive() { kill -0 "$app_pid" 2>/dev/null; }
geometry() { # window -> X Y WIDTH HEIGHT, on the screen, without the frame
    DISPLAY=$xwayland xwininfo -id "$1" |
        awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
                 /Width/ { w = $2 } /Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }'
}
# A click on a window's caption gives it the keyboard, as in any session.
focus() { # title
    local fx fy fw
    read -r fx fy fw _ < <(geometry "$(ours "$1")")
    point $((fx + fw / 2)) $((fy - 15)) click 1
    sleep 0.3
}

# ---- 1. as started by default ---------------------------------------------------

image="$work/japan dump.bin" # Japan, French, PAL_M in both copies
head -c 131072 /dev/zero | tr '\0' '\377' >"$image"
for start in $((0x1A000)) $((0x1A0A0)); do
    printf '00032Dreamcast  ' | dd of="$image" bs=1 seek="$start" conv=notrunc status=none
done
cp "$image" "$work/original.bin"

(cd "$HOME" && unset QT_QPA_PLATFORM && WAYLAND_DISPLAY="$socket" DISPLAY="$xwayland" \
    XDG_SESSION_TYPE=wayland exec "$app") >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 30 "the main window on XWayland" shown 'Koravel v0\.3'
main=$(ours 'Koravel v0\.3')
# Centred with its frame (Weston's caption is above the window), once Weston
# has framed it: it is first mapped where Weston puts new windows.
centred() {
    read -r x y w h < <(geometry "$main")
    ((w == 250 && h == 281 && x + w / 2 >= 502 && x + w / 2 <= 522 &&
        y + h / 2 >= 374 && y + h / 2 <= 414))
}
if ! (wait_for 10 "the window centred at 250x281" centred) 2>/dev/null; then
    read -r x y w h < <(geometry "$main")
    fail "the window is ${w}x$h at $x,$y, not 250x281 centred on the 1024x768 output"
fi
read -r x y w h < <(geometry "$main")
sleep 0.5
[[ -z $shots ]] || DISPLAY=$outer import -window root -crop 1024x768+0+0 +repage "$shots/wayland-xwayland.png"

point $((x + 220)) $((y + 146)) click 1 # Select
wait_for 20 "the Open dialog" shown Open
sleep 0.5
focus Open
keys type --delay 20 "$image"
keys key Return
wait_for 20 "the Open dialog to close" gone Open
focus 'Koravel v0\.3'
point $((x + 124)) $((y + 260)) click 1 # Patch
wait_for 20 "Patch's message" shown '(Information|Error)'
shown Information || fail "Patch said Error"
focus Information
keys key Return
wait_for 10 "the message to close" gone Information
cmp -s "$image" "$work/original.bin" ||
    fail "Patch changed the image: the lists did not show what Select read"

# A double click on the caption, 15 pixels above the window.
point $((x + 125)) $((y - 15)) click --repeat 2 --delay 80 1
sleep 1.5
alive || fail "the program ended after a double click on its caption"
read -r _ _ w h < <(geometry "$main")
((w == 250 && h == 281)) || fail "after a double click on the caption the window is ${w}x$h"
DISPLAY=$xwayland xprop -id "$main" _NET_WM_STATE | grep -q MAXIMIZED &&
    fail "the window says it is maximized"
stop "$app_pid"
app_pid=""
echo "ok: through XWayland, centred, Select and Patch, the caption's double click kept its size"

# ---- 2. on Qt's Wayland platform, the user's choice ---------------------------

if ! compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null; then
    echo "PASS (Qt's Wayland platform not tested: qt6-wayland is not installed)"
    exit 0
fi
# The window is found on the screen: everything not the background, with
# Weston's pointer parked in the output's top left corner, outside the part
# looked at.
window_box() { # -> X Y WIDTH HEIGHT
    point 1 1
    sleep 0.3
    DISPLAY=$outer import -window root "$work/screen.png"
    convert "$work/screen.png" -crop 1000x744+24+24 +repage -fuzz 3% -trim \
        -format '%X %Y %w %h\n' info: | tr -d '+' | awk '{ print $1 + 24, $2 + 24, $3, $4 }'
}
(cd "$HOME" && QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" exec "$app") \
    >"$work/app.log" 2>&1 &
app_pid=$!
sleep 3
alive || fail "the program did not start on Qt's Wayland platform"
read -r x y w h < <(window_box)
# The caption bar (26 pixels) above the 250 x 281 window, and no frame of Qt's.
((w == 250 && h == 307)) || fail "on Wayland the window is ${w}x$h on screen, expected 250x307"
[[ -z $shots ]] || cp "$work/screen.png" "$shots/wayland-native.png"
point $((x + 125)) $((y + 13)) click --repeat 2 --delay 80 1 # caption
point $((x + w - 45)) $((y + 13)) click 1                    # where a maximize box would be
point $((x + w - 70)) $((y + 13)) click 1                    # and a minimize box
keys key Tab
sleep 1.5
alive || fail "the program ended after clicks on its caption bar"
read -r _ _ w2 h2 < <(window_box)
((w2 == 250 && h2 == 307)) || fail "after clicks on the caption bar the window is ${w2}x$h2"
point $((x + w - 13)) $((y + 13)) click 1 # the close box
for _ in $(seq 50); do alive || break; sleep 0.1; done
alive && fail "the close box did not end the program"
wait "$app_pid" || fail "the program ended with an error after its close box"
app_pid=""
echo "PASS: XWayland by default, Qt's Wayland platform by choice: one size, close box only"

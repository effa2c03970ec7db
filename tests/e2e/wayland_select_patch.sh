#!/usr/bin/env bash
# Koravel in a Wayland session: a compositor nested in a private X server,
# driven through that server's pointer and keys as a person drives the session.
# The compositor is Weston, KDE's KWin or GNOME's Mutter.
#  1. As started by default (XWayland here): centred, framed by the compositor
#     with no maximize action; Select and Patch work; a double click on the
#     caption, which maximizes other X11 windows, and the compositor's own
#     maximize and resize keys leave the window at its size.
#  2. On Qt's Wayland platform, chosen by the user: under Plasma, KWin's own
#     frame (caption, minimize, close); elsewhere the window's own caption bar,
#     no frame of Qt's; double clicks and clicks along the caption and the
#     compositor's keys neither end the program nor change the window's size;
#     its close box ends it.
# Weston stays for what KWin and Mutter forgive: it is the strictest about a
# window that answers a maximized state with another size (a protocol error
# that ends the program), so a maximize reaching the window shows there first.
#
#   wayland_select_patch.sh <koravel binary> [folder for screenshots] [weston|kwin|mutter]
# Exits 77 (skipped) when the compositor, XWayland, Qt's Wayland platform or a
# tool is not installed, or the compositor cannot run here, and says which
# half it could not test.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "$(realpath "$0")")/harness.sh"

usage="usage: wayland_select_patch.sh <koravel binary> [screenshot folder] [weston|kwin|mutter]"
app=$(realpath "${1:?$usage}")
compositor=${3:-weston}
case $compositor in
weston) need weston ;;
kwin) need kwin_wayland ;;
mutter) need mutter ;;
*) echo "$usage" >&2 && exit 2 ;;
esac
need Xwayland Xvfb xdotool xprop xwininfo xdpyinfo convert import identify cmp

# KWin and Mutter start their X server on display :0 (Mutter on :1 too),
# whatever else runs: each such run has a /tmp and a network (and so abstract
# socket) namespace of its own, with the program and the screenshot folder
# bound back in where they lie under /tmp.
if [[ $compositor != weston && -z ${KORAVEL_OWN_NAMESPACES:-} ]]; then
    need unshare
    timeout 10 unshare --mount --net --fork true 2>/dev/null ||
        skip "$compositor not tested: cannot make mount and network namespaces here (unshare)"
    KORAVEL_OWN_NAMESPACES=1 exec timeout 240 unshare --mount --net --fork --kill-child \
        bash "$0" "$app" "${2:-}" "$compositor"
fi
if [[ -n ${KORAVEL_OWN_NAMESPACES:-} ]]; then
    kept=()
    for path in "$(dirname "$app")" ${2:+"$(realpath -m "$2")"}; do
        [[ $path == /tmp/* ]] || continue
        mkdir -p "$path"
        exec {fd}<"$path"
        kept+=("$fd" "$path")
    done
    mount -t tmpfs -o mode=1777 tmpfs /tmp || fail "cannot mount a tmpfs on /tmp"
    for ((i = 0; i < ${#kept[@]}; i += 2)); do
        mkdir -p "${kept[i + 1]}"
        mount --bind --no-canonicalize "/proc/self/fd/${kept[i]}" "${kept[i + 1]}" || fail "cannot bind ${kept[i + 1]} back"
    done
fi

# Screenshots: wayland-*.png under Weston, kwin-*.png and mutter-*.png.
name=wayland
[[ $compositor == weston ]] || name=$compositor
begin_run "$name" 150 "${2:-}"
private_home
type_delay=20

# ---- the session --------------------------------------------------------------

# A screen larger than the compositor's output: the pointer leaves the output
# and comes back before each action, which places it exactly (Weston's X11
# backend follows relative motion). Input goes to this screen; the program's
# X11 windows are on the compositor's X server, $app_display.
[[ $compositor == weston ]] || x_number=9 # the compositors' own X servers take :0 and :1
start_x --own 1100x800
start_bus
socket="koravel-$$"
xwayland_log="" # where the compositor says which display its X server has

start_weston() {
    cat >"$work/weston.ini" <<'INI'
[shell]
panel-position=none
background-color=0xff404040
[input-method]
path=
INI
    # Weston 12 and later name the backend and the renderer differently.
    local version backend
    version=$(weston --version | sed -n 's/^weston \([0-9]*\).*/\1/p')
    if ((${version:-0} >= 12)); then
        backend=(--backend=x11 --renderer=pixman)
    else
        backend=(--backend=x11-backend.so --use-pixman)
    fi
    start_service weston weston "${backend[@]}" --width=1024 --height=768 --socket="$socket" \
        --xwayland --config="$work/weston.ini"
    # "xserver listening on display :1" in Weston 10.
    xwayland_log=$work/weston.log
}

start_kwin() {
    # KWin draws no frame around X11 windows without its Breeze plugin
    # (org.kde.kdecoration2 up to KWin 6.2, org.kde.kdecoration3 from 6.3).
    compgen -G "/usr/lib/*/qt*/plugins/org.kde.kdecoration[0-9]/*breeze*.so" >/dev/null ||
        skip "KWin not tested: its frame, kwin-style-breeze, is not installed"
    # kwin_wayland carries a file capability that some machines refuse to
    # grant ("Operation not permitted"): a plain copy has none.
    cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
    start_service kwin env -u WAYLAND_DISPLAY "$work/kwin_wayland" --x11-display "$DISPLAY" \
        --socket "$socket" --xwayland --width 1024 --height 768
}

start_mutter() {
    timeout 10 mutter --help 2>&1 | grep -q -- '--nested' ||
        skip "Mutter not tested: $(timeout 10 mutter --version | head -n 1) has no nested mode (--nested)"
    start_service mutter env -u WAYLAND_DISPLAY MUTTER_DEBUG_DUMMY_MODE_SPECS=1024x768 \
        mutter --nested --wayland --wayland-display "$socket"
}

"start_$compositor"
# The display of the compositor's X server: from Weston's log, or the first
# X socket besides the outer screen's that answers (Mutter's wants the
# authority file it writes).
xwayland_number() {
    if [[ -n $xwayland_log ]]; then
        sed -n 's/.*listening on display :\([0-9][0-9]*\).*/\1/p' "$xwayland_log" 2>/dev/null | head -n 1
        return 0
    fi
    local socket_file number
    for socket_file in /tmp/.X11-unix/X*; do
        number=${socket_file##*/X}
        [[ $number != "${x_number:-}" && -S $socket_file ]] || continue
        if DISPLAY=":$number" timeout 5 xdpyinfo >/dev/null 2>&1; then
            echo "$number"
            return 0
        fi
    done
}
has_xwayland() {
    if [[ $compositor == mutter ]]; then
        local authority
        authority=$(compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" | head -n 1) || return 1
        export XAUTHORITY=$authority
    fi
    [[ -n $(xwayland_number) ]]
}
compositor_pid=${stoppers[-1]}
if ! await 40 "$compositor and its X server" has_xwayland; then
    # One that ended by itself cannot run here; one still running failed.
    kill -0 "$compositor_pid" 2>/dev/null ||
        skip "$compositor cannot start here: $(grep -v '^ *$' "$work/$compositor.log" | tail -n 1)"
    fail "timed out waiting for: $compositor and its X server"
fi
app_display=":$(xwayland_number)"

point() { # x y, in the session, then the rest of xdotool's commands
    local x=$1 y=$2
    shift 2
    xdo mousemove 1080 790 sleep 0.2 mousemove "$x" "$y" sleep 0.2 "$@"
}
geometry() { # window -> X Y WIDTH HEIGHT, on the screen, without the frame
    on_app_display xwininfo -id "$1" |
        awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
                 /Width/ { w = $2 } /Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }'
}
# A click on a window's caption gives it the keyboard, as in any session,
# once the compositor has framed the window.
focus() { # title
    local fx fy fw
    sleep 0.5
    read -r fx fy fw _ < <(geometry "$(window_of "$1")")
    point $((fx + fw / 2)) $((fy - 15)) click 1
    sleep 0.3
}
click_at() { point $((x + $1)) $((y + $2)) click 1; } # x y, in the main window

# The compositor's own ways to maximize or resize the active window, each a
# list of keys: KWin's Meta+PgUp, its window menu's Maximize (Alt+F3, X) and
# its resize mode (Alt+F8); Mutter's Super+Up, Alt+F10 and resize mode
# (Alt+F8). Weston has none for a client's window.
attempts=()
case $compositor in
kwin) attempts=("super+Prior" "alt+F3 x Escape" "alt+F8 Right Right Right Down Down Return") ;;
mutter) attempts=("super+Up" "alt+F10" "alt+F8 Right Right Right Down Down Return") ;;
esac
# Tries each with the pointer on the window, then asks whether it kept its
# size and the program still runs.
try_to_maximize() { # x y (a point on the window) check-command...
    local px=$1 py=$2 keys
    shift 2
    for keys in "${attempts[@]}"; do
        point "$px" "$py"
        # shellcheck disable=SC2086 # one key a word
        xdo key --delay 300 $keys
        sleep 1.5
        running || fail "the program ended after the keys $keys"
        "$@" "the keys $keys"
    done
}

# The first of those keys reaches the compositor and maximizes a window that
# may be maximized (xmessage's): otherwise the attempts below prove nothing.
if ((${#attempts[@]} > 0)); then
    need xmessage
    on_app_display xmessage -geometry 200x100+100+100 "resizable" &
    stoppers+=("$!")
    wait_for 10 "xmessage's window" shown --any xmessage
    sizable=$(window_of --any xmessage)
    read -r mx my _ _ < <(geometry "$sizable")
    point $((mx + 100)) $((my + 50)) click 1
    sleep 0.5
    xdo key "${attempts[0]}"
    maximized() { read -r _ _ mw _ < <(geometry "$sizable") && ((mw > 900)); }
    await 5 "xmessage maximized" maximized ||
        fail "the key ${attempts[0]} did not maximize xmessage under $compositor: the keys prove nothing"
    stop_tree "${stoppers[-1]}"
fi

# ---- 1. as started by default ---------------------------------------------------

image="$work/japan dump.bin"
make_image "$image" 0 3 2 # Japan, French, PAL_M
start_app env -u QT_QPA_PLATFORM WAYLAND_DISPLAY="$socket" DISPLAY="$app_display" \
    XDG_SESSION_TYPE=wayland "$app"
# Centred, its frame's caption above it, once the compositor has framed it: it
# is first mapped where the compositor puts new windows.
centred() {
    read -r x y w h < <(geometry "$main")
    ((w == 250 && h == 281 && x + w / 2 >= 502 && x + w / 2 <= 522 &&
        y + h / 2 >= 374 && y + h / 2 <= 424))
}
await 10 "the window centred at 250x281" centred ||
    fail "the window is ${w}x$h at $x,$y, not 250x281 centred on the 1024x768 output"
sleep 0.5
screenshot xwayland -crop 1024x768+0+0 +repage
# KWin and Mutter say what they allow the window: closing, but neither
# maximizing nor resizing; and they frame it.
if [[ $compositor != weston ]]; then
    actions=$(on_app_display xprop -id "$main" _NET_WM_ALLOWED_ACTIONS) ||
        fail "cannot read the actions $compositor allows the window"
    [[ $actions == *_NET_WM_ACTION_CLOSE* ]] || fail "$compositor does not let the window close: $actions"
    [[ $actions != *MAXIMIZE* && $actions != *_NET_WM_ACTION_RESIZE* ]] ||
        fail "$compositor lets the window be maximized or resized: $actions"
    extents=$(on_app_display xprop -id "$main" _NET_FRAME_EXTENTS) || fail "cannot read the frame's extents"
    IFS=', ' read -r _ _ frame_top _ <<<"${extents#*= }" # left, right, top, bottom
    ((${frame_top:-0} >= 20)) || fail "$compositor drew no caption above the window: $extents"
fi

select_file "$image"
patch_expecting Information
dismiss Information
cmp -s "$image" "$(original_of "$image")" ||
    fail "Patch changed the image: the lists did not show what Select read"

kept_its_size() { # after-what
    local w h state
    read -r _ _ w h < <(geometry "$main")
    ((w == 250 && h == 281)) || fail "after $1 the window is ${w}x$h"
    state=$(on_app_display xprop -id "$main" _NET_WM_STATE) || fail "cannot read the window's state"
    [[ $state != *MAXIMIZED* ]] || fail "after $1 the window says it is maximized"
}
# A double click on the caption, 15 pixels above the window.
point $((x + 125)) $((y - 15)) click --repeat 2 --delay 80 1
sleep 1.5
running || fail "the program ended after a double click on its caption"
kept_its_size "a double click on the caption"
try_to_maximize $((x + 125)) $((y + 100)) kept_its_size
stop_app
echo "ok: through XWayland under $compositor, centred, Select and Patch, the caption's double click${attempts[*]:+ and the keys ${attempts[*]}} kept its size"

# ---- 2. on Qt's Wayland platform, the user's choice ---------------------------

compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" >/dev/null ||
    skip "Qt's Wayland platform not tested: qt6-wayland is not installed (the XWayland half passed)"
# The window is found on the screen: what differs from the empty output, with
# the pointer parked in its bottom right corner, outside the part looked at
# (the compositors draw it in other shapes at other times).
output_shot() { # file
    point 1023 767
    sleep 0.5
    import -window root -crop 1016x760+0+0 +repage "$1"
}
# The output empty once it has settled (Weston still shows the closed
# window for a moment): two pictures alike.
settled() {
    cp "$work/empty.png" "$work/before.png" 2>/dev/null || true
    output_shot "$work/empty.png"
    [[ $(identify -format '%#' "$work/empty.png") == $(identify -format '%#' "$work/before.png" 2>/dev/null) ]]
}
wait_for 10 "the empty output" settled
window_box() { # -> X Y WIDTH HEIGHT
    output_shot "$work/screen.png"
    convert "$work/empty.png" "$work/screen.png" -compose difference -composite -fuzz 3% -trim \
        -format '%X %Y %w %h\n' info: | tr -d '+'
}
# Under Plasma (KWin) the compositor frames the window itself: Breeze's
# 37-pixel caption with minimize and close, no maximize, and from KWin 6 a
# 1-pixel outline at each side. Elsewhere the window draws its own 26-pixel
# caption bar, and there is no frame of Qt's.
if [[ $compositor == kwin ]]; then
    desktop=KDE caption=37 sides=2 close_from_right=19
else
    desktop="" caption=26 sides=0 close_from_right=13
fi
framed_size() { ((w >= 250 && w <= 250 + sides && h == 281 + caption)); }
# Only the Wayland socket: $DISPLAY here is the screen beneath the compositor,
# not the session's X server.
launch env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" \
    XDG_CURRENT_DESKTOP="$desktop" "$app"
sleep 3
running || fail "the program did not start on Qt's Wayland platform"
read -r x y w h < <(window_box)
framed_size || fail "on Wayland the window is ${w}x$h on screen, expected 250x$((281 + caption))"
echo "on Qt's Wayland platform under $compositor the window is at $x,$y"
[[ -z $shots ]] || cp "$work/screen.png" "$shots/${shot_prefix}native.png"
# ... and where it is now: a press on the caption bar lets the compositor move
# the window.
kept_its_box() { # after-what
    read -r x y w h < <(window_box)
    framed_size || fail "after $1 the window is ${w}x$h"
}
point $((x + 125)) $((y + 13)) click --repeat 2 --delay 80 1 # caption
if [[ $compositor != kwin ]]; then # KWin's own minimize box is there
    point $((x + w - 45)) $((y + 13)) click 1 # where a maximize box would be
    point $((x + w - 70)) $((y + 13)) click 1 # and a minimize box
fi
xdo key Tab
sleep 1.5
running || fail "the program ended after clicks on its caption bar"
kept_its_box "clicks on the caption bar"
try_to_maximize $((x + 125)) $((y + 100)) kept_its_box
point $((x + w - close_from_right)) $((y + caption / 2)) click 1 # the close box
expect_exit "its close box"
echo "PASS: under $compositor, XWayland by default, Qt's Wayland platform by choice: one size, close box only"

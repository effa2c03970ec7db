# shellcheck shell=bash
# Sourced after harness.sh by the checks that run a Wayland session: a
# compositor (Weston, KDE's KWin or GNOME's Mutter) nested in a private X
# server, driven through that server's pointer and keys as a person drives the
# session. The program's X11 windows are on the compositor's own X server,
# $app_display; its Wayland windows are found on the screen.

# ---- the compositor --------------------------------------------------------------

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

# Starts $compositor on the outer screen, which must be larger than its
# 1024x768 output: the pointer leaves the output and comes back before each
# action, which places it exactly (Weston's X11 backend follows relative
# motion). Sets app_display.
start_compositor() {
    "start_$compositor"
    local compositor_pid=${stoppers[-1]}
    if ! await 40 "$compositor and its X server" has_xwayland; then
        # One that ended by itself cannot run here; one still running failed.
        kill -0 "$compositor_pid" 2>/dev/null ||
            skip "$compositor cannot start here: $(grep -v '^ *$' "$work/$compositor.log" | tail -n 1)"
        fail "timed out waiting for: $compositor and its X server"
    fi
    app_display=":$(xwayland_number)"
}

# ---- the pointer, the keys and the windows ---------------------------------------

point() { # x y, in the session, then the rest of xdotool's commands
    local x=$1 y=$2
    shift 2
    xdo mousemove 1080 790 sleep 0.2 mousemove "$x" "$y" sleep 0.2 "$@"
}
geometry() { # X11 window -> X Y WIDTH HEIGHT, on the screen, without the frame
    on_app_display xwininfo -id "$1" |
        awk -F: '/Absolute upper-left X/ { x = $2 } /Absolute upper-left Y/ { y = $2 }
                 /Width/ { w = $2 } /Height/ { h = $2 } END { print x + 0, y + 0, w + 0, h + 0 }'
}
# A click on an X11 window's caption gives it the keyboard, as in any
# session, once the compositor has framed the window.
focus() { # [--any] title
    local fx fy fw
    sleep 0.5
    read -r fx fy fw _ < <(geometry "$(window_of "$@")")
    point $((fx + fw / 2)) $((fy - 15)) click 1
    sleep 0.3
}

# The compositor's own ways to maximize or resize the active window, each a
# list of keys: KWin's Meta+PgUp, its window menu's Maximize (Alt+F3, X) and
# its resize mode (Alt+F8); Mutter's Super+Up, Alt+F10 and resize mode
# (Alt+F8). Weston has none for a client's window.
maximize_keys() {
    case $compositor in
    kwin) attempts=("super+Prior" "alt+F3 x Escape" "alt+F8 Right Right Right Down Down Return") ;;
    mutter) attempts=("super+Up" "alt+F10" "alt+F8 Right Right Right Down Down Return") ;;
    *) attempts=() ;;
    esac
}
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

# A window of Wayland's is found on the screen: what differs from the empty
# output, with the pointer parked in its bottom right corner, outside the part
# looked at (the compositors draw it in other shapes at other times).
output_shot() { # file
    point 1023 767
    sleep 0.5
    import -window root -crop 1016x760+0+0 +repage "$1"
}
# The output empty once it has settled (Weston still shows a closed window
# for a moment): two pictures alike.
settled() {
    cp "$work/empty.png" "$work/before.png" 2>/dev/null || true
    output_shot "$work/empty.png"
    [[ $(identify -format '%#' "$work/empty.png") == $(identify -format '%#' "$work/before.png" 2>/dev/null) ]]
}
window_box() { # -> X Y WIDTH HEIGHT
    output_shot "$work/screen.png"
    convert "$work/empty.png" "$work/screen.png" -compose difference -composite -fuzz 3% -trim \
        -format '%X %Y %w %h\n' info: | tr -d '+'
}

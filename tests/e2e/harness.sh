# shellcheck shell=bash
# Sourced by the desktop checks in this folder: what they share to run the
# real program on a display, a bus and a session of their own, drive it with
# the mouse and keys as a person does, and read the image's bytes afterwards.
#
# A check names itself and its time with begin_run; everything it starts
# through start_service (X servers, compositors, buses, portals) runs under
# `timeout`, so that it ends even if the check is killed, and is stopped again
# at the end, where nothing may stay mounted under the scratch folder $work.
#
# Knobs a check may set after sourcing this file, where its desktop differs:
#   app_name     the program in messages (koravel)
#   main_title   the main window's title, a regular expression
#   app_class    find windows by title and this WM_CLASS, not by the program's
#                pid (a sandbox's pids are not the ones seen outside)
#   app_display  the X display the program's windows are on, where input goes
#                to another ($DISPLAY)
#   client_x/_y  where the main window's client area starts in its X window
#   click_sync   (--sync), or () where xdotool's --sync would wait for ever
#   type_delay   milliseconds between typed keys
#   x_number     the display number a private Xvfb takes (the first free one)
# and it may define again focus, click_at, new_box and patch_expecting, the few
# steps that differ on a desktop (Wine, a nested compositor).

SKIP=77
e2e_dir=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
FLASH_SIZE=131072
FACTORY=$((0x1A000))
MIRROR=$((0x1A0A0))

app_name=koravel
main_title='Koravel v0\.3'
app_class=""
app_display=""
client_x=0 client_y=0
click_sync=(--sync)
type_delay=10
x_number=""
work="" shots="" shot_prefix="" app_pid="" main="" watchdog=""
RUN_LIMIT=100 SERVICE_LIMIT=125
stoppers=()   # pids stopped at the end, the last started first
exit_steps=() # functions run at the end, before anything is stopped

# ---- the run ------------------------------------------------------------------

skip() {
    echo "SKIP: $*"
    exit "$SKIP"
}

# Every tool named must be installed: one that is not skips the run, or with
# --or-fail, fails it.
need() { # [--or-fail] tool...
    local then=skip tool
    [[ $1 != --or-fail ]] || { then=fail && shift; }
    for tool in "$@"; do
        command -v "$tool" >/dev/null || "$then" "$tool is not installed"
    done
}

# A scratch folder $work (with an empty home/ to start the program from) for a
# run that gives up after the given seconds, before CTest's own timeout, so that
# the cleanup still runs. Screenshots, if a folder is given, are named NAME-*.
begin_run() { # name seconds [screenshot folder]
    RUN_LIMIT=$2
    SERVICE_LIMIT=$((RUN_LIMIT + 25))
    shots=${3:-}
    shot_prefix="$1-"
    if [[ -n $shots ]]; then
        mkdir -p "$shots"
        rm -f "$shots/$shot_prefix"*.png "$shots/${shot_prefix}failure.log"
    fi
    work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-$1-XXXXXX")
    work=$(realpath "$work")
    mkdir -p "$work/home" "$work/orig"
    trap end_run EXIT
    trap on_signal INT TERM
    # A watchdog for what no wait_for covers, such as a command that hangs:
    # it ends the run once the command in hand returns (each is bounded).
    (
        trap 'kill "$sleeper" 2>/dev/null' TERM
        exec >/dev/null 2>&1 </dev/null
        sleep $((RUN_LIMIT + 5)) &
        sleeper=$!
        wait "$sleeper" && : >"$work/overran" && kill -TERM $$
    ) &
    watchdog=$!
}

on_signal() {
    [[ ! -e $work/overran ]] || fail "the run took longer than $((RUN_LIMIT + 5)) s"
    exit 130
}

# HOME, the XDG folders and a runtime folder of the run's own, for the
# program and for every service started after this.
private_home() {
    mkdir -p "$work/home/.config" "$work/home/.local/share" "$work/home/.cache" "$work/runtime"
    chmod 700 "$work/runtime"
    export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime" \
        XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache"
}

at_exit() { exit_steps+=("$1"); } # function

end_run() {
    local i
    for ((i = ${#exit_steps[@]} - 1; i >= 0; i--)); do "${exit_steps[i]}" || true; done
    stop "$app_pid"
    for ((i = ${#stoppers[@]} - 1; i >= 0; i--)); do stop_tree "${stoppers[i]}"; done
    stop_tree "$watchdog"
    [[ -n $work ]] || return 0
    unmount_under "$work"
    if grep -qF " $work/" /proc/mounts; then
        echo "could not unmount all under $work; left it in place" >&2
    else
        rm -rf "$work"
    fi
}

fail() {
    local log
    {
        echo "FAIL: $*"
        for log in ${work:+"$work"/*.log}; do
            [[ -s $log ]] || continue
            echo "--- $(basename "$log" .log) output ---"
            cat "$log"
        done
    } | if [[ -n $shots ]]; then tee "$shots/${shot_prefix}failure.log" >&2; else cat >&2; fi
    screenshot failure
    exit 1
}

screenshot() { # name [options of import]
    [[ -n $shots ]] && command -v import >/dev/null || return 0
    timeout 10 import -window root "${@:2}" "$shots/$shot_prefix$1.png" 2>/dev/null || true
}

# Polls a command every 0.1 s until it succeeds, for at most the given seconds
# and never past the run's limit; returns 1 when the time is up. The program
# having ended fails the run at once.
await() { # seconds description command...
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    ((deadline < RUN_LIMIT)) || deadline=$RUN_LIMIT
    until "$@"; do
        [[ -z $app_pid ]] || running || fail "$app_name exited while waiting for: $what"
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
wait_for() { # seconds description command...
    await "$@" || fail "timed out waiting for: $2"
}

# ---- processes and services ------------------------------------------------------

stop() { # pid: ends a process of ours, forcibly if it does not go within 5 s
    [[ -n ${1:-} ]] && kill "$1" 2>/dev/null || return 0
    local i
    for ((i = 0; i < 50; i++)); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

descendants() { # pid
    local child
    for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do
        echo "$child"
        descendants "$child"
    done
}

# Ends a process and all it started: a bus, say, and the services it started.
stop_tree() { # pid
    [[ -n ${1:-} ]] || return 0
    local pid rest
    rest=$(descendants "$1")
    stop "$1"
    for pid in $rest; do stop "$pid"; done
}

# Runs a service in the background under the run's time limit, its output in
# $work/NAME.log; it is stopped at the end, with all it started.
start_service() { # name command...
    local name=$1
    shift
    timeout "$SERVICE_LIMIT" "$@" </dev/null >"$work/$name.log" 2>&1 &
    stoppers+=("$!")
}

# KWin and Mutter start their X server on display :0 (Mutter on :1 too),
# whatever else runs: such a run has a /tmp and a network (and so abstract
# socket) namespace of its own, with this folder and the paths in $keep_paths
# that lie under /tmp bound back in. Runs the script again inside them, with these arguments.
keep_paths=()
own_namespaces() { # seconds script-arguments...
    local limit=$1 kept=() path fd i
    shift
    if [[ -z ${KORAVEL_OWN_NAMESPACES:-} ]]; then
        need unshare
        timeout 10 unshare --mount --net --fork true 2>/dev/null ||
            skip "cannot make mount and network namespaces here (unshare)"
        KORAVEL_OWN_NAMESPACES=1 exec timeout "$limit" unshare --mount --net --fork --kill-child \
            bash "$0" "$@"
    fi
    for path in "${keep_paths[@]}" "$e2e_dir"; do
        [[ $path == /tmp/* ]] || continue
        mkdir -p "$path"
        exec {fd}<"$path"
        kept+=("$fd" "$path")
    done
    mount -t tmpfs -o mode=1777 tmpfs /tmp || fail "cannot mount a tmpfs on /tmp"
    for ((i = 0; i < ${#kept[@]}; i += 2)); do
        mkdir -p "${kept[i + 1]}"
        mount --bind --no-canonicalize "/proc/self/fd/${kept[i]}" "${kept[i + 1]}" ||
            fail "cannot bind ${kept[i + 1]} back"
    done
}

# Stops the services started after the first `mark` of them, the last started
# first: a check that runs on several desktops in turn ends one before the next.
stop_services_since() { # mark (a count of services)
    local i
    for ((i = ${#stoppers[@]} - 1; i >= $1; i--)); do stop_tree "${stoppers[i]}"; done
    stoppers=("${stoppers[@]:0:$1}")
}

# The document portal mounts its file system in a runtime folder, and may
# not have let it go when its session ends: nothing may stay mounted there.
unmount_under() { # folder
    local _device mount _rest
    while read -r _device mount _rest; do
        if [[ $mount == "$1"/* ]]; then
            fusermount3 -u -z "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
        fi
    done </proc/mounts
}

# An X display for the run: $DISPLAY where it is set, otherwise (or with
# --own, always) a private Xvfb of the given size.
start_x() { # [--own] [WIDTHxHEIGHT]
    local own=""
    [[ ${1:-} != --own ]] || { own=1 && shift; }
    if [[ -n $own || -z ${DISPLAY:-} ]]; then
        command -v Xvfb >/dev/null || fail "no DISPLAY and no Xvfb"
        start_service xvfb Xvfb ${x_number:+":$x_number"} -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset \
            3>"$work/display"
        wait_for 20 "Xvfb to start" test -s "$work/display"
        DISPLAY=":$(head -n 1 "$work/display")"
        export DISPLAY
    fi
    # An X server resets itself whenever its last client leaves, and a client
    # that connects in the middle of a reset is turned away. The run's short
    # xdotool calls would give it many chances to: one connection held open for
    # the whole run keeps the server from resetting. It is retried until it
    # stays up.
    local keeper _
    for _ in 1 2 3 4 5; do
        xprop -root -spy >/dev/null 2>&1 &
        keeper=$!
        sleep 0.3
        if kill -0 "$keeper" 2>/dev/null && timeout 10 xdotool getdisplaygeometry >/dev/null 2>&1; then
            stoppers+=("$keeper")
            return 0
        fi
        stop "$keeper"
    done
    fail "cannot hold a connection to display $DISPLAY"
}

# A D-Bus session bus of the run's own; what it starts on demand (portals,
# their stores) is stopped with it.
start_bus() {
    start_service bus dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus.address"
    wait_for 10 "the session bus" test -s "$work/bus.address"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
}

# ---- the program ---------------------------------------------------------------

# Starts the program (a command that ends in it) from the empty folder
# $work/home, so that the Open dialog does not begin where the images are;
# its output goes to app.log.
launch() { # command...
    (cd "$work/home" && exec "$@") </dev/null >"$work/app.log" 2>&1 &
    app_pid=$!
}
# ... and waits for its main window, $main.
start_app() { # command...
    launch "$@"
    wait_for 30 "the main window" shown "$main_title"
    main=$(window_of "$main_title")
}
running() { kill -0 "$app_pid" 2>/dev/null; }
stop_app() {
    stop "$app_pid"
    app_pid=""
}
# The program must end by itself after the given step, with status 0.
expect_exit() { # after-what
    # A program on Qt's Wayland platform has been seen to take over 10 s to end
    # on a heavily loaded machine, with its window already gone.
    local until=$((SECONDS + 30)) status=0
    while running; do
        ((SECONDS < until)) || fail "$app_name did not exit after $1"
        sleep 0.1
    done
    wait "$app_pid" || status=$?
    app_pid=""
    ((status == 0)) || fail "$app_name exited with status $status after $1"
}

# ---- windows, the mouse and the keys -----------------------------------------------

# No xdotool call may hang the run, nor fail unsaid.
xdo() { timeout 10 xdotool "$@" || fail "xdotool $* failed or hung (status $?)"; }
on_app_display() { DISPLAY=${app_display:-$DISPLAY} timeout 10 "$@" 2>/dev/null; }

# The first visible window with exactly this title (a regular expression):
# with --any, anyone's; otherwise the program's own, by its pid or its class.
window_of() { # [--any] title
    local window
    if [[ $1 == --any ]]; then
        on_app_display xdotool search --all --onlyvisible --name "^$2\$" | head -n 1 || true
    elif [[ -n $app_class ]]; then
        for window in $(on_app_display xdotool search --onlyvisible --name "^$1\$"); do
            if on_app_display xprop -id "$window" WM_CLASS | grep -q "\"$app_class\"\$"; then
                echo "$window"
                return 0
            fi
        done
    else
        on_app_display xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" |
            head -n 1 || true
    fi
}
shown() { [[ -n $(window_of "$@") ]]; }
gone() { ! shown "$@"; }
# An open drop-down list is the program's one visible window without a title.
list_open() { shown ''; }
list_closed() { ! list_open; }

# Gives a window the keyboard; there is no window manager to do it.
focus() { # [--any] title
    timeout 5 xdotool windowfocus --sync "$(window_of "$@")" ||
        fail "the window ${*: -1} did not take the focus"
}

# Clicks at a point in the main window's client area.
click_at() { # x y
    xdo mousemove --window "$main" "${click_sync[@]}" $(($1 + client_x)) $(($2 + client_y)) click 1
}

# Answers a message box with the given title by pressing Return on its OK.
dismiss() { # title
    focus "$1"
    xdo key Return
    wait_for 10 "the $1 box to close" gone "$1"
}

# A box the program raised, said in words; nothing, and status 1, if none.
new_box() { shown Error && echo "an Error box"; }
open_closed() { # path typed
    local box
    if box=$(new_box); then fail "$box appeared after selecting $1"; fi
    gone Open
}
# No box at all for a while: Select raises one at once on a code it cannot
# show or a read error, and the Open dialog on a name it cannot find.
expect_no_box() { # after-what
    local until=$((SECONDS + 2)) box
    while ((SECONDS < until)); do
        if box=$(new_box); then fail "$box appeared after $1"; fi
        sleep 0.1
    done
}

# Chooses a file in the Open dialog by typing its full path into it.
select_file() { # path [screenshot name]
    click_at 220 146 # Select
    wait_for 20 "the Open dialog" shown Open
    focus Open
    xdo type --delay "$type_delay" "$1"
    [[ -z ${2:-} ]] || screenshot "$2"
    xdo key Return
    wait_for 20 "the Open dialog to close" open_closed "$1"
    expect_no_box "selecting $1"
}

# Chooses a file in the desktop portal's Open dialog (GTK's, a window of the
# portal's process) as a person does: Ctrl+L, the full path, a pause for the
# chooser to complete the name, Return.
select_in_portal() { # path [screenshot name]
    click_at 220 146 # Select
    wait_for 30 "the portal's Open dialog" shown --any Open
    [[ -z $(window_of Open) ]] || fail "the Open dialog is Qt's, in the program, not the desktop's"
    sleep 1
    [[ -z ${2:-} ]] || screenshot "$2"
    focus --any Open
    xdo key ctrl+l
    sleep 0.5
    xdo type --delay 20 "$1"
    sleep 1 # the chooser completes the typed name first
    xdo key Return
    wait_for 20 "the Open dialog to close" gone --any Open
}

# Opens a drop-down list with a click and moves its choice by that many rows.
pick_in_list() { # x y rows (negative: up)
    focus "$main_title"
    click_at "$1" "$2"
    wait_for 10 "the drop-down list" list_open
    local i key=Down rows=$3
    ((rows >= 0)) || key=Up rows=$((-rows))
    for ((i = 0; i < rows; i++)); do xdo key "$key"; done
    xdo key Return
    wait_for 10 "the drop-down list to close" list_closed
}

# Clicks Patch and expects a box with the given title, then takes its
# screenshot; its text, read with message_text, must match the glob pattern.
patch_expecting() { # title [screenshot name] [pattern]
    focus "$main_title"
    click_at 124 260 # Patch
    wait_for 20 "the $1 box after Patch" shown '(Information|Error)'
    shown "$1" || fail "Patch raised another box than the $1 box"
    [[ -z ${2:-} ]] || { sleep 0.3 && screenshot "$2"; }
    [[ -z ${3:-} ]] || {
        said=$(message_text "$1")
        # shellcheck disable=SC2053 # the pattern is meant to match as a glob
        [[ $said == $3 ]] || fail "the $1 box after Patch said: $said"
    }
}

# The text of the message box with the given title, selected with the mouse
# and read back from the X selection. Where the text starts depends on Qt's
# layout, so both drags start from the middle of its first line: one out past
# its top left corner (the text before), one out past its bottom right corner
# (the text after). A click further along the line between them drops the
# first selection, since a press inside a selection would drag it away instead.
message_text() { # title
    local X Y WIDTH HEIGHT x y
    eval "$(xdo getwindowgeometry --shell "$(window_of "$1")" | grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$')"
    x=$((X + WIDTH / 2)) y=$((Y + 17))
    selected() { # to-x to-y, on the screen
        xdo mousemove "$x" "$y" mousedown 1 sleep 0.2 \
            mousemove $(((x + $1) / 2)) $(((y + $2) / 2)) sleep 0.2 \
            mousemove "$1" "$2" sleep 0.2 mouseup 1
        sleep 0.3
        timeout 5 xclip -o -selection primary 2>/dev/null || true
    }
    selected $((X - 40)) $((Y - 40))
    sleep 0.6 # not a double click
    xdo mousemove $((X + WIDTH - 25)) "$y" click 1
    sleep 0.6
    selected $((X + WIDTH + 40)) $((Y + HEIGHT + 40))
}

# ---- dragging from a file manager ----------------------------------------------

# Drags what a file manager offers (local files as URIs, or a piece of text)
# from a small window at the screen's top left to a point on the screen, as a
# person does with the mouse, and drops it there. Sets $dropped to what the
# target answered: "dropped: copy" (or another action) or "not dropped...".
dropped=""
drag_to_screen() { # x y uris FILE... | x y text TEXT
    local x=$1 y=$2 source
    shift 2
    /usr/bin/python3 "$e2e_dir/drag_source.py" "$@" </dev/null >"$work/drag.log" 2>&1 &
    source=$!
    wait_for 10 "the drag source" grep -q '^ready' "$work/drag.log"
    sleep 0.3
    drag_between 60 30 "$x" "$y"
    stop "$source"
}
# The drag itself, from a point of a drag source that logs to drag.log.
drag_between() { # from-x from-y to-x to-y
    local fx=$1 fy=$2 tx=$3 ty=$4 step
    # GTK starts a drag only after the pointer moved a few pixels pressed, and
    # a target sees it only on motion inside it: move there in steps.
    xdo mousemove "$fx" "$fy" sleep 0.2 mousedown 1 sleep 0.2
    for step in 1 2 3 4 5 6 7 8; do
        xdo mousemove $((fx + (tx - fx) * step / 8)) $((fy + (ty - fy) * step / 8)) sleep 0.1
    done
    xdo mousemove $((tx + 1)) "$ty" sleep 0.3 mousemove "$tx" "$ty" sleep 0.5 mouseup 1
    wait_for 10 "the drag to end" grep -q 'dropped' "$work/drag.log"
    dropped=$(grep -m 1 'dropped' "$work/drag.log")
}
# ... to a point of the main window's client area.
drag_onto() { # x y uris FILE... | x y text TEXT
    local X Y
    eval "$(xdo getwindowgeometry --shell "$main" | grep -E '^(X|Y)=[0-9]+$')"
    drag_to_screen $((X + client_x + $1)) $((Y + client_y + $2)) "${@:3}"
}

# A program outside the program's sandbox that has the file open: reading,
# writing, or with an exclusive lock. It lives until let_go, and no longer than
# the run.
holder=""
hold() { # reader|writer|lock file
    case $1 in
    reader) (exec 3<"$2" && exec sleep "$RUN_LIMIT") & ;;
    writer) (exec 3<>"$2" && exec sleep "$RUN_LIMIT") & ;;
    lock) (exec 3<>"$2" && flock -x 3 && exec sleep "$RUN_LIMIT") & ;;
    esac
    holder=$!
    sleep 0.3
    kill -0 "$holder" 2>/dev/null || fail "the $1 outside the sandbox could not open $2"
}
let_go() {
    stop "$holder"
    holder=""
}
at_exit let_go

# ---- images and their bytes --------------------------------------------------------

# 128 KiB of erased flash with a factory block "00" + region + language +
# broadcast + "Dreamcast  ", a console ID with its sum, and a second copy.
# What it holds is kept in $work/orig, for expect_changes.
make_image() { # file region language broadcast
    head -c "$FLASH_SIZE" /dev/zero | tr '\0' '\377' >"$1"
    local start
    for start in "$FACTORY" "$MIRROR"; do
        printf '00%s%s%sDreamcast  ' "$2" "$3" "$4" |
            dd of="$1" bs=1 seek="$start" conv=notrunc status=none
        printf '\x18\xe7\x8c\x13\x02\x5e\xa7\x41' |
            dd of="$1" bs=1 seek=$((start + 0x56)) conv=notrunc status=none
    done
    cp "$1" "$(original_of "$1")"
}
original_of() { echo "$work/orig/$(basename "$1")"; } # file

byte_at() { # file offset
    od -An -c -j "$2" -N 1 "$1" | tr -d ' '
}

# The file has the length it had and differs from what it held at exactly the
# given offsets (hex, ascending); what it holds now is what later steps must
# leave alone.
expect_changes() { # file offsets...
    local file=$1 original pos changed status=0
    original=$(original_of "$1")
    shift
    [[ $(stat -c %s "$file") -eq $(stat -c %s "$original") ]] ||
        fail "$(basename "$file") changed length"
    cmp -l "$original" "$file" >"$work/differences" || status=$?
    ((status <= 1)) || fail "cannot compare $(basename "$file") with what it held"
    changed=$(while read -r pos _ _; do printf '0x%X ' $((pos - 1)); done <"$work/differences")
    [[ ${changed% } == "$*" ]] ||
        fail "$(basename "$file") changed at [${changed% }], expected [$*]"
    cp "$file" "$original"
}

expect_settings() { # file region language broadcast
    local copy field offset want got
    for copy in "$FACTORY" "$MIRROR"; do
        for field in 2 3 4; do
            offset=$((copy + field))
            want=${!field}
            got=$(byte_at "$1" "$offset")
            [[ $got == "$want" ]] ||
                fail "$(basename "$1") at $(printf 0x%X "$offset"): '$got', expected '$want'"
        done
    done
}

#!/usr/bin/env bash
# Runs the real Koravel binary as a Flatpak app runs: in a bubblewrap sandbox
# with its own processes and its own /proc, the image reached through a bind
# mount (as a folder granted to the app is) and through the document portal
# (as a file picked in the portal's dialog is: $XDG_RUNTIME_DIR/doc/<id>/<name>
# on a FUSE file system, the app's own view of it bound there). A program
# outside the sandbox holds the image (reading, writing, locking) while the
# window is driven by mouse and keys, as in select_patch.sh.
#
#   sandbox_patch.sh <koravel binary> [folder for screenshots]
#
# Exits 77 (skipped) with the reason when bubblewrap, FUSE or the document
# portal cannot run here. Starts its own X server, session bus and document
# portal, and stops them all again; nothing stays mounted.
set -euo pipefail

app=${1:?usage: sandbox_patch.sh <koravel binary> [screenshot folder]}
shots=${2:-}
[[ -z $shots ]] || rm -f "$shots/sandbox-failure.png" "$shots/sandbox-failure.log"
app=$(realpath "$app")
APP_ID=io.github.koravel.Koravel
RUN_LIMIT=140 # seconds; CTest's timeout is later, so the trap still runs
# The X server, the bus and the portal stop on their own even if this script
# is killed: the portal then unmounts its file system itself.
SERVICE_LIMIT=$((RUN_LIMIT + 25))
SKIP=77

skip() {
    echo "SKIP: $*"
    exit "$SKIP"
}

portal_bin=""
for candidate in /usr/libexec/xdg-document-portal /usr/lib/xdg-desktop-portal/xdg-document-portal; do
    [[ -x $candidate ]] && portal_bin=$candidate && break
done
[[ -n $portal_bin ]] || skip "no xdg-document-portal (package xdg-desktop-portal)"
for tool in bwrap dbus-daemon gdbus Xvfb xdotool xprop xclip cmp od flock mountpoint; do
    command -v "$tool" >/dev/null || skip "missing tool: $tool"
done
[[ -c /dev/fuse ]] || skip "no /dev/fuse: the document portal needs FUSE"
if ! why=$(bwrap --unshare-pid --die-with-parent --dev-bind / / --proc /proc true 2>&1); then
    skip "bubblewrap cannot make a sandbox here: ${why:-no reason given}"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-sandbox-XXXXXX")
runtime="$work/runtime" # the sandbox's XDG_RUNTIME_DIR, where the portal mounts doc/
app_pid="" xvfb_pid="" keeper_pid="" bus_pid="" portal_pid=""
holders=()

stop() { # pid
    [[ -n $1 ]] || return 0
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

cleanup() {
    local pid daemon child
    for pid in "${holders[@]}"; do stop "$pid"; done
    stop "$app_pid"
    # The portal unmounts its file system when told to stop; a lazy unmount
    # covers a portal that could not.
    stop "$portal_pid"
    if mountpoint -q "$runtime/doc" 2>/dev/null; then
        fusermount3 -u -z "$runtime/doc" 2>/dev/null || umount -l "$runtime/doc" 2>/dev/null || true
    fi
    if [[ -n $bus_pid ]]; then
        # Services the bus (under timeout) started for the portal: the permission store.
        for daemon in $(ps -o pid= --ppid "$bus_pid" 2>/dev/null); do
            for child in $(ps -o pid= --ppid "$daemon" 2>/dev/null); do stop "$child"; done
        done
        stop "$bus_pid"
    fi
    stop "$keeper_pid"
    stop "$xvfb_pid"
    if mountpoint -q "$runtime/doc" 2>/dev/null; then
        echo "could not unmount $runtime/doc; left $work in place" >&2
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

screenshot() { # name
    if [[ -n $shots ]] && command -v import >/dev/null; then
        import -window root "$shots/$1.png" 2>/dev/null || true
    fi
}

fail() {
    {
        echo "FAIL: $*"
        for log in app portal bus; do
            [[ -s $work/$log.log ]] || continue
            echo "--- $log output ---"
            cat "$work/$log.log"
        done
    } | if [[ -n $shots ]]; then tee "$shots/sandbox-failure.log" >&2; else cat >&2; fi
    screenshot sandbox-failure
    exit 1
}

wait_for() { # seconds description command...
    local deadline=$((SECONDS + $1)) what=$2
    shift 2
    ((deadline < RUN_LIMIT)) || deadline=$RUN_LIMIT
    until "$@"; do
        if [[ -n $app_pid ]] && ! kill -0 "$app_pid" 2>/dev/null; then
            fail "koravel exited while waiting for: $what"
        fi
        ((SECONDS < deadline)) || fail "timed out waiting for: $what"
        sleep 0.1
    done
}

# ---- images -----------------------------------------------------------------

FLASH_SIZE=131072
FACTORY=$((0x1A000))
MIRROR=$((0x1A0A0))

make_image() { # file region language broadcast
    head -c "$FLASH_SIZE" /dev/zero | tr '\0' '\377' >"$1"
    local start
    for start in "$FACTORY" "$MIRROR"; do
        printf '00%s%s%sDreamcast  ' "$2" "$3" "$4" |
            dd of="$1" bs=1 seek="$start" conv=notrunc status=none
    done
}

region_bytes() { # file: the region code of both copies
    echo "$(od -An -c -j $((FACTORY + 2)) -N 1 "$1" | tr -d ' ')$(od -An -c -j $((MIRROR + 2)) -N 1 "$1" | tr -d ' ')"
}

# A program outside the sandbox that has the file open: reading, writing, or
# with an exclusive lock. It lives until stopped, and no longer than the run.
hold() { # reader|writer|lock file
    case $1 in
    reader) (exec 3<"$2" && exec sleep "$RUN_LIMIT") & ;;
    writer) (exec 3<>"$2" && exec sleep "$RUN_LIMIT") & ;;
    lock) (exec 3<>"$2" && flock -x 3 && exec sleep "$RUN_LIMIT") & ;;
    esac
    holder=$!
    holders+=("$holder")
    sleep 0.3
    kill -0 "$holder" 2>/dev/null || fail "the $1 outside the sandbox could not open $2"
}
let_go() {
    stop "$holder"
    holder=""
}

mkdir -p "$work/home" "$work/images" "$work/granted" "$runtime" "$work/sandbox-home"
chmod 700 "$runtime"
granted="$work/images/granted.bin" # reached through the bind mount
picked="$work/images/picked dump.bin" # reached through the document portal
make_image "$granted" 1 1 0
make_image "$picked" 1 1 0

# ---- session bus and document portal ----------------------------------------

export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$runtime"
timeout "$SERVICE_LIMIT" dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" >"$work/bus.log" 2>&1 &
bus_pid=$!
wait_for 10 "the session bus" test -s "$work/bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus")
export DBUS_SESSION_BUS_ADDRESS

timeout "$SERVICE_LIMIT" "$portal_bin" >"$work/portal.log" 2>&1 &
portal_pid=$!
portal_up() {
    kill -0 "$portal_pid" 2>/dev/null || skip "the document portal could not start: $(tail -n 3 "$work/portal.log" | tr '\n' ' ')"
    mountpoint -q "$runtime/doc"
}
wait_for 20 "the document portal's file system" portal_up

documents() { # method args...
    local method=$1
    shift
    timeout 10 gdbus call --session --dest org.freedesktop.portal.Documents \
        --object-path /org/freedesktop/portal/documents \
        --method "org.freedesktop.portal.Documents.$method" "$@"
}
# As the portal's dialog does with the file picked: export it as a document
# and grant the app reading and writing.
doc_id=$(documents Add 5 true false 5<"$picked" | sed -n "s/^('\([^']*\)',)$/\1/p")
[[ -n $doc_id ]] || fail "the document portal did not add $picked"
documents GrantPermissions "$doc_id" "$APP_ID" "['read', 'write']" >/dev/null ||
    fail "the document portal did not grant $APP_ID the document"
app_docs="$runtime/doc/by-app/$APP_ID"
portal_path="$runtime/doc/$doc_id/$(basename "$picked")" # as the app sees it
granted_path="$work/granted/granted.bin"                   # as the app sees it
[[ -f $app_docs/$doc_id/$(basename "$picked") ]] || fail "the app's view of the document is missing"

# ---- display ----------------------------------------------------------------

# Always a private X server: the window's _NET_WM_PID is a pid inside the
# sandbox, so windows are found by title and class alone, which needs a screen
# of our own.
timeout "$SERVICE_LIMIT" Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp -noreset 4>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 20 "Xvfb to start" test -s "$work/display"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
for _ in 1 2 3 4 5; do
    xprop -root -spy >/dev/null 2>&1 &
    keeper_pid=$!
    sleep 0.3
    kill -0 "$keeper_pid" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1 && break
    stop "$keeper_pid"
    keeper_pid=""
done
[[ -n $keeper_pid ]] || fail "cannot hold a connection to display $DISPLAY"

window_of() { # title
    local window
    for window in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
        if xprop -id "$window" WM_CLASS 2>/dev/null | grep -q '"Koravel"$'; then
            echo "$window"
            return
        fi
    done
}
shown() { [[ -n $(window_of "$1") ]]; }
gone() { ! shown "$1"; }
list_open() { shown ''; }
list_closed() { ! list_open; }
click_at() { xdotool mousemove --window "$main" --sync "$1" "$2" click 1; }
focus() { timeout 5 xdotool windowfocus --sync "$1" || fail "window $1 did not take the focus"; }
dismiss() { # title
    focus "$(window_of "$1")"
    xdotool key Return
    wait_for 10 "the $1 box to close" gone "$1"
}
select_file() { # path, typed into the Open dialog
    click_at 220 146
    wait_for 20 "the Open dialog" shown Open
    focus "$(window_of Open)"
    xdotool type --delay 10 "$1"
    xdotool key Return
    wait_for 20 "the Open dialog to close" gone Open
    sleep 1
    shown Error && fail "an Error box appeared after selecting $1"
    return 0
}
pick_in_list() { # x y rows (negative: up)
    focus "$main"
    click_at "$1" "$2"
    wait_for 10 "the drop-down list" list_open
    local i key=Down rows=$3
    ((rows >= 0)) || key=Up rows=$((-rows))
    for ((i = 0; i < rows; i++)); do xdotool key "$key"; done
    xdotool key Return
    wait_for 10 "the drop-down list to close" list_closed
}
# The message box's text, selected with the mouse and read from the X
# selection (see select_patch.sh for why two drags).
message_text() { # title
    local X Y WIDTH HEIGHT x y
    eval "$(xdotool getwindowgeometry --shell "$(window_of "$1")" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
    x=$((X + WIDTH / 2)) y=$((Y + 17))
    selected() {
        xdotool mousemove "$x" "$y" mousedown 1 sleep 0.2 \
            mousemove $(((x + $1) / 2)) $(((y + $2) / 2)) sleep 0.2 \
            mousemove "$1" "$2" sleep 0.2 mouseup 1
        sleep 0.3
        timeout 5 xclip -o -selection primary 2>/dev/null || true
    }
    selected $((X - 40)) $((Y - 40))
    sleep 0.6
    xdotool mousemove $((X + WIDTH - 25)) "$y" click 1
    sleep 0.6
    selected $((X + WIDTH + 40)) $((Y + HEIGHT + 40))
}
# Patch; the box that follows must have this title and its text this pattern.
patch_says() { # title pattern [screenshot]
    focus "$main"
    click_at 124 260
    wait_for 20 "the $1 box after Patch" shown "$1"
    [[ -z ${3:-} ]] || { sleep 0.3 && screenshot "$3"; }
    said=$(message_text "$1")
    # shellcheck disable=SC2053 # the pattern is meant to match as a glob
    [[ $said == $2 ]] || fail "Patch said: $said"
}

# ---- the sandbox ------------------------------------------------------------

# As Flatpak runs an app: its own process namespace and /proc, the app's view
# of the documents at $XDG_RUNTIME_DIR/doc, a granted folder bound in, a home
# of its own, no session bus of the host's.
bwrap --unshare-pid --die-with-parent --dev-bind / / --proc /proc \
    --bind "$app_docs" "$runtime/doc" \
    --bind "$work/images" "$work/granted" \
    --chdir "$work/sandbox-home" \
    --setenv HOME "$work/sandbox-home" --unsetenv DBUS_SESSION_BUS_ADDRESS \
    --setenv QT_QPA_PLATFORM xcb \
    "$app" >"$work/app.log" 2>&1 &
app_pid=$!
wait_for 30 "the main window" shown 'Koravel v0\.3'
main=$(window_of 'Koravel v0\.3')

HELD="Cannot patch the flash file because it's opened in another program."
PATCHED="Your flash file was patched successfully."
UNSEEN="Your flash file was patched, but Koravel could not tell whether another program has it open: the file is reached through a FUSE file system*"

# Through the bind mount the kernel sees every opener: each holder outside
# stops Patch, and the image stays as it was until the holder lets go.
select_file "$granted_path"
pick_in_list 64 178 1 # region: USA -> Europe
for kind in reader writer lock; do
    hold "$kind" "$granted"
    patch_says Error "$HELD" "sandbox-held-by-$kind"
    dismiss Error
    [[ $(region_bytes "$granted") == 11 ]] || fail "a $kind outside did not keep Patch from writing"
    let_go
done
patch_says Information "$PATCHED"
dismiss Information
[[ $(region_bytes "$granted") == 22 ]] ||
    fail "the granted image holds '$(region_bytes "$granted")' after Patch, not Europe"

# Through the document portal no check sees a program outside: Patch writes,
# and says it could not tell, and why, whoever holds the image, and when
# nobody does. Each run writes another region: USA (as Select showed it),
# then Europe, Japan, USA, Europe.
select_file "$portal_path"
for step in "reader 1 22" "writer -2 00" "lock 1 11" "nobody 1 22"; do
    read -r kind rows want <<<"$step"
    pick_in_list 64 178 "$rows"
    [[ $kind == nobody ]] || hold "$kind" "$picked"
    patch_says Error "$UNSEEN" "sandbox-portal-$kind"
    dismiss Error
    [[ $kind == nobody ]] || let_go
    [[ $(region_bytes "$picked") == "$want" ]] ||
        fail "with a $kind outside, the image holds '$(region_bytes "$picked")' after Patch through the portal, not '$want'"
done

kill -0 "$app_pid" 2>/dev/null || fail "koravel exited during the run"
echo "PASS: in the sandbox, holders outside stopped Patch through the bind mount;" \
    "through the document portal Patch wrote and said it could not tell"

#!/usr/bin/env bash
# Drives the real Koravel binary on an X display the way a user does: mouse
# clicks at the controls' places in the window, keys typed into the Open dialog
# and the lists, Return on the message boxes. Then reads the image's bytes.
#
#   select_patch.sh <koravel binary> [folder for screenshots]
#
# Uses $DISPLAY when it is set, otherwise a private Xvfb that it stops again.
set -euo pipefail

app=${1:?usage: select_patch.sh <koravel binary> [screenshot folder]}
shots=${2:-}
[[ -z $shots ]] || rm -f "$shots/e2e-failure.png" "$shots/e2e-failure.log"
app=$(realpath "$app")
# Give up on our own well before CTest's timeout, so the trap still runs.
RUN_LIMIT=100

for tool in xdotool xprop xclip cmp od; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-e2e-XXXXXX")
app_pid=""
xvfb_pid=""
keeper_pid=""

cleanup() {
    if [[ -n $app_pid ]] && kill -0 "$app_pid" 2>/dev/null; then
        kill "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    if [[ -n $keeper_pid ]]; then
        kill "$keeper_pid" 2>/dev/null || true
        wait "$keeper_pid" 2>/dev/null || true
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
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
        if [[ -s $work/app.log ]]; then
            echo "--- koravel output ---"
            cat "$work/app.log"
        fi
    } | if [[ -n $shots ]]; then tee "$shots/e2e-failure.log" >&2; else cat >&2; fi
    screenshot e2e-failure
    exit 1
}

# Polls a command every 0.1 s until it succeeds, for at most $1 seconds; fails
# early if the program has gone away.
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

# Windows are looked up by their exact title among the program's own windows.
window_of() { # title
    xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" 2>/dev/null | head -n 1
}
shown() { [[ -n $(window_of "$1") ]]; }
gone() { ! shown "$1"; }
# An open drop-down list is the program's one visible window without a title.
list_open() { shown ''; }
list_closed() { ! list_open; }

# Clicks at a point given in the main window's client coordinates.
click_at() { # x y
    xdotool mousemove --window "$main" --sync "$1" "$2" click 1
}

# Gives a window the keyboard; there is no window manager to do it.
focus() { # window
    timeout 5 xdotool windowfocus --sync "$1" || fail "window $1 did not take the focus"
}

# Answers a message box with the given title by pressing Return on its OK.
dismiss() { # title
    local box
    box=$(window_of "$1")
    focus "$box"
    xdotool key Return
    wait_for 10 "the $1 box to close" gone "$1"
}

# Chooses a file in the Open dialog by typing its full path into the name field.
select_file() { # path
    click_at 220 146 # Select
    wait_for 20 "the Open dialog" shown Open
    focus "$(window_of Open)"
    xdotool type --delay 10 "$1"
    xdotool key Return
    wait_for 20 "the Open dialog to close" gone Open
    # Select reads the image right after the dialog closes; a code it cannot
    # show, or a read error, would raise an Error box at once.
    local until=$((SECONDS + 2))
    while ((SECONDS < until)); do
        shown Error && fail "an Error box appeared after selecting $1"
        sleep 0.1
    done
}

# Opens a drop-down list with a click and moves its choice by $3 rows with Down.
pick_in_list() { # x y rows
    focus "$main"
    click_at "$1" "$2"
    wait_for 10 "the drop-down list" list_open
    local i
    for ((i = 0; i < $3; i++)); do xdotool key Down; done
    xdotool key Return
    wait_for 10 "the drop-down list to close" list_closed
}

# The text of the message box with the given title, selected with the mouse
# and read back from the X selection. Where the text starts depends on Qt's
# layout, so both drags start from the middle of its first line: one out past
# its top left corner (the text before), one out past its bottom right corner
# (the text after). A click further along the line between them drops the
# first selection, since a press inside a selection would drag it away instead.
message_text() { # title
    local X Y WIDTH HEIGHT SCREEN WINDOW x y
    eval "$(xdotool getwindowgeometry --shell "$(window_of "$1")")"
    x=$((X + WIDTH / 2)) y=$((Y + 17))
    selected() { # to-x to-y, on the screen
        xdotool mousemove "$x" "$y" mousedown 1 sleep 0.2 \
            mousemove $(((x + $1) / 2)) $(((y + $2) / 2)) sleep 0.2 \
            mousemove "$1" "$2" sleep 0.2 mouseup 1
        sleep 0.3
        timeout 5 xclip -o -selection primary 2>/dev/null || true
    }
    selected $((X - 40)) $((Y - 40))
    sleep 0.6 # not a double click
    xdotool mousemove $((X + WIDTH - 25)) "$y" click 1
    sleep 0.6
    selected $((X + WIDTH + 40)) $((Y + HEIGHT + 40))
}

# Clicks Patch and expects a box with the given title.
patch_expecting() { # title
    focus "$main"
    click_at 124 260 # Patch
    wait_for 20 "the $1 box after Patch" shown "$1"
}

# ---- sample images ----------------------------------------------------------

FLASH_SIZE=131072
FACTORY=$((0x1A000))
MIRROR=$((0x1A0A0))

# 128 KiB of erased flash with a factory block "00" + region + language +
# broadcast + "Dreamcast  ", a console ID with its sum, and a second copy.
make_image() { # file region language broadcast
    head -c "$FLASH_SIZE" /dev/zero | tr '\0' '\377' >"$1"
    local start
    for start in "$FACTORY" "$MIRROR"; do
        printf '00%s%s%sDreamcast  ' "$2" "$3" "$4" |
            dd of="$1" bs=1 seek="$start" conv=notrunc status=none
        printf '\x18\xe7\x8c\x13\x02\x5e\xa7\x41' |
            dd of="$1" bs=1 seek=$((start + 0x56)) conv=notrunc status=none
    done
}

byte_at() { # file offset
    od -An -c -j "$2" -N 1 "$1" | tr -d ' '
}

# The file has the original's length and differs from it at exactly the given
# offsets (hex, ascending).
expect_changes() { # original file offsets...
    local original=$1 file=$2 pos
    shift 2
    [[ $(stat -c %s "$file") -eq $(stat -c %s "$original") ]] ||
        fail "$(basename "$file") changed length"
    local changed want="$*"
    changed=$(cmp -l "$original" "$file" | while read -r pos _ _; do
        printf '0x%X ' $((pos - 1))
    done || true)
    [[ ${changed% } == "$want" ]] ||
        fail "$(basename "$file") changed at [${changed% }], expected [$want]"
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

mkdir -p "$work/images" "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
usa="$work/images/usa.bin"
make_image "$usa" 1 1 0
cp "$usa" "$work/usa.orig"
japan="$work/images/japan dump.bin" # a space, as users' file names have
make_image "$japan" 0 3 2
cp "$japan" "$work/japan.orig"

# ---- display and program ----------------------------------------------------

if [[ -z ${DISPLAY:-} ]]; then
    command -v Xvfb >/dev/null || fail "no DISPLAY and no Xvfb"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for 20 "Xvfb to start" test -s "$work/display"
    export DISPLAY=":$(head -n 1 "$work/display")"
fi
# An X server resets itself whenever its last client leaves, and a client
# that connects in the middle of a reset is turned away. The test's own short
# xdotool calls would give it many chances to: one connection held open for the
# whole run keeps the server from resetting. It is retried until it stays up.
for attempt in 1 2 3 4 5; do
    xprop -root -spy >/dev/null 2>&1 &
    keeper_pid=$!
    sleep 0.3
    kill -0 "$keeper_pid" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1 && break
    kill "$keeper_pid" 2>/dev/null || true
    wait "$keeper_pid" 2>/dev/null || true
    keeper_pid=""
done
[[ -n $keeper_pid ]] || fail "cannot hold a connection to display $DISPLAY"

# Started from an empty folder, so the Open dialog does not begin where the
# images are: only the typed full path can find them. Any arguments come
# before the program (setpriv, to run it as another user).
start_app() { # [command prefix...]
    (
        cd "$work/home"
        HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
            XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb exec "$@" "$app"
    ) >"$work/app.log" 2>&1 &
    app_pid=$!
    wait_for 30 "the main window" shown 'Koravel v0\.3'
    main=$(window_of 'Koravel v0\.3')
}

# X finds its cookie under the real home unless told where it is.
export XAUTHORITY=${XAUTHORITY:-$HOME/.Xauthority}
start_app

# ---- Select, change two lists, Patch ----------------------------------------

select_file "$usa"
pick_in_list 64 178 1  # region: USA -> Europe
pick_in_list 184 178 1 # swirl: default swirl -> Black swirl
patch_expecting Information
screenshot e2e-patched
dismiss Information

expect_settings "$usa" Z 1 0 # Europe with the black swirl, English, NTSC
expect_changes "$work/usa.orig" "$usa" 0x1A002 0x1A0A2
cp "$usa" "$work/usa.patched"

# ---- an empty path box ------------------------------------------------------

focus "$main"
click_at 96 146 # the path box
xdotool key ctrl+a Delete
patch_expecting Error
screenshot e2e-empty-path
dismiss Error
expect_changes "$work/usa.patched" "$usa" # nothing

# ---- Select shows what the image holds --------------------------------------

# The lists still show Europe, Black swirl, NTSC, English. After selecting an
# image holding Japan, French, PAL_M, Patch must write those very codes back,
# leaving the file as it was: stale lists would write Z, 1, 0 instead.
select_file "$japan"
screenshot e2e-reselected
patch_expecting Information
dismiss Information
expect_settings "$japan" 0 3 2
expect_changes "$work/japan.orig" "$japan" # nothing
expect_changes "$work/usa.patched" "$usa"  # nor in the first image

kill -0 "$app_pid" 2>/dev/null || fail "koravel exited during the run"

# ---- an image its user may not write ----------------------------------------

# Root writes any file whatever its permissions, so as root the program runs
# again as "nobody", who may only read the image.
readonly_image="$work/images/read-only.bin"
make_image "$readonly_image" 1 1 0
chmod 0444 "$readonly_image"
cp "$readonly_image" "$work/read-only.orig"
if (($(id -u) == 0)); then
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    cp "$XAUTHORITY" "$work/xauthority" 2>/dev/null || : >"$work/xauthority"
    chmod 0644 "$work/xauthority"
    export XAUTHORITY="$work/xauthority"
    chmod 0755 "$work" "$work/images"
    chown -R 65534:65534 "$work/home" "$work/runtime"
    start_app setpriv --reuid=65534 --regid=65534 --clear-groups
fi
select_file "$readonly_image"
pick_in_list 64 178 1 # region: USA -> Europe
patch_expecting Error
screenshot e2e-read-only
said=$(message_text Error)
dismiss Error
[[ $said == "Cannot patch the flash file because Koravel was not allowed to write to it. "* &&
    $said == *"70 - Permission denied: "*"patch the copy." ]] ||
    fail "the read-only image got the wrong message: $said"
expect_changes "$work/read-only.orig" "$readonly_image" # nothing

kill -0 "$app_pid" 2>/dev/null || fail "koravel exited during the run"
echo "PASS: select, list changes, patch, empty path, reselect and a read-only image all behaved"

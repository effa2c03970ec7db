#!/usr/bin/env bash
# Drives the real Koravel.exe under Wine on an X display the way a user does:
# mouse clicks at the controls' places in the window, keys typed into the Open
# dialog, the lists and the path box, Return on the message boxes; then once
# more with the keyboard alone. Then reads the images' bytes, and what each
# message box said.
#
#   win32_select_patch.sh <Koravel.exe> <koravel_share_holder.exe> [folder for screenshots]
#
# Wine runs in $WINEPREFIX (by default the one scripts/wine-env.sh names), made
# ready by scripts/wine-prefix.sh. Uses $DISPLAY when it is set, otherwise a
# private Xvfb that it stops again.
set -euo pipefail
# The typed paths hold é: xdotool reads them as UTF-8 only in a UTF-8 locale,
# which a bare root shell or a fresh CI machine does not set.
export LC_ALL=C.UTF-8

app=${1:?usage: win32_select_patch.sh <Koravel.exe> <koravel_share_holder.exe> [screenshot folder]}
holder=${2:?usage: win32_select_patch.sh <Koravel.exe> <koravel_share_holder.exe> [screenshot folder]}
shots=${3:-}
if [[ -n $shots ]]; then
    mkdir -p "$shots"
    rm -f "$shots"/e2e-win32-*.png "$shots/e2e-win32-failure.log"
fi
app=$(realpath "$app")
holder=$(realpath "$holder")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
# The pictures Koravel.exe carries as resources: the preview must be one of them.
assets=$root/ui/assets
# Give up on our own well before CTest's timeout, so the trap still runs.
RUN_LIMIT=150

for tool in xdotool xprop xkbcomp import convert compare cmp od mkfifo timeout wine wineserver; do
    command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
source "$root/scripts/wine-env.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-e2e-win32-XXXXXX")
work=$(realpath "$work")
app_pid=""
holder_pid=""
holder_fd=""
xvfb_pid=""
keeper_pid=""
keymap_changed=""

stop() { # pid: ends a process of ours, forcibly if it does not go at once
    kill "$1" 2>/dev/null || return 0
    local i
    for ((i = 0; i < 30; i++)); do
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}

cleanup() {
    # A key whose window closed under it stays down in the X server, and
    # would reach every window that comes after this test on the display.
    [[ -z ${DISPLAY:-} ]] || timeout 5 xdotool keyup alt+F4 Return Escape 2>/dev/null || true
    [[ -z $app_pid ]] || stop "$app_pid"
    if [[ -n $holder_fd ]]; then
        exec {holder_fd}>&-
    fi
    [[ -z $holder_pid ]] || stop "$holder_pid"
    if [[ -n $keymap_changed ]]; then
        timeout 10 xkbcomp -w 0 "$work/keymap.xkb" "$DISPLAY" >/dev/null 2>&1 || true
    fi
    [[ -z $keeper_pid ]] || stop "$keeper_pid"
    [[ -z $xvfb_pid ]] || stop "$xvfb_pid"
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# No xdotool call may hang the run, nor fail unsaid.
xdo() { timeout 10 xdotool "$@" || fail "xdotool $* failed or hung (status $?)"; }

screenshot() { # name
    [[ -z $shots ]] || timeout 10 import -window root "$shots/e2e-win32-$1.png" 2>/dev/null || true
}

fail() {
    local log
    {
        echo "FAIL: $*"
        for log in prefix.log app.log holder.out; do
            if [[ -s $work/$log ]]; then
                echo "--- $log ---"
                cat "$work/$log"
            fi
        done
    } | if [[ -n $shots ]]; then tee "$shots/e2e-win32-failure.log" >&2; else cat >&2; fi
    screenshot failure
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
            fail "Koravel.exe exited while waiting for: $what"
        fi
        ((SECONDS < deadline)) || fail "timed out waiting for: $what"
        sleep 0.1
    done
}

# Windows are looked up by their exact title among the program's own windows;
# each top-level Wine window is one X window, Wine's caption and frame included.
window_of() { # title
    timeout 10 xdotool search --all --onlyvisible --pid "$app_pid" --name "^$1\$" 2>/dev/null |
        head -n 1
}
shown() { [[ -n $(window_of "$1") ]]; }
gone() { ! shown "$1"; }
# An open drop-down list is the program's one visible window without a title.
list_open() { shown ''; }
list_closed() { ! list_open; }

# Clicks at a point given in the main window's client coordinates. (No
# --sync: it waits for ever when the pointer is there already.)
click_at() { # x y
    xdo mousemove --window "$main" $(($1 + client_x)) $(($2 + client_y)) click 1
}

# ---- what the program said ---------------------------------------------------

# Wine traces the text of every message box it puts up, the Open dialog's own
# complaints included; the boxes' pixels are left to the screenshots.
box_texts() {
    sed -n 's/^.*trace:msgbox:MSGBOX_OnInit L"\(.*\)"$/\1/p' "$work/app.log"
}
box_count() { box_texts | wc -l; }
boxes_seen=0
box_logged() { (($(box_count) > boxes_seen)); }

# Expects a box with the given title and text, the first since the last one;
# a box saying anything else fails at once.
expect_box() { # title text
    wait_for 20 "the $1 box" box_logged
    local said
    said=$(box_texts | sed -n "$((boxes_seen + 1))p")
    boxes_seen=$((boxes_seen + 1))
    [[ $said == "$2" ]] || fail "a box says \"$said\", expected the $1 box saying \"$2\""
    wait_for 10 "the $1 box on the screen" shown "$1"
    (($(box_count) == boxes_seen)) || fail "more than one box: $(box_texts | tail -n +"$boxes_seen")"
}

# Answers the message box with the given title by pressing Return on its OK.
dismiss() { # title
    xdo key Return
    wait_for 10 "the $1 box to close" gone "$1"
}

# No box at all for a while: Select raises one at once on a code it cannot
# show or a read error, and the Open dialog on a name it cannot find.
expect_no_box() { # after what
    local until=$((SECONDS + 2))
    while ((SECONDS < until)); do
        box_logged && fail "a box appeared after $1: \"$(box_texts | tail -n 1)\""
        sleep 0.1
    done
}

# ---- the preview ---------------------------------------------------------------

# The picture inside the preview's 2-pixel sunken edge, client (50,10) 150x116,
# must be exactly one of the three swirls: the one asked for, with many pixels
# of its spiral's colour, and none of the others' colour.
declare -A swirl_colour=([red]="177,56,41" [blue]="72,102,162" [black]="15,15,15")
preview_state="" # what was last seen, for the failure message
preview_is() { # red|blue|black
    local crop=$work/preview.png c differ count want=$1 ok=0
    timeout 10 import -window root -crop "150x116+$((main_x + client_x + 50))+$((main_y + client_y + 10))" \
        +repage "$crop" 2>/dev/null || return 1
    preview_state=""
    for c in red blue black; do
        differ=$(compare -metric AE -fuzz 2% "$crop" "$assets/swirl_$c.bmp" null: 2>&1 || true)
        # Colours within 2 of the swirl's on each channel; the black swirl's
        # spiral is 4 away from the wordmark's near-black, which never counts.
        count=$(convert "$crop" -format %c histogram:info:- | awk -v want="${swirl_colour[$c]}" '
            BEGIN { split(want, w, ",") }
            match($0, /\([0-9]+,[0-9]+,[0-9]+/) {
                split(substr($0, RSTART + 1, RLENGTH - 1), p, ",")
                d = 0
                for (i = 1; i <= 3; i++) d = p[i] > w[i] + 2 || p[i] < w[i] - 2 ? 1 : d
                if (!d) { n = $1; sub(/:/, "", n); total += n }
            }
            END { print total + 0 }')
        preview_state+="$c: $differ pixels differ, $count of its colour; "
        if [[ $c == "$want" ]]; then
            [[ $differ =~ ^[0-9]+$ ]] && ((differ <= 50 && count >= 1500)) || ok=1
        else
            [[ $differ =~ ^[0-9]+$ ]] && ((differ >= 1000 && count <= 20)) || ok=1
        fi
    done
    return "$ok"
}
expect_preview() { # red|blue|black after-what
    local until=$((SECONDS + 5))
    until preview_is "$1"; do
        ((SECONDS < until)) || fail "the preview after $2 is not the $1 swirl: $preview_state"
        sleep 0.2
    done
}

# ---- the user's actions --------------------------------------------------------

# Chooses a file in the Open dialog by typing its full Windows path into the
# File name box. The box is reached by its label's access key, Alt+N, not by a
# click: the dialog is Wine's own, and where its box lies in the X window moves
# with the caption's height, 7 pixels taller in Wine 10 than in Wine 8; a click
# a few pixels too high lands on the box's edge and drops its list instead.
select_file() { # windows-path screenshot-name
    click_at 220 146 # Select
    wait_for 20 "the Open dialog" shown Open
    xdo key alt+n # File name
    xdo type --delay 10 "$1"
    [[ -z ${2:-} ]] || screenshot "$2"
    xdo key Return
    wait_for 20 "the Open dialog to close" open_closed "$1"
    expect_no_box "selecting $1"
}
open_closed() { # path typed
    ! box_logged || fail "a box appeared after selecting $1: \"$(box_texts | tail -n 1)\""
    gone Open
}

# Opens a drop-down list with a click and moves its choice with a key pressed
# $4 times.
pick_in_list() { # x y Up|Down times
    click_at "$1" "$2"
    wait_for 10 "the drop-down list" list_open
    local i
    for ((i = 0; i < $4; i++)); do xdo key "$3"; done
    xdo key Return
    wait_for 10 "the drop-down list to close" list_closed
}

# Replaces the path box's text, as a user who types the path does.
type_path() { # windows-path, or nothing to empty the box
    click_at 96 146
    xdo key End shift+Home Delete
    [[ -z ${1:-} ]] || xdo type --delay 10 "$1"
}

patch_expecting() { # title text
    click_at 124 260 # Patch
    expect_box "$1" "$2"
}

# ---- sample images ---------------------------------------------------------------

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
    cp "$1" "$work/orig/$(basename "$1")"
}

byte_at() { # file offset
    od -An -c -j "$2" -N 1 "$1" | tr -d ' '
}

# The file has its original's length and differs from it at exactly the given
# offsets (hex, ascending).
expect_changes() { # file offsets...
    local file=$1 original pos
    original=$work/orig/$(basename "$1")
    shift
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
    cp "$1" "$work/orig/$(basename "$1")" # what later steps must leave alone
}

# Wine's drive Z: is the Unix root.
windows_path() { # unix path
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}

mkdir -p "$work/orig" "$work/home" "$work/images" "$work/dir é x"
# Selected, and a typed path to patch: both in a folder with a space and an é.
black="$work/dir é x/europe black.bin"
make_image "$black" Z 3 2 # Europe with the black swirl, French, PAL_M
target="$work/dir é x/target.bin"
make_image "$target" 0 3 0 # Japan, French, NTSC
held="$work/images/held.bin"
make_image "$held" 1 1 0 # USA, English, NTSC
japan="$work/images/japan.bin"
make_image "$japan" 0 5 3 # Japan, Italian, PAL_N

# ---- display, keyboard and Wine ----------------------------------------------------

if [[ -z ${DISPLAY:-} ]]; then
    command -v Xvfb >/dev/null || fail "no DISPLAY and no Xvfb"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for 20 "Xvfb to start" test -s "$work/display"
    DISPLAY=":$(head -n 1 "$work/display")"
    export DISPLAY
fi
# An X server resets itself whenever its last client leaves, and a client
# that connects in the middle of a reset is turned away: one connection held
# open for the whole run keeps the server from resetting.
for _ in 1 2 3 4 5; do
    xprop -root -spy >/dev/null 2>&1 &
    keeper_pid=$!
    sleep 0.3
    kill -0 "$keeper_pid" 2>/dev/null && timeout 10 xdotool getdisplaygeometry >/dev/null 2>&1 && break
    stop "$keeper_pid"
    keeper_pid=""
done
[[ -n $keeper_pid ]] || fail "cannot hold a connection to display $DISPLAY"

# xdotool types a character that no key makes by binding it to a spare key
# for an instant; Wine reads the keyboard map back too late at times and gets
# nothing, so the é of the paths goes on a spare key of its own for the run.
# The lowest spare key is taken: what the highest ones type, Wine ignores.
xkbcomp -w 0 -xkb "$DISPLAY" "$work/keymap.xkb" >/dev/null 2>&1 || fail "cannot read the keyboard map"
if ! grep -q '\<eacute\>' "$work/keymap.xkb"; then
    spare=$(awk '
        /^xkb_/ { section = $1 }
        section == "xkb_keycodes" && /^[ \t]*<[A-Za-z0-9+_-]+>[ \t]*=[ \t]*[0-9]+;/ {
            name = $1; gsub(/[<>]/, "", name); code = $3; sub(/;/, "", code)
            if (code + 0 >= 9) codes[name] = code + 0 }
        section == "xkb_symbols" && match($0, /key[ \t]+<[^>]+>/) {
            name = substr($0, RSTART, RLENGTH); sub(/^key[ \t]+</, "", name); sub(/>$/, "", name)
            used[name] = 1 }
        END {
            for (name in codes) if (!(name in used) && (best == "" || codes[name] < codes[best])) best = name
            print best }' \
        "$work/keymap.xkb")
    [[ -n $spare ]] || fail "no spare key for é in the keyboard map"
    sed "/^xkb_symbols/a\\    key <$spare> { [ eacute ] };" "$work/keymap.xkb" >"$work/keymap-e.xkb"
    keymap_changed=1
    timeout 10 xkbcomp -w 0 "$work/keymap-e.xkb" "$DISPLAY" >/dev/null 2>&1 ||
        fail "cannot put é on the key <$spare>"
fi

# The prefix's settings (Wine's own caption and frame, no debugger) and its
# server, started with all stdio detached; quick when they are there already.
timeout 100 bash "$root/scripts/wine-prefix.sh" </dev/null >"$work/prefix.log" 2>&1 ||
    fail "cannot make the Wine prefix $WINEPREFIX ready"

# Started from an empty folder; the Open dialog may begin there or in the last
# folder it showed, so each image is found by its typed full path.
start_koravel() {
    (
        cd "$work/home"
        WINEDEBUG=-all,trace+msgbox exec wine "$app"
    ) </dev/null >"$work/app.log" 2>&1 &
    app_pid=$!
    boxes_seen=0
    wait_for 30 "the main window" shown 'Koravel v0\.3'
    main=$(window_of 'Koravel v0\.3')

    # The client area (250x281) sits inside Wine's frame, below its caption.
    geometry=$(timeout 10 xdotool getwindowgeometry --shell "$main") ||
        fail "cannot read the main window's geometry"
    eval "$(grep -E '^(X|Y|WIDTH|HEIGHT)=[0-9]+$' <<<"$geometry")"
    main_x=$X main_y=$Y
    client_x=$(((WIDTH - 250) / 2))
    client_y=$((HEIGHT - 281 - client_x))
    ((WIDTH >= 250 && (WIDTH - 250) % 2 == 0 && client_y >= client_x)) ||
        fail "the main window is ${WIDTH}x$HEIGHT, not a 250x281 client area in a frame"
}

# Alt+F4 on the focused window ends the program, with status 0.
close_koravel() {
    xdo key alt+F4
    local until=$((SECONDS + 10)) status=0
    while kill -0 "$app_pid" 2>/dev/null; do
        ((SECONDS < until)) || fail "Koravel.exe did not exit after Alt+F4"
        sleep 0.1
    done
    wait "$app_pid" || status=$?
    app_pid=""
    ((status == 0)) || fail "Koravel.exe exited with status $status after Alt+F4"
}

start_koravel
expect_preview red "the start"
screenshot started

# ---- Select shows the image: lists and picture ---------------------------------

select_file "$(windows_path "$black")" open-dialog
expect_preview black "selecting an image with the black swirl"
screenshot selected

# ---- two lists changed, Patch into a typed path --------------------------------

# The lists show Europe and Black swirl now; Up makes them USA and the default
# swirl, whose picture is red. Had Select left the lists alone (USA, default
# swirl), the same keys would give Japan, and Patch would write '0'.
pick_in_list 64 178 Up 1
expect_preview black "choosing USA with the black swirl"
pick_in_list 184 178 Up 1
expect_preview red "choosing the default swirl for USA"
screenshot lists-changed

# The target already says French: only its region and broadcast change, to
# USA and the PAL_M that Select read; the selected image stays as it was.
type_path "$(windows_path "$target")"
patch_expecting Information "Your flash file was patched successfully."
screenshot patched
dismiss Information
expect_changes "$target" 0x1A002 0x1A004 0x1A0A2 0x1A0A4
expect_settings "$target" 1 3 2
expect_changes "$black"

# ---- an empty path box -------------------------------------------------------------

type_path ""
patch_expecting Error "Don't forget to select the flash first..."
screenshot empty-path
dismiss Error
for image in "$black" "$target" "$held" "$japan"; do expect_changes "$image"; done

# ---- an image another Windows program only reads -------------------------------------

pick_in_list 64 178 Down 1 # USA -> Europe
expect_preview blue "choosing Europe with the default swirl"

# The holder keeps the file open the way a hex viewer or an emulator does: for
# reading only, letting others read and write it. Patch must refuse all the
# same. It keeps it until its input ends: its input is a FIFO whose only
# writer is this shell.
mkfifo "$work/holder.in"
exec {holder_fd}<>"$work/holder.in"
(
    cd "$work/home"
    exec wine "$holder" "$(windows_path "$held")" reader
) <"$work/holder.in" >"$work/holder.out" 2>&1 {holder_fd}>&- &
holder_pid=$!
holder_holds() {
    kill -0 "$holder_pid" 2>/dev/null || fail "the share holder exited before holding the file"
    grep -qx held "$work/holder.out"
}
wait_for 30 "the share holder to hold $(basename "$held")" holder_holds

type_path "$(windows_path "$held")"
patch_expecting Error "Cannot patch the flash file because it's opened in another program."
screenshot held
dismiss Error
expect_changes "$held"

exec {holder_fd}>&- # the holder's input ends: it lets go and exits
holder_fd=""
holder_gone() { ! kill -0 "$holder_pid" 2>/dev/null; }
wait_for 20 "the share holder to let go" holder_gone
status=0
wait "$holder_pid" || status=$?
holder_pid=""
((status == 0)) || fail "the share holder exited with status $status"

click_at 124 260 # Patch again, the same path and lists
expect_box Information "Your flash file was patched successfully."
screenshot released
dismiss Information
expect_changes "$held" 0x1A002 0x1A003 0x1A004 0x1A0A2 0x1A0A3 0x1A0A4
expect_settings "$held" 2 3 2 # Europe, French, PAL_M

# ---- Select again: every list follows the new image -----------------------------

# The lists show Europe, default swirl, PAL_M, French; the image holds Japan,
# Italian, PAL_N. Patch must write its very codes back, leaving it as it was:
# any stale list would write the old code instead.
select_file "$(windows_path "$japan")"
expect_preview red "selecting a Japanese image"
screenshot reselected
patch_expecting Information "Your flash file was patched successfully."
dismiss Information
for image in "$black" "$target" "$held" "$japan"; do expect_changes "$image"; done

# ---- closing the window ends the program ------------------------------------------

click_at 96 146
close_koravel

# ---- the whole job from the keyboard alone -----------------------------------------

# Started again, Koravel gives the focus to the shown picture, first in focus
# order; Tab, Space, the arrow keys and Return then do all that the mouse did.
# Hidden pictures take no focus: after Patch come Broadcast, Language, Swirl.
keys="$work/images/keys.bin"
make_image "$keys" 0 1 0 # Japan, English, NTSC
start_koravel
expect_preview red "starting again"
xdo key --delay 50 Tab Tab space # the path box, then Select
wait_for 20 "the Open dialog" shown Open
xdo key alt+n
xdo type --delay 10 "$(windows_path "$keys")"
xdo key Return
wait_for 20 "the Open dialog to close" open_closed "$(windows_path "$keys")"
expect_no_box "selecting $keys from the keyboard"
xdo key --delay 50 Tab Down # back on Select; Region: Japan -> USA
xdo key --delay 50 Tab Tab End # Broadcast: NTSC -> PAL_N
xdo key --delay 50 Tab Tab alt+Down # Swirl colour, opened
wait_for 10 "the drop-down list" list_open
xdo key --delay 50 Down Return # the black swirl
wait_for 10 "the drop-down list to close" list_closed
expect_preview black "choosing the black swirl from the keyboard"
screenshot keyboard-lists
# Back over Language, Broadcast and the black picture to Patch.
xdo key --delay 50 shift+Tab shift+Tab shift+Tab shift+Tab space
expect_box Information "Your flash file was patched successfully."
dismiss Information
expect_changes "$keys" 0x1A002 0x1A004 0x1A0A2 0x1A0A4
expect_settings "$keys" Y 1 3 # USA with the black swirl, English, PAL_N
close_koravel

echo "PASS: start, select, list changes, patch, empty path, image open in a viewer, release and reselect, and the whole job from the keyboard all behaved"

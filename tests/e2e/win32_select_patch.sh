#!/usr/bin/env bash
# Drives the real Koravel.exe under Wine on an X display the way a user does:
# mouse clicks at the controls' places in the window, keys typed into the Open
# dialog, the lists and the path box, Return on the message boxes, files
# dragged onto the window from a file manager's kind of window; then once more
# with the keyboard alone. Then reads the images' bytes, and what each
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
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "$(realpath "$0")")/harness.sh"

usage="usage: win32_select_patch.sh <Koravel.exe> <koravel_share_holder.exe> [screenshot folder]"
app=$(realpath "${1:?$usage}")
holder=$(realpath "${2:?$usage}")
root=$(cd "$(dirname "$(realpath "$0")")/../.." && pwd)
# The pictures Koravel.exe carries as resources: the preview must be one of them.
assets=$root/ui/assets
need --or-fail xdotool xprop xkbcomp import convert compare cmp od mkfifo timeout wine wineserver
# shellcheck source=/dev/null # scripts/wine-env.sh, checked on its own
source "$root/scripts/wine-env.sh"
begin_run e2e-win32 150 "${3:-}"
app_name=Koravel.exe
# No --sync on clicks: it waits for ever when the pointer is there already.
click_sync=()
# A key whose window closed under it stays down in the X server, and would
# reach every window that comes after this test on the display.
release_keys() { [[ -z ${DISPLAY:-} ]] || timeout 5 xdotool keyup alt+F4 Return Escape 2>/dev/null; }
at_exit release_keys

# With no window manager, Wine gives each new window the keyboard itself. In
# the Open dialog it goes to the File name box by its label's access key,
# Alt+N, not by a click: the dialog is Wine's own, and where its box lies in
# the X window moves with the caption's height, 7 pixels taller in Wine 10
# than in Wine 8; a click a few pixels too high lands on the box's edge and
# drops its list instead.
focus() { [[ $1 != Open ]] || xdo key alt+n; } # title

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

# A box Koravel.exe raised since the last one expected, said in words.
new_box() { box_logged && echo "a box saying \"$(box_texts | tail -n 1)\""; }

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

# Wine's drive Z: is the Unix root.
windows_path() { # unix path
    local path=${1//\//\\}
    printf 'Z:%s' "$path"
}

mkdir -p "$work/images" "$work/dir é x"
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

start_x 1024x768

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
    restore_keymap() { timeout 10 xkbcomp -w 0 "$work/keymap.xkb" "$DISPLAY" >/dev/null 2>&1; }
    at_exit restore_keymap
    timeout 10 xkbcomp -w 0 "$work/keymap-e.xkb" "$DISPLAY" >/dev/null 2>&1 ||
        fail "cannot put é on the key <$spare>"
fi

# The prefix's settings (Wine's own caption and frame, no debugger) and its
# server, started with all stdio detached; quick when they are there already.
timeout 100 bash "$root/scripts/wine-prefix.sh" </dev/null >"$work/prefix.log" 2>&1 ||
    fail "cannot make the Wine prefix $WINEPREFIX ready"

# Started from an empty folder; the Open dialog may begin there or in the last
# folder it showed, so each image is found by its typed full path. Each
# top-level Wine window is one X window, Wine's caption and frame included.
start_koravel() {
    start_app env WINEDEBUG=-all,trace+msgbox wine "$app"
    boxes_seen=0
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
    expect_exit Alt+F4
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
pick_in_list 64 178 -1
expect_preview black "choosing USA with the black swirl"
pick_in_list 184 178 -1
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

pick_in_list 64 178 1 # USA -> Europe
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
) <"$work/holder.in" >"$work/holder.log" 2>&1 {holder_fd}>&- &
holder_pid=$!
let_go() {
    [[ -z $holder_fd ]] || exec {holder_fd}>&-
    stop "$holder_pid"
}
at_exit let_go
holder_holds() {
    kill -0 "$holder_pid" 2>/dev/null || fail "the share holder exited before holding the file"
    grep -qx held "$work/holder.log"
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

# ---- files dropped from a file manager ------------------------------------------

# One image dragged onto the window, here onto the preview, is taken as Select
# takes a picked one: the lists and the preview follow it, and the path box
# holds its path, folder with a space and an é included, for Patch. Two files,
# or a folder, dropped then change nothing: had either been taken, the preview
# would turn red or a box would say why the folder cannot be read, and Patch
# would write elsewhere.
drag_onto 124 60 uris "$black"
[[ $dropped == "dropped: copy" ]] || fail "the window did not take the dragged image: $dropped"
expect_preview black "dropping an image with the black swirl"
expect_no_box "dropping $black"
screenshot dropped
drag_onto 124 200 uris "$held" "$japan"
expect_preview black "dropping two images"
expect_no_box "dropping two images"
drag_onto 124 200 uris "$work/images"
expect_preview black "dropping a folder"
expect_no_box "dropping a folder"
screenshot dropped-folder
pick_in_list 64 178 -1 # Europe -> USA, the black swirl kept
patch_expecting Information "Your flash file was patched successfully."
dismiss Information
expect_changes "$black" 0x1A002 0x1A0A2
expect_settings "$black" Y 3 2 # USA with the black swirl, French, PAL_M
for image in "$target" "$held" "$japan"; do expect_changes "$image"; done

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

echo "PASS: start, select, list changes, patch, empty path, image open in a viewer, release and reselect, an image, two files and a folder dropped, and the whole job from the keyboard all behaved"

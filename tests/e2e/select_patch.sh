#!/usr/bin/env bash
# Drives the real Koravel binary on an X display the way a user does: mouse
# clicks at the controls' places in the window, keys typed into the Open dialog
# and the lists, Return on the message boxes. Then reads the image's bytes.
#
#   select_patch.sh <koravel binary> [folder for screenshots]
#
# Uses $DISPLAY when it is set, otherwise a private Xvfb that it stops again.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "$(realpath "$0")")/harness.sh"

app=$(realpath "${1:?usage: select_patch.sh <koravel binary> [screenshot folder]}")
need --or-fail xdotool xprop xclip cmp od
# X finds its cookie under the real home unless told where it is.
export XAUTHORITY=${XAUTHORITY:-$HOME/.Xauthority}
begin_run e2e 100 "${2:-}"
private_home
export QT_QPA_PLATFORM=xcb

mkdir -p "$work/images"
usa="$work/images/usa.bin"
make_image "$usa" 1 1 0
japan="$work/images/japan dump.bin" # a space, as users' file names have
make_image "$japan" 0 3 2

start_x 1024x768
start_app "$app"

# ---- Select, change two lists, Patch ----------------------------------------

select_file "$usa"
pick_in_list 64 178 1  # region: USA -> Europe
pick_in_list 184 178 1 # swirl: default swirl -> Black swirl
patch_expecting Information patched
dismiss Information
expect_changes "$usa" 0x1A002 0x1A0A2
expect_settings "$usa" Z 1 0 # Europe with the black swirl, English, NTSC

# ---- an empty path box ------------------------------------------------------

focus "$main_title"
click_at 96 146 # the path box
xdo key ctrl+a Delete
patch_expecting Error empty-path
dismiss Error
expect_changes "$usa" # nothing

# ---- Select shows what the image holds --------------------------------------

# The lists still show Europe, Black swirl, NTSC, English. After selecting an
# image holding Japan, French, PAL_M, Patch must write those very codes back,
# leaving the file as it was: stale lists would write Z, 1, 0 instead.
select_file "$japan"
screenshot reselected
patch_expecting Information
dismiss Information
expect_settings "$japan" 0 3 2
expect_changes "$japan" # nothing
expect_changes "$usa"   # nor in the first image

running || fail "koravel exited during the run"

# ---- a file dragged from a file manager -------------------------------------

# Only one local file is taken (the window's own suite tries the rest): two
# files are refused while they are dragged over it.
drag_onto 100 60 uris "$usa" "$japan"
[[ $dropped == "not dropped"* ]] || fail "the window took a drag of two files: $dropped"
expect_no_box "dragging two files"

# A dropped image is shown as a selected one: Patch then writes the lists
# as the image left them, with the one change made after the drop.
dropped_image="$work/images/dropped on the window.bin"
make_image "$dropped_image" 0 4 1 # Japan, Spanish, PAL
drag_onto 96 146 uris "$dropped_image" # on the path box
[[ $dropped == "dropped: copy" ]] || fail "the window refused a dropped image: $dropped"
expect_no_box "dropping $dropped_image"
screenshot dropped
pick_in_list 64 178 1 # region: Japan -> USA
patch_expecting Information
dismiss Information
expect_changes "$dropped_image" 0x1A002 0x1A0A2
expect_settings "$dropped_image" 1 4 1
expect_changes "$japan"

# ---- an image its user may not write ----------------------------------------

# Root writes any file whatever its permissions, so as root the program runs
# again as "nobody", who may only read the image.
readonly_image="$work/images/read-only.bin"
make_image "$readonly_image" 1 1 0
chmod 0444 "$readonly_image"
if (($(id -u) == 0)); then
    stop_app
    cp "$XAUTHORITY" "$work/xauthority" 2>/dev/null || : >"$work/xauthority"
    chmod 0644 "$work/xauthority"
    export XAUTHORITY="$work/xauthority"
    chmod 0755 "$work" "$work/images"
    chown -R 65534:65534 "$work/home" "$work/runtime"
    start_app setpriv --reuid=65534 --regid=65534 --clear-groups "$app"
fi
select_file "$readonly_image"
pick_in_list 64 178 1 # region: USA -> Europe
patch_expecting Error read-only \
    "Cannot patch the flash file because Koravel was not allowed to write to it. *70 - Permission denied: *patch the copy."
dismiss Error
expect_changes "$readonly_image" # nothing

running || fail "koravel exited during the run"
echo "PASS: select, list changes, patch, empty path, reselect, drops and a read-only image all behaved"

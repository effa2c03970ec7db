#!/usr/bin/env bash
# `flatpak run io.github.koravel.Koravel` driven as a person drives it on an
# X11 desktop, then on Wayland desktops: the unchanged manifest built with flatpak-builder on the
# stand-in KDE runtime (scripts/flatpak-runtime.sh) and installed into an
# installation of the run's own, then run on a private Xvfb with a private
# session bus, where xdg-desktop-portal with GTK's backend shows the Open
# dialog and the document portal hands the picked file over:
#   - a file in a folder the app may not see is picked in the portal's
#     chooser (Ctrl+L, its path, Return); the app gets it under
#     /run/user/UID/doc; a list change patched there writes exactly the bytes
#     chosen, and the message says Koravel could not check for other programs;
#     a file dragged from outside onto the window arrives through the file
#     transfer portal, for reading only, which Patch says;
#   - the folder granted with `flatpak override --filesystem`, the file picked
#     there reaches the app under its own path: a program outside the sandbox
#     holding it stops Patch, the bytes stay; once it lets go, Patch writes;
#   - under KWin and under Mutter, nested in an Xvfb, the sandbox given only
#     the Wayland socket: the window shows with the desktop's frame (KWin) or
#     its own caption bar (Mutter), a file picked in the portal's chooser is
#     patched, and the compositor's ways to maximize or resize the window
#     change nothing and do not end it; its close box ends it.
#
#   flatpak_patch.sh SOURCE_DIR [folder for screenshots]
#
# The whole run has mount and network namespaces of its own, with a tmpfs on
# /run/user, so that the portal and the app use /run/user/UID as on a desktop
# without touching the machine's, and one on /tmp for the compositors' X
# servers. Needs root, flatpak, flatpak-builder, the portals
# and the stand-in runtime cached by packaging.flatpak_build; exits 77 with
# the reason without them.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "$(realpath "$0")")/harness.sh"

source_dir=$(realpath "${1:?usage: flatpak_patch.sh SOURCE_DIR [screenshot folder]}")
shots_dir=${2:+$(realpath -m "$2")}
APP_ID=io.github.koravel.Koravel
manifest=$source_dir/packaging/flatpak/$APP_ID.json
runtime_repo=${KORAVEL_FLATPAK_RUNTIME_DIR:-/var/tmp/koravel-flatpak-runtime}/repo

[[ $(id -u) -eq 0 ]] || skip "flatpak-builder's sandbox and the private mounts are run as root here"
need flatpak flatpak-builder unshare Xvfb xdotool xprop xclip dbus-daemon cmp od
for service in xdg-desktop-portal xdg-desktop-portal-gtk xdg-document-portal; do
    [[ -x /usr/libexec/$service ]] || skip "/usr/libexec/$service is not installed"
done
[[ -c /dev/fuse ]] || skip "no /dev/fuse: the document portal needs FUSE"
[[ -d $runtime_repo ]] ||
    skip "no stand-in runtime in $runtime_repo: packaging.flatpak_build (scripts/flatpak-runtime.sh) makes it"

keep_paths=("$source_dir" ${shots_dir:+"$shots_dir"})
own_namespaces 1150 "$source_dir" "$shots_dir"
mount -t tmpfs -o mode=755 tmpfs /run/user || fail "cannot mount a tmpfs on /run/user"

begin_run flatpak 900 "$shots_dir"
private_home
unmount_runtime() { unmount_under /run/user; }
at_exit unmount_runtime
runtime=/run/user/$(id -u)
mkdir -m 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime FLATPAK_USER_DIR=$work/flatpak
app_class=Koravel # the window's pid is one inside the sandbox

# ---- the app, built and installed ---------------------------------------------

# A long command whose output goes to NAME.txt (fail shows the *.log files
# whole), the end of which is shown if it fails.
quiet() { # name seconds command...
    local name=$1 limit=$2 status=0
    shift 2
    timeout "$limit" nice "$@" >"$work/$name.txt" 2>&1 || status=$?
    ((status == 0)) || {
        tail -n 30 "$work/$name.txt" >&2
        fail "$* (status $status)"
    }
}
started=$SECONDS
flatpak remote-add --user --no-gpg-verify stand-in "$runtime_repo"
quiet install-sdk 300 flatpak install --user -y --noninteractive stand-in org.kde.Sdk//6.8 org.kde.Platform//6.8
quiet build 700 flatpak-builder --user --install --disable-rofiles-fuse --force-clean \
    --state-dir="$work/state" "$work/build" "$manifest"
flatpak info --user "$APP_ID" >/dev/null || fail "flatpak-builder did not install $APP_ID"
echo "built and installed $APP_ID in $((SECONDS - started)) s"

# ---- the desktop ----------------------------------------------------------------

mkdir -p "$HOME/.config/xdg-desktop-portal"
printf '[preferred]\ndefault=gtk\n' >"$HOME/.config/xdg-desktop-portal/portals.conf"
export XDG_CURRENT_DESKTOP=GNOME GTK_USE_PORTAL=0 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME
x_number=9 # the compositors' own X servers take :0 and :1
desktop_mark=${#stoppers[@]}
start_x --own 1400x1050
start_bus

run_app() {
    start_app flatpak run "$APP_ID"
    sleep 2 # Qt asks the portal for its version once, at start-up
}
# Ends the app as flatpak ends it (killing `flatpak run` would leave the
# sandbox running); no instance may be left for flatpak to list.
kill_sandbox() { timeout 10 flatpak kill "$APP_ID" 2>/dev/null; }
at_exit kill_sandbox
end_app() {
    kill_sandbox || fail "flatpak kill $APP_ID failed"
    stop_app
    await 10 "the sandbox to end" test -z "$(flatpak ps --columns=application 2>/dev/null)" ||
        fail "the sandbox outlived flatpak kill: $(flatpak ps 2>&1)"
}

UNSEEN="Your flash file was patched successfully.*Koravel could not check whether another program has it open: the file is reached through a FUSE file system*"
HELD="Cannot patch the flash file because it's opened in another program."
PATCHED="Your flash file was patched successfully."
READ_ONLY="Cannot patch the flash file because Koravel was not allowed to write to it.*the desktop handed this file to Koravel for reading only.*"
settings_at=(0x1A002 0x1A0A2) # the region code of both copies

# ---- picked through the document portal ----------------------------------------

mkdir -p "$work/images" "$work/granted"
picked="$work/images/picked dump.bin"
make_image "$picked" 1 1 0 # USA, English, NTSC
run_app
screenshot window
select_in_portal "$picked" chooser
pick_in_list 64 178 1 # region: USA -> Europe
patch_expecting Information portal-patched "$UNSEEN"
dismiss Information
expect_changes "$picked" "${settings_at[@]}"
expect_settings "$picked" 2 1 0
documents=$(find "$runtime/doc" -mindepth 2 -maxdepth 2 -name "$(basename "$picked")" | wc -l)
((documents == 1)) || fail "the portal holds $documents documents named $(basename "$picked"), not 1"

# Dragged from outside the sandbox, where the app cannot see it, a file
# arrives through the file transfer portal, as a picked one does; GTK hands
# it over for reading only, and Patch says so.
dragged="$work/images/dragged dump.bin"
make_image "$dragged" 0 3 2 # Japan, French, PAL_M
drag_onto 100 60 uris "$dragged"
[[ $dropped == "dropped: copy" ]] || fail "the app refused an image dragged from outside: $dropped"
expect_no_box "dropping $dragged"
pick_in_list 64 178 1 # region: Japan -> USA
patch_expecting Error dropped-read-only "$READ_ONLY"
dismiss Error
expect_changes "$dragged" # nothing
end_app

# ---- a folder granted to the app ------------------------------------------------

granted="$work/granted/granted.bin"
make_image "$granted" 0 3 2 # Japan, French, PAL_M
flatpak override --user --filesystem="$work/granted" "$APP_ID"
flatpak override --user --show "$APP_ID" | grep -qxF "filesystems=$work/granted;" ||
    fail "the override does not grant $work/granted: $(flatpak override --user --show "$APP_ID")"
run_app
select_in_portal "$granted"
pick_in_list 64 178 1 # region: Japan -> USA
hold reader "$granted"
patch_expecting Error held "$HELD"
dismiss Error
cmp -s "$granted" "$(original_of "$granted")" || fail "Patch changed the image while a program outside held it"
let_go
patch_expecting Information granted-patched "$PATCHED"
dismiss Information
expect_changes "$granted" "${settings_at[@]}"
expect_settings "$granted" 1 3 2
# Handed over under its own path: the portal made no document of it.
[[ -z $(find "$runtime/doc" -mindepth 2 -maxdepth 2 -name granted.bin) ]] ||
    fail "the file in the granted folder was handed over through the document portal"
end_app
flatpak override --user --reset "$APP_ID"
echo "ok: on X11, picked in the portal's chooser, patched through the document portal;" \
    "in the granted folder a holder outside stopped Patch, then Patch wrote ($SECONDS s)"
stop_services_since "$desktop_mark"
unmount_under "$runtime"

# ---- on Wayland desktops ------------------------------------------------------------

# The sandbox gets the Wayland socket only. The portal's chooser is a window
# of GTK on the compositor's X server, where it can be found by its title.
# shellcheck source-path=SCRIPTDIR source=nested_session.sh
source "$e2e_dir/nested_session.sh"
type_delay=20
on_wayland() { # kwin|mutter
    compositor=$1
    shot_prefix="flatpak-$compositor-"
    desktop_mark=${#stoppers[@]}
    start_x --own 1100x800
    start_bus
    start_compositor
    maximize_keys
    timeout 10 gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.UpdateActivationEnvironment \
        "{'DISPLAY': '$app_display', 'XAUTHORITY': '${XAUTHORITY:-}', 'GDK_BACKEND': 'x11'}" \
        >/dev/null || fail "cannot give the portals the compositor's X server"
    # Under Plasma KWin frames the window: Breeze's caption and, from KWin 6, a
    # 1-pixel outline at each side. Under GNOME the window draws its caption.
    local desktop=GNOME caption=26 sides=0 close_from_right=13
    [[ $compositor != kwin ]] || desktop=KDE caption=37 sides=2 close_from_right=19
    framed_size() { ((w >= 250 && w <= 250 + sides && h == 281 + caption)); }
    kept_its_box() { # after-what
        read -r x y w h < <(window_box)
        framed_size || fail "after $1 the window is ${w}x$h"
    }
    click_at() { point $((x + (w - 250) / 2 + $1)) $((y + caption + $2)) click 1; }

    local image="$work/images/on $compositor.bin"
    make_image "$image" 1 2 3 # USA, German, PAL_N
    wait_for 10 "the empty output" settled
    launch env -u DISPLAY WAYLAND_DISPLAY="$socket" XDG_CURRENT_DESKTOP="$desktop" \
        flatpak run --nosocket=x11 --nosocket=fallback-x11 "$APP_ID"
    sleep 4 # the sandbox, then the window
    running || fail "flatpak run ended on $compositor: $(tail -n 5 "$work/app.log")"
    read -r x y w h < <(window_box)
    framed_size || fail "under $compositor the window is ${w}x$h on screen, expected 250x$((281 + caption))"
    [[ -z $shots ]] || cp "$work/screen.png" "$shots/${shot_prefix}window.png"
    flatpak ps --columns=application | grep -qx "$APP_ID" || fail "no sandbox of $APP_ID runs"

    select_in_portal "$image" chooser
    click_at 64 178 # region list: USA -> Europe
    sleep 1
    xdo key Down Return
    sleep 1
    click_at 124 260 # Patch
    sleep 2
    output_shot "$work/message.png"
    [[ -z $shots ]] || cp "$work/message.png" "$shots/${shot_prefix}patched.png"
    xdo key Return # the message box has the keyboard
    sleep 1
    expect_changes "$image" "${settings_at[@]}"
    expect_settings "$image" 2 2 3

    point $((x + 125)) $((y + caption / 2)) click --repeat 2 --delay 80 1 # caption
    sleep 1.5
    running || fail "the program ended after a double click on its caption under $compositor"
    kept_its_box "a double click on the caption"
    try_to_maximize $((x + 125)) $((y + caption + 100)) kept_its_box
    point $((x + w - close_from_right)) $((y + caption / 2)) click 1 # the close box
    expect_exit "its close box under $compositor"
    await 10 "the sandbox to end" test -z "$(flatpak ps --columns=application 2>/dev/null)" ||
        fail "the sandbox outlived its window under $compositor"
    echo "ok: under $compositor with the Wayland socket only: framed ${w}x$h, picked in the" \
        "portal's chooser and patched; ${#attempts[@]} maximize and resize keys changed nothing"
    stop_services_since "$desktop_mark"
    unmount_under "$runtime"
}
on_wayland kwin
on_wayland mutter
echo "PASS: flatpak run on X11, KWin and Mutter: picked in the portal's chooser, patched through the" \
    "document portal; a holder outside stopped Patch in a granted folder ($SECONDS s)"

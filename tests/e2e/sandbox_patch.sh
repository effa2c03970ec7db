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
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "$(realpath "$0")")/harness.sh"

app=$(realpath "${1:?usage: sandbox_patch.sh <koravel binary> [screenshot folder]}")
APP_ID=io.github.koravel.Koravel
# The window's _NET_WM_PID is a pid inside the sandbox: windows are found by
# title and class, on a private X server where no other program has windows.
app_class=Koravel

portal_bin=""
for candidate in /usr/libexec/xdg-document-portal /usr/lib/xdg-desktop-portal/xdg-document-portal; do
    [[ -x $candidate ]] && portal_bin=$candidate && break
done
[[ -n $portal_bin ]] || skip "no xdg-document-portal (package xdg-desktop-portal)"
need bwrap dbus-daemon gdbus Xvfb xdotool xprop xclip cmp od flock mountpoint
[[ -c /dev/fuse ]] || skip "no /dev/fuse: the document portal needs FUSE"
if ! why=$(bwrap --unshare-pid --die-with-parent --dev-bind / / --proc /proc true 2>&1); then
    skip "bubblewrap cannot make a sandbox here: ${why:-no reason given}"
fi

begin_run sandbox 140 "${2:-}"
private_home
runtime=$XDG_RUNTIME_DIR # the sandbox's too, where the portal mounts doc/

region_bytes() { # file: the region code of both copies
    echo "$(byte_at "$1" $((FACTORY + 2)))$(byte_at "$1" $((MIRROR + 2)))"
}

mkdir -p "$work/images" "$work/granted" "$work/sandbox-home"
granted="$work/images/granted.bin"    # reached through the bind mount
picked="$work/images/picked dump.bin" # reached through the document portal
make_image "$granted" 1 1 0
make_image "$picked" 1 1 0

# ---- session bus and document portal ----------------------------------------

start_bus
start_service portal "$portal_bin"
portal_pid=${stoppers[-1]}
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

# ---- the sandbox ------------------------------------------------------------

start_x --own 1024x768
# As Flatpak runs an app: its own process namespace and /proc, the app's view
# of the documents at $XDG_RUNTIME_DIR/doc, a granted folder bound in, a home
# of its own, no session bus of the host's.
start_app bwrap --unshare-pid --die-with-parent --dev-bind / / --proc /proc \
    --bind "$app_docs" "$runtime/doc" \
    --bind "$work/images" "$work/granted" \
    --chdir "$work/sandbox-home" \
    --setenv HOME "$work/sandbox-home" --unsetenv DBUS_SESSION_BUS_ADDRESS \
    --setenv QT_QPA_PLATFORM xcb \
    "$app"

HELD="Cannot patch the flash file because it's opened in another program."
PATCHED="Your flash file was patched successfully."
UNSEEN="Your flash file was patched successfully.*Koravel could not check whether another program has it open: the file is reached through a FUSE file system*"

# Through the bind mount the kernel sees every opener: each holder outside
# stops Patch, and the image stays as it was until the holder lets go.
select_file "$granted_path"
pick_in_list 64 178 1 # region: USA -> Europe
for kind in reader writer lock; do
    hold "$kind" "$granted"
    patch_expecting Error "held-by-$kind" "$HELD"
    dismiss Error
    [[ $(region_bytes "$granted") == 11 ]] || fail "a $kind outside did not keep Patch from writing"
    let_go
done
patch_expecting Information "" "$PATCHED"
dismiss Information
[[ $(region_bytes "$granted") == 22 ]] ||
    fail "the granted image holds '$(region_bytes "$granted")' after Patch, not Europe"

# Through the document portal (before xdg-desktop-portal 1.19, which passes
# record locks on) no check sees a program outside: Patch writes, and says
# that it could not check, and why, whoever holds the image, and when nobody
# does. Each run writes another region: USA (as Select showed it),
# then Europe, Japan, USA, Europe.
select_file "$portal_path"
for step in "reader 1 22" "writer -2 00" "lock 1 11" "nobody 1 22"; do
    read -r kind rows want <<<"$step"
    pick_in_list 64 178 "$rows"
    [[ $kind == nobody ]] || hold "$kind" "$picked"
    patch_expecting Information "portal-$kind" "$UNSEEN"
    dismiss Information
    [[ $kind == nobody ]] || let_go
    [[ $(region_bytes "$picked") == "$want" ]] ||
        fail "with a $kind outside, the image holds '$(region_bytes "$picked")' after Patch through the portal, not '$want'"
done

running || fail "koravel exited during the run"
echo "PASS: in the sandbox, holders outside stopped Patch through the bind mount;" \
    "through the document portal Patch wrote and said it could not tell"

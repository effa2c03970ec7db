#!/usr/bin/env bash
# Select through the desktop's own Open dialog: GTK's file chooser, shown by
# xdg-desktop-portal for Qt's portal theme, as on GNOME. Everything runs in a
# private X server and a private D-Bus session, with a scratch home, and ends
# with the run. The path is typed into the chooser as a person would (Ctrl+L,
# the path, a pause, Return); Patch then writes back what Select showed, so an
# image whose settings did not reach the lists would change.
#
#   portal_dialog.sh <koravel binary> [folder for screenshots]
# Exits 77 (skipped) when a part of the desktop it needs is not installed.
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=harness.sh
source "$(dirname "$(realpath "$0")")/harness.sh"

app=$(realpath "${1:?usage: portal_dialog.sh <koravel binary> [screenshot folder]}")
need Xvfb xdotool xprop dbus-daemon cmp
[[ -x /usr/libexec/xdg-desktop-portal ]] || skip "xdg-desktop-portal is not installed"
[[ -x /usr/libexec/xdg-desktop-portal-gtk ]] || skip "xdg-desktop-portal-gtk is not installed"
compgen -G "/usr/lib/*/qt6/plugins/platformthemes/libqxdgdesktopportal.so" >/dev/null ||
    skip "Qt's portal theme is not installed (qt6-xdgdesktopportal-platformtheme)"

begin_run portal 120 "${2:-}"
private_home
# Newer portals (1.18 and later) choose their backends from portals.conf.
mkdir -p "$HOME/.config/xdg-desktop-portal"
printf '[preferred]\ndefault=gtk\n' >"$HOME/.config/xdg-desktop-portal/portals.conf"
# GNOME's portal answers only where the desktop says it is GNOME; the portal
# writes its recent files and settings under the scratch home.
export XDG_CURRENT_DESKTOP=GNOME GTK_USE_PORTAL=0 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
# Wide enough for the whole chooser, which no window manager places; the
# bus's services (the portals, started on demand) find it.
start_x --own 1400x1050
start_bus

mkdir -p "$work/images"
image="$work/images/japan dump.bin"
make_image "$image" 0 3 2 # Japan, French, PAL_M

# No theme named: the program asks for the portal's on GNOME by itself.
start_app env -u QT_QPA_PLATFORMTHEME QT_QPA_PLATFORM=xcb "$app"
sleep 2 # Qt asks the portal for its version once, at start-up

select_in_portal "$image" dialog

# Patch writes the lists back: unchanged only if they show the image's settings.
patch_expecting Information
dismiss Information
cmp -s "$image" "$(original_of "$image")" ||
    fail "Patch changed the image: the lists did not show what the portal's pick holds"
echo "PASS: Select opened the portal's dialog, its pick reached the lists, Patch kept the image"

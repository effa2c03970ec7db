#!/usr/bin/env bash
# Builds the Flatpak manifest, unchanged, the way the release workflow and
# Flathub build it, on the stand-in KDE runtime that scripts/flatpak-runtime.sh
# makes from Debian 13 (Flathub cannot be reached here), then:
#   - installs the app from the repository flatpak-builder exported, and checks
#     what `flatpak info` says and the files the installation holds;
#   - makes the bundle the release makes (Koravel-VERSION.flatpak), installs it
#     in a second installation that has only the Platform, checks it the same
#     way, and starts it under Xvfb until its window shows;
#   - builds again from a cold cache and compares the two builds: their files
#     must be the same; whether the bundles are the same bytes is reported.
# Every installation is private (FLATPAK_USER_DIR in a scratch folder), and
# nothing it made is left running, mounted or on disk when it ends.
#
#   flatpak_build_test.sh SOURCE_DIR WINDOW_TITLE
#
# The runtime is kept between runs in $KORAVEL_FLATPAK_RUNTIME_DIR (by default
# /var/tmp/koravel-flatpak-runtime). Needs root, flatpak, flatpak-builder,
# ostree, debootstrap (for a first runtime), eu-strip (elfutils), Xvfb and
# xdotool; exits 77 (skipped) without them. Takes minutes.
# shellcheck disable=SC2317 # the cleanup function runs from the traps
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
source_dir=$(cd "$1" && pwd)
title=$2
version=${title##* v}
manifest=$source_dir/packaging/flatpak/$APP_ID.json
runtime_dir=${KORAVEL_FLATPAK_RUNTIME_DIR:-/var/tmp/koravel-flatpak-runtime}
# The name the release workflow gives the bundle.
bundle_name=Koravel-$version.flatpak
flathub_repo=https://dl.flathub.org/repo/flathub.flatpakrepo

if [[ $(id -u) -ne 0 ]]; then
    echo "SKIP: making the stand-in runtime (debootstrap) and building in flatpak-builder's sandbox are done as root here"
    exit 77
fi
for tool in flatpak flatpak-builder ostree eu-strip Xvfb xdotool xprop file; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: needs $tool (apt-get install --no-install-recommends flatpak flatpak-builder ostree elfutils xvfb xdotool x11-utils file)"
        exit 77
    fi
done
if [[ ! -f $runtime_dir/stamp ]] && ! command -v debootstrap >/dev/null; then
    echo "SKIP: no stand-in runtime in $runtime_dir yet, and making one needs debootstrap"
    exit 77
fi
[[ -f $manifest ]] || fail "no manifest $manifest"

work=$(mktemp -d /var/tmp/koravel-flatpak-test-XXXXXX)
chmod 755 "$work"
# What runs now: a step, Xvfb, the app. Each is forgotten as soon as it has
# ended, so that the cleanup never signals a number another process took.
step_pid=
xvfb_pid=
app_pid=

mounts_in_work() {
    findmnt -rn -o TARGET | grep -F "$work/" | sort -r || true
}
cleanup() {
    local rc=$? pid target
    trap - EXIT INT TERM
    for pid in $step_pid $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in $step_pid $app_pid $xvfb_pid; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    done
    while read -r target; do
        [[ -n $target ]] || continue
        umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
    done < <(mounts_in_work)
    if [[ -n $(mounts_in_work) ]]; then
        echo "flatpak_build_test: still mounted, $work left in place:" >&2
        mounts_in_work >&2
        exit 1
    fi
    local t=$SECONDS
    rm -rf --one-file-system "$work"
    echo "flatpak_build_test: removed $work in $((SECONDS - t)) s"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Runs a long step in the background, so that an interrupt reaches the
# cleanup at once, with its output in a log shown when it fails.
step() {
    local log=$work/$1.log status=0
    shift
    "$@" >"$log" 2>&1 &
    step_pid=$!
    wait "$step_pid" || status=$?
    step_pid=
    if ((status != 0)); then
        tail -n 40 "$log" >&2
        fail "$* (exit $status)"
    fi
}

# The sandbox's own home, runtime folder and session: nothing of the caller's.
export HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY DISPLAY DBUS_SESSION_BUS_ADDRESS XDG_DATA_DIRS

started=$SECONDS
step runtime timeout 40m nice bash "$source_dir/scripts/flatpak-runtime.sh" "$runtime_dir"
runtime_repo=$runtime_dir/repo
echo "stand-in runtime ready in $((SECONDS - started)) s: $runtime_repo"

# use_installation NAME: a private installation of its own with the stand-in
# runtime's repository as a remote.
use_installation() {
    export FLATPAK_USER_DIR=$work/$1
    flatpak remote-add --user --no-gpg-verify stand-in "$runtime_repo"
}

# build N: flatpak-builder as the release workflow runs it, with a cache of its
# own (so the second build starts cold), exporting to repo-N.
build() {
    local t=$SECONDS
    step "build-$1" timeout 40m nice flatpak-builder --user --disable-rofiles-fuse --force-clean \
        --state-dir="$work/state-$1" --repo="$work/repo-$1" "$work/build-$1" "$manifest"
    echo "build $1: $((SECONDS - t)) s"
    rm -rf --one-file-system "$work/state-$1"
}

use_installation builder
step install-sdk flatpak install --user -y --noninteractive stand-in org.kde.Sdk//6.8 org.kde.Platform//6.8
build 1

# check_installed: flatpak's view of the app and the files it installed, in
# the installation FLATPAK_USER_DIR names.
check_installed() {
    local info deploy files desktop exported n size
    info=$(flatpak info --user "$APP_ID") || fail "flatpak info: $APP_ID is not installed"
    grep -q "Ref: app/$APP_ID/x86_64/master\$" <<<"$info" || fail "flatpak info gives another ref: $info"
    grep -q "Runtime: org.kde.Platform/x86_64/6.8\$" <<<"$info" || fail "not on org.kde.Platform 6.8: $info"
    grep -q "Version: $version\$" <<<"$info" || fail "flatpak info gives no version $version: $info"

    deploy=$(flatpak info --user --show-location "$APP_ID")
    files=$deploy/files
    [[ -x $files/bin/koravel ]] || fail "no executable bin/koravel in $files"
    file -b "$files/bin/koravel" | grep -q '^ELF 64-bit' || fail "bin/koravel is not a 64-bit program"
    grep -qx "command=koravel" "$deploy/metadata" || fail "the app's metadata runs no koravel: $(cat "$deploy/metadata")"
    desktop=$files/share/applications/$APP_ID.desktop
    [[ -f $desktop ]] || fail "no desktop entry $APP_ID.desktop"
    # flatpak-builder 1.2 renames the metainfo to the older appdata name;
    # newer ones keep it. Either way, the store's data is composed from it.
    [[ -f $files/share/metainfo/$APP_ID.metainfo.xml || -f $files/share/appdata/$APP_ID.appdata.xml ]] ||
        fail "no metainfo for $APP_ID"
    zcat "$files/share/app-info/xmls/$APP_ID.xml.gz" | grep -q "<id>$APP_ID</id>" ||
        fail "appstream-compose made no AppStream data for $APP_ID"
    for n in "${ICON_SIZES[@]}"; do
        size=$(file -b "$files/share/icons/hicolor/${n}x${n}/apps/$APP_ID.png" |
            sed -n 's/^PNG image data, \([0-9]*\) x \([0-9]*\),.*/\1x\2/p')
        [[ $size == "${n}x${n}" ]] || fail "the ${n}x${n} icon is '${size:-not a PNG}'"
    done
    file -b "$files/share/icons/hicolor/scalable/apps/$APP_ID.svg" | grep -q SVG ||
        fail "the scalable icon is not an SVG"
    [[ -f $files/share/doc/koravel/copyright ]] || fail "the licence terms are not installed"
    # The manifest's cleanup takes the manual page out: no man in a sandbox.
    [[ ! -e $files/share/man ]] || fail "share/man is still installed: the manifest's cleanup did not run"

    # What the desktop sees: the exported entry starts the sandbox, and its
    # icon is exported beside it.
    exported=$FLATPAK_USER_DIR/exports/share/applications/$APP_ID.desktop
    [[ -f $exported ]] || fail "the desktop entry is not exported"
    [[ $(desktop_key "$exported" Exec) == *"flatpak run "*"--command=koravel $APP_ID" ]] ||
        fail "the exported entry runs '$(desktop_key "$exported" Exec)'"
    [[ -f $FLATPAK_USER_DIR/exports/share/icons/hicolor/256x256/apps/$(desktop_key "$exported" Icon).png ]] ||
        fail "the exported entry's icon is not exported"
}

# The app from the exported repository, beside the Sdk it was built with.
flatpak remote-add --user --no-gpg-verify koravel-build "$work/repo-1"
step install-app flatpak install --user -y --noninteractive koravel-build "$APP_ID"
check_installed
echo "installed from the build's repository: $(flatpak info --user "$APP_ID" | grep -c .) lines of flatpak info, files checked"

# The bundle, named and made as the release workflow makes it.
step bundle-1 flatpak build-bundle --runtime-repo="$flathub_repo" "$work/repo-1" "$work/$bundle_name" "$APP_ID"
[[ -s $work/$bundle_name ]] || fail "flatpak build-bundle made no $bundle_name"
echo "bundle: $bundle_name, $(stat -c %s "$work/$bundle_name") bytes"

# A second installation with the Platform only, as a user of the bundle has.
use_installation bundle
step install-platform flatpak install --user -y --noninteractive stand-in org.kde.Platform//6.8
# The bundle names Flathub's repository for its runtime, which flatpak fetches
# unless told that the dependencies are already there.
step install-bundle flatpak install --user -y --noninteractive --no-deps --bundle "$work/$bundle_name"
check_installed
flatpak info --user org.kde.Sdk//6.8 >/dev/null 2>&1 && fail "the bundle's installation holds the Sdk"
echo "installed from the bundle: files checked"

# Started on an X display of its own; the sandbox reaches it through the X11
# socket the manifest allows where there is no Wayland.
start_xvfb "$work"
timeout 120 flatpak run --user "$APP_ID" >"$work/run.log" 2>&1 &
app_pid=$!
# The sandbox has its own process numbers: the window is found by its name.
pattern="^${title//./\\.}\$"
wid=$(await_window "$app_pid" "$work/run.log" 30 "$pattern" "flatpak run")
class=$(xprop -id "$wid" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
wmclass=$(desktop_key "$(flatpak info --user --show-location "$APP_ID")/files/share/applications/$APP_ID.desktop" StartupWMClass)
[[ $class == "$wmclass" ]] || fail "window class '$class', desktop entry StartupWMClass '$wmclass'"
echo "flatpak run: window $wid '$title', class $class"
kill "$app_pid"
for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "flatpak run did not end on SIGTERM"
wait "$app_pid" 2>/dev/null || true
app_pid=
for _ in $(seq 50); do
    [[ -z $(xdotool search --all --name "$pattern" 2>/dev/null) ]] && break
    sleep 0.1
done
[[ -z $(xdotool search --all --name "$pattern" 2>/dev/null) ]] ||
    fail "the window stayed after flatpak run ended: the sandbox outlived it"

# Built again from nothing: the same sources must give the same files. The
# commit carries the time of the export, which flatpak-builder 1.2 cannot
# set, so the bundles are compared only for the report.
export FLATPAK_USER_DIR=$work/builder
build 2
step bundle-2 flatpak build-bundle --runtime-repo="$flathub_repo" "$work/repo-2" "$work/again-$bundle_name" "$APP_ID"
ref=app/$APP_ID/x86_64/master
for n in 1 2; do
    ostree --repo="$work/repo-$n" ls -R -C "$ref" | awk '{ print $1, $2, $3, $4, $5, $NF }' >"$work/files-$n"
done
if ! diff -u "$work/files-1" "$work/files-2" >"$work/files.diff"; then
    cat "$work/files.diff" >&2
    fail "two builds of the same sources gave different files (above: mode, owner, size, checksum, path)"
fi
content() {
    ostree --repo="$1" show "$ref" | sed -n 's/^ContentChecksum: *//p'
}
[[ $(content "$work/repo-1") == "$(content "$work/repo-2")" ]] ||
    fail "the two builds' trees differ in something their files do not show"
echo "built twice: the same files (content $(content "$work/repo-1"))"
if cmp -s "$work/$bundle_name" "$work/again-$bundle_name"; then
    echo "the two bundles are the same bytes"
else
    echo "the two bundles differ in bytes: their commits differ ($(ostree --repo="$work/repo-1" show "$ref" | sed -n 's/^Date: *//p') and $(ostree --repo="$work/repo-2" show "$ref" | sed -n 's/^Date: *//p'))"
fi
# With the commit's time and words fixed (flatpak build-export can, where
# flatpak-builder 1.2 cannot), the two builds must give the same bundle but
# for the time the bundle was made, which OSTree writes into it as eight bytes
# (big-endian seconds since 1970).
be64() {
    od -An -v -t u1 -j "$(($2 - 1))" -N 8 "$1" |
        awk '{ for (i = 1; i <= NF; i++) v = v * 256 + $i } END { printf "%.0f\n", v }'
}
# same_but_time A B FROM TO: A and B, made between the times FROM and TO, are
# the same bytes, or differ only inside eight bytes that hold such a time in
# both.
same_but_time() {
    local diffs first last at
    diffs=$(cmp -l "$1" "$2" | awk '{ print $1 }') || true
    [[ -n $diffs ]] || return 0
    first=$(head -n 1 <<<"$diffs")
    last=$(tail -n 1 <<<"$diffs")
    ((last - first < 8)) || return 1
    for ((at = last - 7 < 1 ? 1 : last - 7; at <= first; at++)); do
        local a b
        a=$(be64 "$1" "$at")
        b=$(be64 "$2" "$at")
        ((a >= $3 && a <= $4 && b >= $3 && b <= $4)) && return 0
    done
    return 1
}
from=$(date +%s)
for n in 1 2; do
    step "fixed-export-$n" flatpak build-export --timestamp=2000-01-01T00:00:00Z \
        --subject="Export $APP_ID" "$work/fixed-$n" "$work/build-$n"
    step "fixed-bundle-$n" flatpak build-bundle --runtime-repo="$flathub_repo" \
        "$work/fixed-$n" "$work/fixed-$n.flatpak" "$APP_ID"
done
to=$(date +%s)
if ! same_but_time "$work/fixed-1.flatpak" "$work/fixed-2.flatpak" "$from" "$to"; then
    cmp -l "$work/fixed-1.flatpak" "$work/fixed-2.flatpak" | head -n 20 >&2
    fail "exported with the same commit time, the two builds give bundles that differ beyond the time they were made (offset, octal bytes above)"
fi
echo "exported with the same commit time, the two builds give the same bundle but for the time it was made"
echo "PASS: built, installed, bundled, installed from the bundle and started $APP_ID in $((SECONDS - started)) s"

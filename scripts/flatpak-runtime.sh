#!/usr/bin/env bash
# Makes a stand-in for Flathub's KDE runtime, which cannot be fetched here, so
# that the Flatpak manifest can be built unchanged with flatpak-builder: a
# minimal Debian 13 (trixie) root holding Debian's Qt 6.8 and the build tools,
# committed to a local OSTree repository as org.kde.Sdk and org.kde.Platform,
# branch 6.8 (the same tree under both names: the Platform carries the
# compiler too). The root is removed once committed.
#
#   bash scripts/flatpak-runtime.sh [OUTPUT_DIR]
#
# OUTPUT_DIR (or $KORAVEL_FLATPAK_RUNTIME_DIR; /var/tmp/koravel-flatpak-runtime
# by default) receives repo/, the repository, and stamp, the recipe it was made
# from. When both are there and the recipe is the same, the repository is kept
# as it is and the script ends at once. Prints the repository's path last.
#
# Needs root (asks sudo otherwise), debootstrap, ostree and flatpak, about
# 3 GB of disk while it works (1 GB after), and the Debian mirror that apt
# uses here.
# shellcheck disable=SC2317 # the cleanup function runs from the traps
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=debian-root.sh
source "$(dirname "$0")/debian-root.sh"

out=${1:-${KORAVEL_FLATPAK_RUNTIME_DIR:-/var/tmp/koravel-flatpak-runtime}}

if [[ $(id -u) -ne 0 ]]; then
    exec sudo bash "$0" "$out"
fi

codename=trixie
branch=6.8
arch=x86_64
# What the manifest's build needs (compiler, CMake, Ninja, Qt's headers) and
# what the program needs to run (Qt's Wayland and X11 platforms, the portal's
# theme for the desktop's Open dialog, a font, Mesa). flatpak-builder 1.2
# runs appstream-compose (appstream-util) from the Sdk when it finishes a
# build; elfutils and debugedit are in Flathub's Sdk too, though this
# flatpak-builder runs eu-strip from the host (Debian's elfutils there).
packages=(
    qt6-base-dev qt6-wayland qt6-xdgdesktopportal-platformtheme
    fonts-dejavu-core libgl1-mesa-dri
    appstream appstream-util elfutils debugedit
    g++ cmake ninja-build
)

# The repository is made again whenever this recipe changes.
recipe=$(
    printf 'debian %s minbase\n' "$codename"
    printf 'refs org.kde.Sdk org.kde.Platform %s/%s\n' "$arch" "$branch"
    printf 'layout 2: usr as files, etc as files/etc, same tree for both, fixed commit time\n'
    printf 'package %s\n' "${packages[@]}" | LC_ALL=C sort
)

sdk_ref=runtime/org.kde.Sdk/$arch/$branch
platform_ref=runtime/org.kde.Platform/$arch/$branch

mkdir -p "$out"
out=$(cd "$out" && pwd)
repo=$out/repo

# One run at a time for one output folder.
exec 9>"$out/.lock"
flock 9

has_refs() {
    local refs
    refs=$(ostree --repo="$1" refs 2>/dev/null) || return 1
    grep -qx "$sdk_ref" <<<"$refs" && grep -qx "$platform_ref" <<<"$refs"
}

if [[ -f $out/stamp && $(cat "$out/stamp") == "$recipe" ]] && has_refs "$repo"; then
    echo "flatpak-runtime: $repo already holds this runtime"
    echo "$repo"
    exit 0
fi

for tool in debootstrap ostree flatpak; do
    command -v "$tool" >/dev/null || {
        echo "flatpak-runtime: needs $tool (apt-get install --no-install-recommends $tool)" >&2
        exit 1
    }
done

work=$(mktemp -d "$out/work-XXXXXX")
root=$work/root
tree=$work/tree
chmod 755 "$work"

# debootstrap mounts /proc and /sys in the root while it installs and may
# leave them behind when it fails: unmount whatever is there, deepest first,
# before removing anything, so that rm never walks into the host's /sys.
cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    unmount_and_remove "$work" flatpak-runtime || exit 1
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

started=$SECONDS
echo "flatpak-runtime: making a minimal Debian 13 root with ${#packages[@]} packages in $root"
mkdir -p "$root"
include=$(
    IFS=,
    echo "${packages[*]}"
)
debootstrap --variant=minbase --include="$include" "$codename" "$root" "$(mirror)" \
    >"$work/debootstrap.log" 2>&1 || {
    tail -n 30 "$work/debootstrap.log" >&2
    echo "flatpak-runtime: debootstrap failed" >&2
    exit 1
}
# Whatever debootstrap left mounted goes before the tree is taken from it.
while read -r target; do
    [[ -n $target ]] && umount "$target"
done < <(mounts_in_work)
echo "flatpak-runtime: root made in $((SECONDS - started)) s ($(du -sh "$root/usr" | cut -f1) in usr)"

# A runtime is a folder with its metadata and files/, which the sandbox mounts
# as /usr; the root is merged-/usr, and its etc/ becomes files/etc, which
# Flatpak shows as /etc.
mkdir -p "$tree"
mv "$root/usr" "$tree/files"
mv "$root/etc" "$tree/files/etc"
# Flatpak's own files in /etc take these names; Debian's would be stale.
rm -f "$tree/files/etc/resolv.conf" "$tree/files/etc/hostname" "$tree/files/etc/machine-id"
# A user installation holds no setuid or setgid files, and OSTree takes only
# files, folders and links.
find "$tree/files" -perm /6000 -type f -exec chmod ug-s {} +
find "$tree/files" ! -type f ! -type d ! -type l -delete

# metadata ID: written without a final newline, since the commit carries it
# again as xa.metadata, which Flatpak compares with the file byte for byte.
write_metadata() {
    printf '[Runtime]\nname=%s\nruntime=org.kde.Platform/%s/%s\nsdk=org.kde.Sdk/%s/%s' \
        "$1" "$arch" "$branch" "$arch" "$branch" >"$2"
}

new_repo=$work/repo
# The same packages give the same tree; with a fixed time and subject they give
# the same commits too, which apps built on them record in their manifest.json.
fixed_time=2025-08-09T00:00:00Z # the day Debian 13 came out
ostree --repo="$new_repo" init --mode=archive-z2
write_metadata org.kde.Sdk "$tree/metadata"
commit_started=$SECONDS
ostree --repo="$new_repo" commit --branch="$sdk_ref" --no-xattrs --timestamp="$fixed_time" \
    --subject="Debian $codename stand-in for org.kde.Sdk $branch" \
    --add-metadata-string=xa.metadata="$(cat "$tree/metadata")" \
    --tree=dir="$tree" >/dev/null
# The Platform is the same tree with its own metadata on top: no file is
# stored twice.
mkdir -p "$work/platform"
write_metadata org.kde.Platform "$work/platform/metadata"
ostree --repo="$new_repo" commit --branch="$platform_ref" --no-xattrs --timestamp="$fixed_time" \
    --subject="Debian $codename stand-in for org.kde.Platform $branch" \
    --add-metadata-string=xa.metadata="$(cat "$work/platform/metadata")" \
    --tree=ref="$sdk_ref" --tree=dir="$work/platform" >/dev/null
flatpak build-update-repo "$new_repo" >/dev/null
echo "flatpak-runtime: committed in $((SECONDS - commit_started)) s"

# The new repository replaces the old one only once it is whole; the stamp
# goes last.
rm -f "$out/stamp"
rm -rf --one-file-system "$repo"
mv "$new_repo" "$repo"
printf '%s' "$recipe" >"$out/stamp"
echo "flatpak-runtime: $repo holds $sdk_ref and $platform_ref ($(du -sh "$repo" | cut -f1)), made in $((SECONDS - started)) s"
echo "$repo"

#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it holds and
# declares, without installing it.
# Usage: deb_contents_test.sh BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/common.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
deb=$(build_deb "$1" "$work")

# Exactly the expected files: a stray install rule (a test helper, a bundled
# library) would otherwise ship unnoticed.
diff -u <(expected_files) \
    <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | LC_ALL=C sort) ||
    fail "the package holds other files than expected"

# dpkg-shlibdeps fills Depends; without it the package installs on systems
# that lack Qt.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends lacks Qt Widgets: '$depends'"

# Software centres show the metainfo's newest release as the version.
version=$(dpkg-deb -f "$deb" Version)
release=$(grep -o '<release version="[^"]*"' "$(dirname "$0")/../../packaging/linux/$APP_ID.metainfo.xml" |
    head -n 1 | cut -d '"' -f 2)
[[ $version == "$release" || $version == "$release.0" ]] ||
    fail "package version $version, newest metainfo release $release"

dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root"
# Checks the metainfo against the installed tree: the launchable must name the
# desktop entry that the package ships.
appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli validate-tree"
echo "PASS: $(basename "$deb")"

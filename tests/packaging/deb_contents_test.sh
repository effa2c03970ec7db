#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it holds and
# declares, without installing it.
# Usage: deb_contents_test.sh BUILD_DIR|DEB
set -euo pipefail
source "$(dirname "$0")/common.sh"

sources=$(dirname "$0")/../..
linux_dir=$sources/packaging/linux
metainfo=$linux_dir/$APP_ID.metainfo.xml

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Built under a strict umask: the folders that CPack makes on the way to each
# file must still come out 0755.
deb=$(umask 077 && build_deb "$1" "$work")

# Exactly the expected files: a stray install rule (a test helper, a bundled
# library) would otherwise ship unnoticed.
diff -u <(expected_files) \
    <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | LC_ALL=C sort) ||
    fail "the package holds other files than expected"

# dpkg-shlibdeps fills Depends; without it the package installs on systems
# that lack Qt.
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* ]] || fail "Depends lacks Qt Widgets: '$depends'"
recommends=$(dpkg-deb -f "$deb" Recommends)
[[ $recommends == *qt6-xdgdesktopportal-platformtheme* ]] ||
    fail "Recommends lacks Qt's portal theme, for GNOME's Open dialog: '$recommends'"

# Software centres show the metainfo's newest release as the version.
version=$(dpkg-deb -f "$deb" Version)
release=$(grep -o '<release version="[^"]*"' "$metainfo" | head -n 1 | cut -d '"' -f 2)
[[ $version == "$release" || $version == "$release.0" ]] ||
    fail "package version $version, newest metainfo release $release"

# Modes as Debian wants them, all owned by root: folders and the program
# 0755, every other file 0644.
modes=$(dpkg-deb -c "$deb" | awk '
    { sub(/^\./, "", $6); want = "-rw-r--r--" }
    $1 ~ /^d/ { want = "drwxr-xr-x" }
    $6 == "/usr/bin/koravel" { want = "-rwxr-xr-x" }
    $1 != want || $2 != "root/root" { print $1, $2, $6 }')
[[ -z $modes ]] || fail "wrong mode or owner: $modes"

dpkg-deb -x "$deb" "$work/root"
check_tree "$work/root"
doc=$work/root/usr/share/doc/koravel

# Stripped as dh_strip strips: plain install/strip would keep the compiler's
# .comment section.
sections=$(readelf -S --wide "$work/root/usr/bin/koravel")
grep -q ' \.comment ' <<<"$sections" && fail "/usr/bin/koravel keeps its .comment section"

# The page is compressed while configuring, which an edit to it must bring
# about again: never a page older than its source.
gzip -dc "$work/root/usr/share/man/man1/koravel.1.gz" | cmp -s - "$linux_dir/koravel.1" ||
    fail "the packaged manual page is not packaging/linux/koravel.1"

# The changelog's newest entry is this release: the package's name, version
# and maintainer, and the date of the metainfo's newest release.
gzip -dc "$doc/changelog.gz" >"$work/changelog"
entry() {
    dpkg-parsechangelog -l "$work/changelog" -S "$1"
}
[[ $(entry Source) == koravel ]] || fail "changelog names '$(entry Source)', not koravel"
[[ $(entry Version) == "$version" ]] ||
    fail "newest changelog entry is $(entry Version), the package $version"
[[ $(entry Maintainer) == "$(dpkg-deb -f "$deb" Maintainer)" ]] ||
    fail "changelog signed by '$(entry Maintainer)', not the package's maintainer"
released=$(grep -o '<release version="[^"]*" date="[^"]*"' "$metainfo" | head -n 1 | cut -d '"' -f 4)
entry_date=$(date -u -d "$(entry Date)" +%F)
[[ $entry_date == "$released" ]] ||
    fail "newest changelog entry dated $entry_date, newest metainfo release $released"

# The copyright file in Debian's machine-readable form carries LICENSE's
# holder and terms word for word.
format=https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
[[ $(head -n 1 "$doc/copyright") == "Format: $format" ]] ||
    fail "the copyright file is not in the machine-readable format"
holder=$(sed -n 's/^Copyright (c) //p' "$sources/LICENSE")
[[ $(sed -n 's/^Copyright: //p' "$doc/copyright") == "$holder" ]] ||
    fail "the copyright file does not name '$holder'"
# The terms: LICENSE after its copyright line; in the copyright file, the
# License field's further lines, one space in, with " ." for an empty line.
diff -u <(sed '1,/^Copyright (c) /d' "$sources/LICENSE" | sed -e '/./,$!d' -e '$a\') \
    <(sed -n '/^License: /,/^$/{/^ /p}' "$doc/copyright" | sed -e 's/^ //' -e 's/^\.$//') ||
    fail "the licence terms in the copyright file differ from LICENSE"

# Checks the metainfo against the installed tree: the launchable must name the
# desktop entry that the package ships.
appstreamcli validate-tree --no-net "$work/root" || fail "appstreamcli validate-tree"
echo "PASS: $(basename "$deb")"

#!/usr/bin/env bash
# Checks the downloads that scripts/release.sh left in a checkout's dist/
# with the package tests: the Debian package's contents, lintian, and (as
# root) an install with apt, a start and a removal; the Windows zip and the
# installer under Wine, on a virtual X screen when there is no display.
# A part that cannot run here is skipped, with its reason, and so is the whole
# check then; any failure fails.
# Usage: downloads_test.sh CHECKOUT
set -euo pipefail
checkout=$(cd "$1" && pwd)
dist=$checkout/dist
tests=$(cd "$(dirname "$0")/../packaging" && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' \
    "$checkout/build/release-linux/CPackConfig.cmake")
project_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' \
    "$checkout/build/release-linux/CMakeCache.txt")
[[ -n $version && -n $project_version ]] || fail "no release build in $checkout/build/release-linux"
title="Koravel v$project_version"
deb=$dist/koravel_${version}_amd64.deb
zip=$dist/Koravel-$version-win64.zip
installer=$dist/Koravel-$version-win64-setup.exe
exe=$checkout/build/release-windows/ui/Koravel.exe
# The time the zip's entries carry: the last commit's, made even for zip.
epoch=$(($(git -C "$checkout" log -1 --format=%ct) / 2 * 2))

work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-downloads-XXXXXX")
export WINEPREFIX=$work/wineprefix
cleanup() {
    local rc=$?
    if [[ -d $WINEPREFIX ]]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

failed=()
skipped=()
# check NAME COMMAND...: runs one package test; its exit 77 is a skip.
check() {
    local name=$1 rc=0
    shift
    echo "=== $name"
    "$@" || rc=$?
    case $rc in
    0) ;;
    77) skipped+=("$name") ;;
    *) failed+=("$name") ;;
    esac
}

check deb_contents bash "$tests/deb_contents_test.sh" "$deb"
check deb_lintian bash "$tests/deb_lintian_test.sh" "$deb"
check deb_install bash "$tests/deb_install_test.sh" "$deb" "$title"

source "$tests/../../scripts/wine-env.sh"
bash "$tests/../../scripts/wine-prefix.sh"
check windows_zip bash "$tests/windows/zip_test.sh" "$zip" "$exe" "$version" "$title" "$work" "$epoch"
check windows_installer bash "$tests/windows/installer_test.sh" "$installer" "$exe" "$version" \
    "$title" "$(command -v x86_64-w64-mingw32-strings)" "$work"

((${#failed[@]} == 0)) || fail "the downloads failed: ${failed[*]}"
if ((${#skipped[@]} > 0)); then
    # What could not run here has not passed: the whole check is a skip.
    echo "SKIP: not tested here (see their reasons above): ${skipped[*]}; the rest passed"
    exit 77
fi
echo "PASS: the downloads in $dist install and start"

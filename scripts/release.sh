#!/usr/bin/env bash
# Builds every download of this commit into dist/, from scratch, and the
# SHA256SUMS over them: the Debian package, the Windows zip and installer,
# the web page when the project has one, with the site that installs as an
# app (left in build/release-site/ for the release workflow to publish, and
# packed as a zip), and a note of the commit and the tools' versions. Two
# runs of the same commit with the same tools give the same bytes, wherever
# the checkout lies and whoever runs it: every time inside is the last
# commit's (SOURCE_DATE_EPOCH), and no build path is.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/deps.sh windows

if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) || {
        echo "release.sh needs a git checkout (its times are the last commit's), or SOURCE_DATE_EPOCH set" >&2
        exit 1
    }
fi
if [[ -n $(git status --porcelain 2>/dev/null) ]]; then
    echo "Note: the checkout has changes that are not committed; they go into the downloads." >&2
fi
export SOURCE_DATE_EPOCH
# Zip and the installer keep local times; sort orders and messages are fixed.
export TZ=UTC LC_ALL=C.UTF-8
umask 022

rm -rf build/release-linux build/release-windows build/release-site dist
mkdir -p dist

cmake --preset release-linux
# The one version, as the configured build has it from CMakeLists.txt.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/release-linux/CPackConfig.cmake)
[[ -n $version ]] || {
    echo "no CPACK_PACKAGE_VERSION in build/release-linux/CPackConfig.cmake" >&2
    exit 1
}
# A release from a version tag (the CI workflow names it) must be that version.
if [[ -n ${KORAVEL_RELEASE_TAG:-} && $KORAVEL_RELEASE_TAG != "v$version" ]]; then
    echo "The tag $KORAVEL_RELEASE_TAG is not this version's, v$version (CMakeLists.txt)." >&2
    exit 1
fi

cmake --build --preset release-linux
cpack --config build/release-linux/CPackConfig.cmake -B build/release-linux/package
cp build/release-linux/package/"koravel_${version}_amd64.deb" dist/

cmake --preset release-windows
cmake --build --preset release-windows
cp build/release-windows/package/"Koravel-$version-win64.zip" \
    build/release-windows/package/"Koravel-$version-win64-setup.exe" dist/

if [[ -f scripts/build-web.sh ]]; then
    bash scripts/build-web.sh
    cp build/web/koravel.html "dist/koravel-$version.html"
    cp -r build/web/site build/release-site
    # Names in one order, the commit's time, no owners or extra attributes.
    find build/release-site -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
    (cd build/release-site && find . -type f -printf '%P\n' | LC_ALL=C sort |
        zip -X -D -q "../../dist/koravel-$version-site.zip" -@)
else
    echo "Note: no scripts/build-web.sh in this checkout, so no web page in dist/."
fi

# What a rebuild needs to give the same bytes: the commit, and the Debian
# packages whose versions the bytes depend on.
gcc_major=$(gcc -dumpversion | cut -d . -f 1)
tools=("gcc-$gcc_major" "g++-$gcc_major" "libstdc++-$gcc_major-dev" libc6-dev binutils cmake dpkg-dev gzip
    qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix-runtime
    mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 nsis nsis-common zip)
[[ ! -f dist/koravel-$version.html ]] || tools+=(emscripten)
{
    echo "Koravel $version downloads, built by scripts/release.sh"
    echo "Commit: $(git rev-parse HEAD 2>/dev/null || echo unknown)"
    echo "SOURCE_DATE_EPOCH: $SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T UTC'))"
    echo "Debian $(cat /etc/debian_version 2>/dev/null || echo unknown) packages:"
    dpkg-query -W -f '  ${Package} ${Version}\n' "${tools[@]}" 2>/dev/null | LC_ALL=C sort || true
} >"dist/koravel-$version-buildinfo.txt"

(cd dist && sha256sum -- * >SHA256SUMS)
touch -d "@$SOURCE_DATE_EPOCH" dist/*
echo "Built in $(pwd)/dist (times of $(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T UTC')):"
cat dist/SHA256SUMS

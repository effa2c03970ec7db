#!/usr/bin/env bash
# Installs the Debian 12 or 13 packages that building, running and testing Koravel
# need, asking apt only for those that are missing.
#   bash scripts/deps.sh            the Linux build and its tests
#   bash scripts/deps.sh windows    the Windows build (mingw-w64) and Wine to test it
#   bash scripts/deps.sh web        the web page (emscripten), its Node.js suites
#                                   and Chromium and Firefox ESR for its browser tests
#   bash scripts/deps.sh flatpak    building the Flatpak on a stand-in runtime
#                                   and driving it (with the linux packages)
set -euo pipefail

linux=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-qpa-plugins libgl-dev libxkbcommon-dev fonts-dejavu-core
    libgtest-dev
    xvfb xauth xdotool xclip x11-utils strace libx11-dev
    desktop-file-utils appstream dpkg-dev file lintian
    weston xwayland qt6-wayland imagemagick
    kwin-wayland kwin-style-breeze mutter
    dbus xdg-desktop-portal xdg-desktop-portal-gtk qt6-xdgdesktopportal-platformtheme
    at-spi2-core python3-gi gir1.2-atspi-2.0 gir1.2-gtk-3.0
    bubblewrap fuse3 dbus-daemon libglib2.0-bin
)
windows=(
    cmake ninja-build googletest
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 fonts-wine
    xvfb xauth xdotool x11-utils imagemagick
    python3-gi gir1.2-gtk-3.0
    nsis zip unzip
)

# Files are dragged onto the page in Chromium and Firefox ESR with windows, on
# a private Xvfb, from a small GTK window driven by xdotool.
web=(
    cmake ninja-build g++ zlib1g-dev googletest
    emscripten chromium firefox-esr
    xvfb xauth xdotool imagemagick python3-gi gir1.2-gtk-3.0
)
# flatpak-builder 1.2 strips with the host's eu-strip (elfutils).
flatpak=(
    flatpak flatpak-builder ostree debootstrap elfutils
)

packages=()
case "${1:-linux}" in
linux) packages=("${linux[@]}") ;;
flatpak) packages=("${linux[@]}" "${flatpak[@]}") ;;
windows) packages=("${windows[@]}") ;;
web)
    packages=("${web[@]}")
    # Node.js 20 or later runs the suites and the browser tests; Debian's own
    # comes only where none is on the PATH.
    if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
        packages+=(nodejs npm)
    fi
    ;;
*)
    echo "usage: $0 [linux|windows|web|flatpak]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        missing+=("$package")
done

if ((${#missing[@]} > 0)); then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

#!/usr/bin/env bash
# Builds Koravel's Debian package and installs it with apt, or removes it.
# Works as root and for a user with sudo.
#   bash scripts/install.sh           build and install
#   bash scripts/install.sh remove    uninstall
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)

case "${1:-install}" in
install)
    bash scripts/deps.sh
    cmake --preset release
    cmake --build --preset release
    cpack --config build/release/CPackConfig.cmake -B build/release/package
    package=$(ls -t build/release/package/koravel_*_amd64.deb | head -n 1)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "./$package"
    echo "Installed $(basename "$package"): start Koravel from the application menu or with: koravel"
    ;;
remove)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get remove -y koravel
    ;;
*)
    echo "usage: $0 [install|remove]" >&2
    exit 2
    ;;
esac

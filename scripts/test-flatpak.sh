#!/usr/bin/env bash
# Builds Koravel's Flatpak from its unchanged manifest on a stand-in for the
# KDE runtime (scripts/flatpak-runtime.sh, made from Debian 13 and kept in
# /var/tmp between runs), installs it, bundles it and drives it: the checks
# labelled "flatpak". Installs what is missing first. Needs root (asks sudo
# otherwise); takes about 15 minutes the first time, 5 once the runtime is made.
#
#   bash scripts/test-flatpak.sh [arguments for ctest]
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $(id -u) -ne 0 ]]; then
    exec sudo bash "$0" "$@"
fi
bash scripts/deps.sh flatpak
bash scripts/flatpak-runtime.sh
cmake -S . -B build/flatpak-tests -G Ninja -DKORAVEL_BUILD_TESTS=ON -DKORAVEL_FLATPAK_BUILD_TEST=ON
ctest --test-dir build/flatpak-tests -L flatpak --output-on-failure --no-tests=error "$@"

#!/usr/bin/env bash
# Installs what is missing, then cross-builds the Windows program and its
# tests with mingw-w64. Leaves build/windows/ui/Koravel.exe, and in
# build/windows/package the portable zip and the installer made from it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh windows
cmake --preset windows
cmake --build --preset windows
echo "Built $(pwd)/build/windows/ui/Koravel.exe"
for package in build/windows/package/Koravel-*-win64.zip build/windows/package/Koravel-*-win64-setup.exe; do
    echo "Packaged $(pwd)/$package"
done

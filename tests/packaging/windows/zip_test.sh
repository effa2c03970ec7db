#!/usr/bin/env bash
# The portable zip: exactly Koravel.exe, LICENSE.txt and README.txt, the exe
# the build made, the texts with Windows line ends, each entry with the
# build's fixed time (EPOCH, in seconds) and no extra fields;
# the Koravel.exe unpacked from it starts under Wine and shows its window.
# Runs in the shared test prefix ($WINEPREFIX), whose wineserver
# scripts/ctest-wine.sh has already started.
# Usage: zip_test.sh ZIP EXE VERSION TITLE WORK_DIR EPOCH
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
source "$here/common.sh"
zip=$1
exe=$2
version=$3
title=$4
work=$5/zip-test
epoch=$6
source "$root/scripts/wine-env.sh"

[[ -f $zip ]] || fail "no $zip; build it with: cmake --build --preset windows"
rm -rf "$work"
mkdir -p "$work"
cleanup() {
    local rc=$?
    stop_program
    rm -rf "$work"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

names=$(unzip -Z1 "$zip") || fail "unzip cannot list $zip"
[[ $names == $'Koravel.exe\nLICENSE.txt\nREADME.txt' ]] ||
    fail "the zip holds: $(echo "$names" | tr '\n' ' ')"
# Each entry has the build's fixed time (zip keeps local time; read it in UTC),
# and no extra field, which would hold the times and owner of the build's files.
times=$(TZ=UTC unzip -Z -T "$zip" | awk '/^-/ { print $7 }' | sort -u)
want=$(date -u -d "@$epoch" +%Y%m%d.%H%M%S)
[[ $times == "$want" ]] || fail "the entries' times are $times, not $want (UTC)"
extras=$(unzip -Zv "$zip" | sed -n 's/^ *length of extra field: *\([0-9]*\) bytes$/\1/p' | sort -u)
[[ $extras == 0 ]] || fail "entries have extra fields of ${extras//$'\n'/ } bytes"

unzip -q "$zip" -d "$work/unpacked" || fail "unzip $zip failed"
cmp -s "$exe" "$work/unpacked/Koravel.exe" || fail "the zip's Koravel.exe is not the built one"
cmp -s <(sed 's/$/\r/' "$root/LICENSE") "$work/unpacked/LICENSE.txt" ||
    fail "LICENSE.txt is not LICENSE with CRLF line ends"

readme=$work/unpacked/README.txt
lines=$(wc -l <"$readme")
crlf=$(grep -c $'\r$' "$readme" || true)
((lines > 0 && crlf == lines)) || fail "README.txt: $crlf of its $lines lines end in CRLF"
[[ $(tail -c 2 "$readme" | od -An -tx1 | tr -d ' ') == 0d0a ]] ||
    fail "README.txt does not end with CRLF"
if grep -q '@[A-Z_]*@' "$readme"; then
    fail "README.txt has an unreplaced name: $(grep '@[A-Z_]*@' "$readme")"
fi
[[ $(head -n 1 "$readme") == "Koravel $version for Windows"$'\r' ]] ||
    fail "README.txt begins '$(head -n 1 "$readme" | tr -d '\r')', not 'Koravel $version for Windows'"

need_display
start_program "$work/koravel.log" "$work/unpacked/Koravel.exe"
wid=$(wait_window "$title" "$work/koravel.log" "$program_pid")
echo "window $wid: $title"
close_program "$program_pid" Koravel.exe "$work/taskkill.log"
echo "PASS: $(basename "$zip") holds the three files and its Koravel.exe starts"

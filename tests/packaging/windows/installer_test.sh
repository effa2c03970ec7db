#!/usr/bin/env bash
# Installs Koravel with the built installer, silently, in a fresh Wine prefix
# of its own; checks the installed files, the Start menu shortcut and the
# uninstall entry; starts Koravel through the shortcut and closes it;
# uninstalls silently and checks that nothing is left. Then installs again and
# checks that uninstalling leaves alone a file the user put in the folder.
# Usage: installer_test.sh INSTALLER EXE VERSION TITLE STRINGS WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
source "$here/common.sh"
installer=$1
exe=$2
version=$3
title=$4
strings=$5
work=$6

need_display
mkdir -p "$work"

# A prefix of its own: the install touches no other test's Windows, and the
# wineserver -k below stops nothing else.
export WINEPREFIX=$work/installer-prefix
source "$root/scripts/wine-env.sh"

cleanup() {
    local rc=$?
    stop_program
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Made afresh, its server started with no stdio, crashes failing at once.
rm -rf "$WINEPREFIX"
bash "$root/scripts/wine-prefix.sh" || fail "could not make the Wine prefix $WINEPREFIX"

drive_c=$WINEPREFIX/drive_c
folder='C:\Program Files\Koravel'
installed=$drive_c/Program\ Files/Koravel
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Koravel'

# Every Koravel shortcut in the all-users and the users' Start menus.
shortcuts() {
    find "$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
        "$drive_c"/users/*/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs \
        -iname 'koravel*.lnk' 2>/dev/null || true
}

# The uninstall entry's values as "name|type|data", sorted; fails when there
# is no entry. Read from the 64-bit view, where Windows looks for a 64-bit
# program's entry.
entry() {
    wine reg query "$key" /reg:64 </dev/null >"$work/reg.log" 2>&1 || return 1
    tr -d '\r' <"$work/reg.log" |
        sed -n 's/^    \([^ ]*\)    \(REG_[A-Z_]*\)    \(.*\)$/\1|\2|\3/p' | LC_ALL=C sort
}

# The Windows programs still running in this prefix, Wine's own services aside.
programs() {
    local dir pid arg0
    for dir in /proc/[0-9]*; do
        pid=${dir#/proc/}
        IFS= read -r -d '' arg0 2>/dev/null <"$dir/cmdline" || continue
        [[ $arg0 == [A-Za-z]:\\* && $arg0 != [Cc]:\\windows\\* ]] || continue
        if grep -qzxF "WINEPREFIX=$WINEPREFIX" "$dir/environ" 2>/dev/null; then
            echo "$pid $arg0"
        fi
    done
}

install() {
    local rc=0
    timeout 60 wine "$installer" /S </dev/null >"$work/install.log" 2>&1 || rc=$?
    if ((rc != 0)); then
        cat "$work/install.log" >&2
        fail "the installer /S exited with status $rc"
    fi
}

# Runs the uninstaller as the entry's QuietUninstallString does. It copies
# itself to %TEMP% and returns while that copy does the work, which may not
# have started yet: so this waits until the uninstaller itself is deleted (its
# copy's work) and every program of the prefix has ended.
uninstall() {
    local rc=0 left deadline
    timeout 60 wine "$folder\\uninstall.exe" /S </dev/null >"$work/uninstall.log" 2>&1 || rc=$?
    if ((rc != 0)); then
        cat "$work/uninstall.log" >&2
        fail "the uninstaller /S exited with status $rc"
    fi
    deadline=$((SECONDS + 30))
    while [[ -e $installed/uninstall.exe ]] || { left=$(programs) && [[ -n $left ]]; }; do
        ((SECONDS < deadline)) || fail "not done 30 s after the uninstaller returned: ${left:-uninstall.exe is still there}"
        sleep 0.1
    done
}

# --- Install.
install
[[ -d $installed ]] || fail "nothing in $folder after the installer ran"
files=$(cd "$installed" && ls -A | LC_ALL=C sort | tr '\n' ' ')
[[ $files == "Koravel.exe LICENSE.txt uninstall.exe " ]] || fail "$folder holds: $files"
cmp -s "$exe" "$installed/Koravel.exe" || fail "the installed Koravel.exe is not the built one"
cmp -s <(sed 's/$/\r/' "$root/LICENSE") "$installed/LICENSE.txt" ||
    fail "the installed LICENSE.txt is not LICENSE with CRLF line ends"

mapfile -t links < <(shortcuts)
((${#links[@]} == 1)) || fail "want one Koravel shortcut in a Start menu, found ${#links[@]}: ${links[*]}"
link=${links[0]}
echo "shortcut: ${link#"$drive_c/"}"
[[ $(basename "$link") == Koravel.lnk ]] || fail "the shortcut is named $(basename "$link")"
# A shortcut keeps its target as a local path (8-bit) and its icon as UTF-16.
grep -qaF "$folder\\Koravel.exe" "$link" || fail "the shortcut does not point at $folder\\Koravel.exe"
"$strings" -a -el "$link" | grep -qF "$folder\\Koravel.exe" ||
    fail "the shortcut's icon does not come from $folder\\Koravel.exe"

size=0
for file in "$installed"/*; do
    size=$((size + $(stat -c %s "$file")))
done
printf -v want '%s\n' \
    "DisplayIcon|REG_SZ|$folder\\Koravel.exe" \
    "DisplayName|REG_SZ|Koravel" \
    "DisplayVersion|REG_SZ|$version" \
    "EstimatedSize|REG_DWORD|$(printf '0x%x' $(((size + 1023) / 1024)))" \
    "InstallLocation|REG_SZ|$folder" \
    "NoModify|REG_DWORD|0x1" \
    "NoRepair|REG_DWORD|0x1" \
    "Publisher|REG_SZ|The Koravel developers" \
    "QuietUninstallString|REG_SZ|\"$folder\\uninstall.exe\" /S" \
    "UninstallString|REG_SZ|\"$folder\\uninstall.exe\""
got=$(entry) || fail "no uninstall entry $key in the 64-bit registry: $(cat "$work/reg.log")"
diff <(printf '%s' "$want") <(echo "$got") >&2 ||
    fail "the uninstall entry differs (- wanted, + found; EstimatedSize is the folder's KiB, rounded up)"

# --- Start Koravel from the Start menu, as a user would. start returns at
# once (it does not wait for a shortcut's program): find the program by its window.
timeout 30 wine start /unix "$link" </dev/null >"$work/start.log" 2>&1 ||
    fail "start could not open the shortcut: $(cat "$work/start.log")"
wid=$(wait_window "$title" "$work/start.log")
pid=$(xdotool getwindowpid "$wid")
arg0=
IFS= read -r -d '' arg0 <"/proc/$pid/cmdline" || true
[[ $arg0 == "$folder\\Koravel.exe" ]] || fail "the shortcut started '$arg0', not $folder\\Koravel.exe"
echo "window $wid: $title, of $arg0"
close_program "$pid" Koravel.exe "$work/taskkill.log"

# --- Uninstall: nothing of Koravel is left.
uninstall
[[ ! -e $installed ]] || fail "$folder is still there: $(ls -A "$installed" | tr '\n' ' ')"
mapfile -t links < <(shortcuts)
((${#links[@]} == 0)) || fail "shortcuts left: ${links[*]}"
if entry >/dev/null; then
    fail "the uninstall entry $key is still there"
fi

# --- Again, with a file of the user's in the folder: only that file is left.
install
echo "the user's notes" >"$installed/notes.txt"
uninstall
[[ -d $installed ]] || fail "uninstalling deleted the user's notes.txt along with $folder"
files=$(cd "$installed" && ls -A | tr '\n' ' ')
[[ $files == "notes.txt " ]] || fail "after uninstalling, $folder holds '$files', not just notes.txt"
echo "PASS: installed, started, and uninstalled $(basename "$installer")"

#!/usr/bin/env bash
# Each program is a 64-bit Windows GUI program that imports only DLLs Windows
# itself ships: a download runs as it is, with no C++ runtime, libgcc or
# winpthread DLL beside it, and opens no console window.
# Usage: imports_test.sh OBJDUMP PROGRAM...
set -euo pipefail
source "$(dirname "$0")/common.sh"
objdump=$1
shift

# The system DLLs, in lower case, that a Win32 program of this kind may use.
allowed=(kernel32.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll shell32.dll advapi32.dll
    ole32.dll oleaut32.dll shlwapi.dll version.dll uxtheme.dll dwmapi.dll msvcrt.dll)

for program in "$@"; do
    name=$(basename "$program")
    headers=$("$objdump" -p "$program") || fail "$objdump -p $program failed"

    grep -q 'file format pei-x86-64' <<<"$headers" || fail "$name is not an x86-64 Windows program"
    grep -Eq '^Magic[[:space:]]+020b' <<<"$headers" || fail "$name is not PE32+ (64-bit)"
    grep -Eq '^Subsystem[[:space:]]+00000002' <<<"$headers" ||
        fail "$name is not a Windows GUI program: $(grep '^Subsystem' <<<"$headers")"

    mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
    ((${#dlls[@]} > 0)) || fail "no imported DLLs read from $name"
    for dll in "${dlls[@]}"; do
        [[ " ${allowed[*]} " == *" ${dll,,} "* ]] ||
            fail "$name imports $dll, which Windows does not ship (imports: ${dlls[*]})"
    done
    echo "$name imports ${dlls[*]}"
done

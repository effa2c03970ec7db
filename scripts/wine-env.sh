# Sourced: the environment every Wine call of the build and the tests shares.
# A private prefix under the build folder, no chatter, no offer of Mono or
# Gecko, and no menu entries of Windows programs written into the Linux desktop.
koravel_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$koravel_root/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}"
export WINEARCH=win64
# Wine keeps Windows file names as Unix names in the locale's character set:
# without UTF-8, a name such as "é.bin" cannot be made at all.
if [[ $(locale charmap 2>/dev/null) != UTF-8 ]]; then
    export LC_ALL=C.UTF-8
fi

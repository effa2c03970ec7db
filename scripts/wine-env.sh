# Sourced: the environment every Wine call of the build and the tests shares.
# A private prefix under the build folder, no chatter, no offer of Mono or
# Gecko, and no menu entries of Windows programs written into the Linux desktop.
koravel_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$koravel_root/build/windows/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}"
export WINEARCH=win64

#!/usr/bin/env bash
# Makes the build's private Wine prefix ready for tests, and starts its
# wineserver with all stdio detached (a reader of the first Wine call's pipes
# could otherwise wait for minutes). Stop it with: wineserver -k
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Creating the Wine prefix $WINEPREFIX (once; about 15 s)."
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1 || true
fi

# (A server that is already running for this prefix is fine.)
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1

# Windows' own dialog font: Debian's Wine does not look in /usr/share/wine/fonts.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
for font in /usr/share/wine/fonts/*.ttf; do
    [[ -f "$fonts/$(basename "$font")" ]] || cp "$font" "$fonts/"
done

# A crashing program exits at once, with a failing status, instead of waiting
# in Wine's debugger: the debugger named here does not exist. (With no name at
# all, this Wine still starts its own debugger, whose window waits forever.)
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ \
    /d koravel-no-debugger /f </dev/null >/dev/null 2>&1
# With no window manager, Wine draws each window's own caption and frame.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    </dev/null >/dev/null 2>&1

# shellcheck shell=bash
# Shared by the package tests: builds the .deb from a build tree and checks an
# installed file tree against what a Linux desktop looks for.

APP_ID=io.github.koravel.Koravel
ICON_SIZES=(16 24 32 48 64 128 256)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Waits until the process shows a window whose title matches the pattern;
# fails, with the process's log, when it ends first or no window shows within
# the given seconds. Prints the window.
await_window() { # pid log seconds pattern what [options of xdotool search]
    local pid=$1 log=$2 deadline=$((SECONDS + $3)) pattern=$4 what=$5 wid
    shift 5
    until wid=$(xdotool search --all "$@" --name "$pattern" 2>/dev/null | head -n 1) &&
        [[ -n $wid ]]; do
        if ! kill -0 "$pid" 2>/dev/null; then
            cat "$log" >&2
            fail "$what ended before its window showed"
        fi
        if ((SECONDS >= deadline)); then
            cat "$log" >&2
            fail "no window named '$pattern' within $3 s of $what"
        fi
        sleep 0.2
    done
    echo "$wid"
}

# A private Xvfb for a program to start on: its pid in xvfb_pid, its number in
# $DISPLAY; its files go to the given folder.
start_xvfb() { # folder
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" 2>"$1/xvfb.log" &
    # shellcheck disable=SC2034 # the caller stops it
    xvfb_pid=$!
    for _ in $(seq 100); do
        [[ -s $1/display ]] && break
        sleep 0.1
    done
    [[ -s $1/display ]] || fail "Xvfb did not start: $(cat "$1/xvfb.log")"
    DISPLAY=:$(head -n 1 "$1/display")
    export DISPLAY
}

# Every file the package installs, absolute, sorted.
expected_files() {
    {
        echo /usr/bin/koravel
        echo "/usr/share/applications/$APP_ID.desktop"
        echo "/usr/share/metainfo/$APP_ID.metainfo.xml"
        echo /usr/share/doc/koravel/copyright
        echo /usr/share/doc/koravel/changelog.gz
        echo /usr/share/man/man1/koravel.1.gz
        for n in "${ICON_SIZES[@]}"; do
            echo "/usr/share/icons/hicolor/${n}x${n}/apps/$APP_ID.png"
        done
        echo "/usr/share/icons/hicolor/scalable/apps/$APP_ID.svg"
    } | LC_ALL=C sort
}

# build_deb BUILD_DIR OUT_DIR: runs cpack into OUT_DIR, prints the .deb's path.
# Given a .deb already built (a release's) instead of BUILD_DIR, copies it there.
build_deb() {
    if [[ $1 == *.deb ]]; then
        [[ -f $1 ]] || fail "no package $1"
        cp "$1" "$2/" && echo "$2/$(basename "$1")"
        return
    fi
    cpack --config "$1/CPackConfig.cmake" -B "$2" >"$2/cpack.log" 2>&1 || {
        cat "$2/cpack.log" >&2
        fail "cpack failed"
    }
    local debs=("$2"/koravel_*.deb)
    [[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "cpack made no single koravel_*.deb"
    echo "${debs[0]}"
}

# desktop_key FILE KEY: the value of KEY in a desktop entry.
desktop_key() {
    sed -n "s/^$2=//p" "$1" | head -n 1
}

# check_tree ROOT: the files are in place under ROOT, the icons are the size
# their folder promises (themes pick them by folder), and the desktop entry
# names a program and an icon that are installed.
check_tree() {
    local root=${1%/} file n size
    while read -r file; do
        [[ -f $root$file ]] || fail "missing $file"
    done < <(expected_files)
    [[ -x $root/usr/bin/koravel ]] || fail "/usr/bin/koravel is not executable"

    for n in "${ICON_SIZES[@]}"; do
        file=$root/usr/share/icons/hicolor/${n}x${n}/apps/$APP_ID.png
        size=$(file -b "$file" | sed -n 's/^PNG image data, \([0-9]*\) x \([0-9]*\),.*/\1x\2/p')
        [[ $size == "${n}x${n}" ]] || fail "$file is '${size:-not a PNG}', not ${n}x${n}"
    done
    file -b "$root/usr/share/icons/hicolor/scalable/apps/$APP_ID.svg" | grep -q SVG ||
        fail "the scalable icon is not an SVG"

    local desktop=$root/usr/share/applications/$APP_ID.desktop exec icon
    exec=$(desktop_key "$desktop" Exec)
    exec=${exec%% *}
    [[ -x $root/usr/bin/$exec ]] || fail "Exec=$exec is not an installed program"
    icon=$(desktop_key "$desktop" Icon)
    [[ -f $root/usr/share/icons/hicolor/256x256/apps/$icon.png ]] ||
        fail "Icon=$icon names no installed icon"
}

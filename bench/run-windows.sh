#!/usr/bin/env bash
# Benchmarks Koravel.exe under Wine and prints tables: start-up (launch to a
# visible window) against the bare Win32 floor of the same window, what the
# program's bytes are, and the time of Select and Patch through the handlers
# and Win32FileLayer on a small and on a 4 GiB sparse image.
# Builds what it needs, release configuration, into build/bench-windows, and
# runs in a Wine prefix, a wineserver and an X screen of its own.
#
#   bash bench/run-windows.sh                 # 20 start-ups each, 1000 file runs
#   RUNS=40 FILE_RUNS=200 bash bench/run-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

runs=${RUNS:-20}
warmups=${WARMUPS:-3}
fileRuns=${FILE_RUNS:-1000}
build=build/bench-windows
probeBuild=$build/probe # a Linux build, for the X11 start-up probe
title='Koravel v0.3'

bash scripts/deps.sh windows
bash scripts/deps.sh # the probe's build needs Qt to configure, and libx11-dev

export WINEPREFIX="$root/$build/wineprefix"
source scripts/wine-env.sh

work=$(mktemp -d)
xvfb=
cleanup() {
    # Only this prefix's server: other people's Wine runs keep theirs.
    timeout 30 wineserver -k </dev/null >/dev/null 2>&1 || true
    if [[ -n $xvfb ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Quiet unless it fails.
if ! {
    cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DKORAVEL_BUILD_TESTS=OFF -DKORAVEL_BUILD_BENCH=ON \
        -DKORAVEL_WERROR=ON &&
        cmake --build "$build" -j 2 --target Koravel koravel_floor koravel_mapped \
            koravel_file_bench &&
        cmake -S . -B "$probeBuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DKORAVEL_BUILD_TESTS=OFF -DKORAVEL_BUILD_BENCH=ON -DKORAVEL_WERROR=ON &&
        cmake --build "$probeBuild" -j 2 --target koravel_startup_probe
} >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    exit 1
fi
koravel=$root/$build/ui/Koravel.exe
floor=$root/$build/bench/windows/koravel_floor.exe
fileBench=$root/$build/bench/windows/koravel_file_bench.exe
linkMap=$root/$build/bench/windows/Koravel.map
probe=$root/$probeBuild/bench/koravel_startup_probe

# A screen of our own; Xvfb picks a free display number and tells it on fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" \
    </dev/null &
xvfb=$!
for _ in $(seq 200); do
    [[ -s $work/display ]] && break
    sleep 0.05
done
[[ -s $work/display ]] || { cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

# A fresh server for our prefix (one left by an interrupted run may hold a
# screen that is gone), started detached, so it stays warm between runs.
timeout 30 wineserver -k </dev/null >/dev/null 2>&1 || true
timeout 30 wineserver -w </dev/null >/dev/null 2>&1 || true
if ! timeout 300 bash scripts/wine-prefix.sh </dev/null >"$work/prefix.log" 2>&1; then
    cat "$work/prefix.log" >&2
    exit 1
fi

# Our wineserver, known by the folder it works in, named after the prefix's
# device and inode; its CPU time per run is the work it did for the program.
serverDir=$(printf 'server-%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))
server=
for pid in $(pgrep -x wineserver64 || true) $(pgrep -x wineserver || true); do
    [[ $(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)") == "$serverDir" ]] && server=$pid
done
[[ -n $server ]] || { echo "no wineserver for $WINEPREFIX" >&2; exit 1; }
serverNs() { cut -d' ' -f1 "/proc/$server/schedstat"; }

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# The probe ends the program at the map; the next run starts only when its
# window is gone, so a late window can never be taken for the next one's.
windowShown() { xwininfo -root -tree 2>/dev/null | grep -qF "\"$title\""; }
waitForNoWindow() {
    for _ in $(seq 200); do
        windowShown || return 0
        sleep 0.05
    done
    echo "a window titled \"$title\" is still there after 10 s" >&2
    exit 1
}
# Launch through the `wine` command as a user would; it execs the loader, so
# the window's _NET_WM_PID is the pid the probe started.
startup() { # exe, output file
    waitForNoWindow
    local before line
    before=$(serverNs)
    if ! line=$(timeout 60 "$probe" "$title" /usr/bin/wine "$1" </dev/null 2>>"$work/probe.log"); then
        cat "$work/probe.log" >&2
        exit 1
    fi
    echo "$line $(awk -v a="$before" -v b="$(serverNs)" 'BEGIN { printf "%.2f", (b - a) / 1e6 }')" >>"$2"
}

# Warm the wineserver, the page cache and the font cache; not counted.
for ((i = 0; i < warmups; i++)); do
    startup "$koravel" "$work/warm"
    startup "$floor" "$work/warm"
done
# Alternate, swapping which goes first, so that drift hits both alike.
for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
        startup "$koravel" "$work/koravel"
        startup "$floor" "$work/floor"
    else
        startup "$floor" "$work/floor"
        startup "$koravel" "$work/koravel"
    fi
done
waitForNoWindow

column() { cut -d' ' -f"$1" "$work/$2" | median; }
kMs=$(column 1 koravel) kCpu=$(column 2 koravel) kRss=$(column 3 koravel) kSrv=$(column 4 koravel)
fMs=$(column 1 floor) fCpu=$(column 2 floor) fRss=$(column 3 floor) fSrv=$(column 4 floor)
# Each round's two runs met the same load: their ratio moves less than the medians'.
paired() { paste -d' ' "$work/koravel" "$work/floor" | awk -v c="$1" '{ printf "%.4f\n", $c / $(c + 4) }' | median; }

# The file work, in the same prefix.
if ! timeout 900 wine "$fileBench" "$fileRuns" </dev/null >"$work/files" 2>"$work/files.log"; then
    cat "$work/files" "$work/files.log" >&2
    exit 1
fi

debVersion() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null; }
echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), Linux $(uname -r)," \
    "Debian $(cat /etc/debian_version), Wine $(debVersion wine)," \
    "mingw-w64 g++ $(debVersion g++-mingw-w64-x86-64-posix)," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Start-up under Wine on Xvfb, warm wineserver, launch to window mapped;" \
    "medians of $runs runs each"
printf '%-20s %10s %10s %10s %14s\n' program 'time ms' 'CPU ms' 'VmRSS kB' 'server CPU ms'
printf '%-20s %10.1f %10.1f %10.0f %14.1f\n' Koravel.exe "$kMs" "$kCpu" "$kRss" "$kSrv"
printf '%-20s %10.1f %10.1f %10.0f %14.1f\n' 'floor (bare Win32)' "$fMs" "$fCpu" "$fRss" "$fSrv"
printf '%-20s %10s %10s %10s %14s\n' 'Koravel / floor' "$(ratio "$kMs" "$fMs")" \
    "$(ratio "$kCpu" "$fCpu")" "$(ratio "$kRss" "$fRss")" "$(ratio "$kSrv" "$fSrv")"
printf '%-20s %10.3f %10.3f %10.3f %14.3f\n' 'median per round' "$(paired 1)" "$(paired 2)" \
    "$(paired 3)" "$(paired 4)"
echo "(CPU: the program's threads until the map; server: the wineserver's, launch to exit)"

# --- What Koravel.exe's bytes are ---
objdump=x86_64-w64-mingw32-objdump
exeSize=$(stat -c %s "$koravel")
kib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1024 }'; }
mappedSize=$(stat -c %s "$(dirname "$linkMap")/Koravel.exe")
if ((mappedSize != exeSize)); then
    echo "warning: the link with a map made $mappedSize bytes, Koravel.exe $exeSize:" \
        "the shares below are of another link" >&2
fi
echo
echo "Koravel.exe, stripped, static: $exeSize bytes ($(kib "$exeSize") KiB," \
    "$(awk -v b="$exeSize" 'BEGIN { printf "%.2f", b / 1048576 }') MiB); the floor:" \
    "$(stat -c %s "$floor") bytes"
echo "section        bytes     KiB   share of the file"
"$objdump" -h "$koravel" | awk -v total="$exeSize" '
    $1 ~ /^[0-9]+$/ && $2 ~ /^\./ {
        size = 0
        for (i = 1; i <= length($3); i++)
            size = size * 16 + index("0123456789abcdef", substr(tolower($3), i, 1)) - 1
        if ($2 == ".bss") printf "%-10s %9d %7.1f   (not in the file)\n", $2, size, size / 1024
        else printf "%-10s %9d %7.1f %8.1f %%\n", $2, size, size / 1024, 100 * size / total
    }'
echo "(the rest: PE headers and each section padded to 512 bytes in the file)"

# Resources, from the resource directory that objdump prints: type, id, size.
echo
echo "resources                      count      bytes     KiB"
"$objdump" -p "$koravel" | awk '
    function hex(t,    i, n) {
        n = 0
        t = tolower(t)
        sub(/^0x/, "", t)
        sub(/,.*/, "", t)
        for (i = 1; i <= length(t); i++) n = n * 16 + index("0123456789abcdef", substr(t, i, 1)) - 1
        return n
    }
    /Resource Directory section/ { on = 1 }
    !on { next }
    # The entries of the type table are indented by 3, of the name tables by 5.
    /^[0-9a-f]+   Entry: ID:/ { type = hex($4); next }
    /^[0-9a-f]+     Entry: ID:/ { id = hex($4); next }
    /Leaf: Addr:/ {
        size = hex($6)
        if (type == 2) {
            scale = id % 10 == 0 ? "1x" : id % 10 == 1 ? "1.5x" : "2x"
            what = "bitmaps " scale
        } else if (type == 3) what = "icon images"
        else if (type == 14) what = "icon directory"
        else if (type == 16) what = "version"
        else if (type == 24) what = "manifest"
        else what = "type " type
        count[what]++
        bytes[what] += size
        total += size
    }
    END {
        for (w in bytes) printf "%-28s %7d %10d %7.1f\n", w, count[w], bytes[w], bytes[w] / 1024 | "sort -k1,1"
        close("sort -k1,1")
        printf "%-28s %7s %10d %7.1f\n", "all resource data", "", total, total / 1024
    }'

# The rest, by where it came from, from the link map of the same link.
echo
echo "code and data by origin (.text, .rdata, .data, .pdata, .xdata, .idata, .CRT, .tls)"
echo "origin                .text bytes   all bytes     KiB"
awk -f bench/windows/size/MapShares.awk "$linkMap" |
    awk '{ printf "%-20s %12d %11d %7.1f\n", $1, $2, $3, $3 / 1024; t += $2; a += $3 }
         END { printf "%-20s %12d %11d %7.1f\n", "all", t, a, a / 1024 }'

# The pictures as they are, and what an 8-bit palette, plain or run-length
# coded (BI_RLE8), would make of them: reduced to 256 colours without
# dithering; PAE is the largest error in a channel (0 to 1) that this leaves.
echo
echo "picture               size    stored as   colours    bytes  8-bit bytes  RLE8 bytes  RLE8 PAE"
convert=/usr/bin/convert
identify=/usr/bin/identify
for picture in ui/assets/swirl_*.bmp; do
    name=$(basename "$picture" .bmp)
    colours=$("$identify" -format '%k' "$picture")
    # (Asking for 256 colours keeps a picture of fewer exact, where leaving the
    # palette to ImageMagick may not.)
    "$convert" "$picture" -dither None -colors 256 -type Palette -compress None \
        "BMP3:$work/$name.8.bmp"
    "$convert" "$picture" -dither None -colors 256 -type Palette -compress RLE \
        "BMP3:$work/$name.rle.bmp"
    # (compare fails when the pictures differ, which is the point here.)
    error=$({ /usr/bin/compare -metric PAE "$picture" "$work/$name.rle.bmp" null: 2>&1 || true; } |
        sed -n 's/.*(\(.*\)).*/\1/p')
    # Bits per pixel and compression, from the BMP's own header.
    bits=$(od -An -tu2 -j28 -N2 "$picture" | tr -d ' ')
    case $(od -An -tu4 -j30 -N4 "$picture" | tr -d ' ') in
    0) stored="$bits-bit" ;;
    1) stored="$bits-bit RLE8" ;;
    *) stored="$bits-bit coded" ;;
    esac
    printf '%-16s %8s   %-12s %7s %8d %12d %11d %9.4f\n' "${name#swirl_}" \
        "$("$identify" -format '%wx%h' "$picture")" "$stored" "$colours" "$(stat -c %s "$picture")" \
        "$(stat -c %s "$work/$name.8.bmp")" "$(stat -c %s "$work/$name.rle.bmp")" "$error"
done
echo "(a BITMAP resource is the .bmp file without its 14-byte file header)"

echo
echo "Select and Patch through the handlers and Win32FileLayer, under Wine"
cat "$work/files"

#!/usr/bin/env bash
# Benchmarks Koravel and prints a table: start-up (launch to a mapped window,
# and resident memory then) against the bare Qt floor of the same window, and
# the time of Select and Patch on a small and on a 4 GiB sparse image.
# Builds what it needs, release configuration, into build/bench.
#
#   bash bench/run.sh                 # 30 start-ups each, 1000 file runs
#   RUNS=10 FILE_RUNS=200 bash bench/run.sh
#   FILES_ONLY=1 bash bench/run.sh     # Select and Patch alone, no start-ups
#   FILES_ONLY=1 TMPDIR=/dev/shm bash bench/run.sh   # images on tmpfs: no disk in fsync
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-30}
fileRuns=${FILE_RUNS:-1000}
build=build/bench
filesOnly=${FILES_ONLY:-}

bash scripts/deps.sh

work=$(mktemp -d)
xvfb=
cleanup() {
    if [[ -n $xvfb ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Quiet unless it fails.
if ! {
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKORAVEL_BUILD_TESTS=OFF -DKORAVEL_BUILD_BENCH=ON &&
        cmake --build "$build" --target koravel koravel_floor koravel_startup_probe \
            koravel_file_bench
} >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    exit 1
fi

if [[ -n $filesOnly ]]; then
    echo "Select and Patch through the handlers and the real file layer, images in ${TMPDIR:-/tmp}"
    "$build/bench/koravel_file_bench" "$fileRuns"
    exit 0
fi

# A screen of our own; Xvfb picks a free display number and tells it on fd 3.
# -noreset: left to reset whenever its last client leaves, as between two
# runs, the server refuses some of the connections that come meanwhile.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
    [[ -s $work/display ]] && break
    sleep 0.05
done
[[ -s $work/display ]] || { cat "$work/xvfb.log" >&2; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

title='Koravel v0.3'
probe="$build/bench/koravel_startup_probe"
koravel="$build/ui/koravel"
floor="$build/bench/koravel_floor"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Warm the page cache and the font cache first; these runs are not counted.
for _ in 1 2 3; do
    "$probe" "$title" "$koravel" >/dev/null
    "$probe" "$title" "$floor" >/dev/null
done
# Alternate, swapping which goes first, so that drift hits both alike.
for ((i = 0; i < runs; i++)); do
    if ((i % 2 == 0)); then
        "$probe" "$title" "$koravel" >>"$work/koravel"
        "$probe" "$title" "$floor" >>"$work/floor"
    else
        "$probe" "$title" "$floor" >>"$work/floor"
        "$probe" "$title" "$koravel" >>"$work/koravel"
    fi
done

column() { cut -d' ' -f"$1" "$work/$2" | median; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
kMs=$(column 1 koravel) kCpu=$(column 2 koravel) kRss=$(column 3 koravel)
fMs=$(column 1 floor) fCpu=$(column 2 floor) fRss=$(column 3 floor)
# Each round's two runs meet the same load: the median of their ratios moves
# less with the machine than the ratio of the medians.
paired() { paste -d' ' "$work/koravel" "$work/floor" | awk -v c="$1" '{ printf "%.4f\n", $c / $(c + 3) }' | median; }

echo "Machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
    "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo), Linux $(uname -r)," \
    "Qt $(pkg-config --modversion Qt6Core)"
echo
echo "Start-up under Xvfb, launch to window mapped; medians of $runs runs each"
printf '%-18s %10s %10s %10s\n' program 'time ms' 'CPU ms' 'VmRSS kB'
printf '%-18s %10.1f %10.1f %10.0f\n' koravel "$kMs" "$kCpu" "$kRss"
printf '%-18s %10.1f %10.1f %10.0f\n' 'floor (bare Qt)' "$fMs" "$fCpu" "$fRss"
printf '%-18s %10s %10s %10s\n' 'koravel / floor' "$(ratio "$kMs" "$fMs")" \
    "$(ratio "$kCpu" "$fCpu")" "$(ratio "$kRss" "$fRss")"
printf '%-18s %10.3f %10.3f %10.3f\n' 'median per round' "$(paired 1)" "$(paired 2)" "$(paired 3)"
echo
echo "Select and Patch through the handlers and the real file layer"
"$build/bench/koravel_file_bench" "$fileRuns"

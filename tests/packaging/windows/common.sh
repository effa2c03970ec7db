# shellcheck shell=bash
# Shared by the Windows package tests: Windows programs under Wine, and their
# windows on the X display.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Exits 77 (skipped) with no X display: the tests look for real windows.
need_display() {
    if [[ -z ${DISPLAY:-} ]]; then
        echo "SKIP: DISPLAY is unset; this test needs an X display (scripts/test-windows.sh runs it under xvfb-run)"
        exit 77
    fi
}

# start_program LOG PROGRAM [ARG...]: starts a Windows program in the
# background, in $WINEPREFIX; sets program_pid (Wine keeps the Unix pid, and
# puts it on the program's windows).
start_program() {
    local log=$1
    shift
    wine "$@" </dev/null >"$log" 2>&1 &
    program_pid=$!
}

# wait_window TITLE LOG [PID]: prints the id of a visible window named exactly
# TITLE once there is one (20 s at most); with PID, one of PID's windows, and
# fails as soon as PID exits.
wait_window() {
    local title=$1 log=$2 pid=${3:-} wid owner=()
    local pattern="^${title//./\\.}\$" deadline=$((SECONDS + 20))
    [[ -z $pid ]] || owner=(--pid "$pid")
    until wid=$(xdotool search --all --onlyvisible "${owner[@]}" --name "$pattern" 2>/dev/null |
        head -n 1) && [[ -n $wid ]]; do
        if [[ -n $pid ]] && ! kill -0 "$pid" 2>/dev/null; then
            cat "$log" >&2
            fail "the program exited before showing a window named '$title'"
        fi
        if ((SECONDS >= deadline)); then
            cat "$log" >&2
            fail "no window named '$title' within 20 s"
        fi
        sleep 0.2
    done
    echo "$wid"
}

# close_program PID IMAGE LOG: asks every IMAGE (e.g. Koravel.exe) of the
# prefix to close, as a window's close button does (taskkill without /f sends
# WM_CLOSE), and waits 10 s at most for PID to end; when PID is program_pid,
# its exit status must be 0. (Not Alt+F4 from xdotool: the window is gone
# before the keys are let go, so the X server keeps them held, and every Wine
# window shown later reads Alt+F4 and closes at once.)
close_program() {
    local pid=$1 image=$2 log=$3 rc=0
    timeout 30 wine taskkill /im "$image" </dev/null >"$log" 2>&1 || {
        cat "$log" >&2
        fail "taskkill /im $image failed"
    }
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "$image still runs 10 s after it was asked to close"
    if [[ $pid == "${program_pid:-}" ]]; then
        wait "$pid" || rc=$?
        program_pid=
        ((rc == 0)) || fail "$image exited with status $rc when asked to close"
    fi
    return 0
}

# stop_program: ends a program a failed test left running.
stop_program() {
    if [[ -n ${program_pid:-} ]]; then
        kill -9 "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
        program_pid=
    fi
}

# shellcheck shell=bash
# Sourced by the checks that run Koravel in a D-Bus session of their own. A
# program there may start the desktop portal, whose document portal mounts its
# file system in the session's runtime folder and may not have let it go when
# the session ends: nothing may stay mounted, nor keep the folder from going.
unmount_under() { # folder
    local _device mount _rest
    while read -r _device mount _rest; do
        if [[ $mount == "$1"/* ]]; then
            fusermount3 -u -z "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
        fi
    done </proc/mounts
}

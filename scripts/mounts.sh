# shellcheck shell=bash
# Sourced by the scripts that make a root or a scratch folder that something
# is mounted in (proc, sys, dev, a root bound onto itself).

mounts_under() { # folder: the mounts at and below it, the deepest first
    findmnt -rn -o TARGET | awk -v top="$1" '$0 == top || index($0, top "/") == 1' | sort -r || true
}

# Unmounts everything at and below the folder, deepest first, then removes
# it, never walking into a mount that is still there: if one is, says so and
# leaves the folder in place.
unmount_and_remove() { # folder who
    local target
    while read -r target; do
        [[ -n $target ]] || continue
        umount "$target" 2>/dev/null || umount -l "$target" 2>/dev/null || true
    done < <(mounts_under "$1")
    if [[ -n $(mounts_under "$1") ]]; then
        echo "$2: still mounted, $1 left in place:" >&2
        mounts_under "$1" >&2
        return 1
    fi
    rm -rf --one-file-system "$1"
}

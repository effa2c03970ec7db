# shellcheck shell=bash
# Sourced by the scripts that make a Debian root with debootstrap: where its
# packages come from, and taking down what was mounted in it (proc, sys, dev,
# the root bound onto itself) before it is removed.

# The mirror apt already uses here: the first Debian archive it names.
mirror() {
    local uri
    uri=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        grep -v security | head -n 1)
    [[ -n $uri ]] || uri=$(sed -n 's/^deb \(\[[^]]*\] \)\?\([^ ]*\) .*/\2/p' \
        /etc/apt/sources.list 2>/dev/null | grep -v security | head -n 1)
    echo "${uri:-http://deb.debian.org/debian}"
}

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

#!/usr/bin/env bash
# Runs the README's test command on a fresh Debian of another release: makes a
# minimal root of it with debootstrap, copies a clean clone of this checkout's
# last commit into it and runs `bash scripts/test.sh` there, as root, with no
# display. Then installs the Debian package built here in that root and starts
# it, so that the package the downloads carry is known to work there too.
# Removes everything it made (processes, mounts, the root) however it ends.
#
#   bash scripts/test-debian.sh [13|12|trixie|bookworm] [arguments for test.sh]
#
# Needs root (asks sudo otherwise), about 15 GB of disk under /var/tmp (or
# $KORAVEL_ROOTS_DIR), and the Debian mirror that apt uses here.
# shellcheck disable=SC2317 # the cleanup functions run from the traps
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source-path=SCRIPTDIR source=debian-root.sh
source "$top/scripts/debian-root.sh"

release=${1:-13}
shift || true
case $release in
12 | bookworm) codename=bookworm ;;
13 | trixie) codename=trixie ;;
*)
    echo "usage: $0 [12|13] [arguments for scripts/test.sh]" >&2
    exit 2
    ;;
esac

if [[ $(id -u) -ne 0 ]]; then
    exec sudo --preserve-env=KORAVEL_ROOTS_DIR bash "$0" "$release" "$@"
fi

command -v debootstrap >/dev/null || {
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap
}

parent=${KORAVEL_ROOTS_DIR:-/var/tmp}
mkdir -p "$parent"
root=$(mktemp -d "$parent/koravel-debian$release-XXXXXX")
chmod 755 "$root" # apt in the root fetches as its own unprivileged user
run_pid=

# Ends every process that runs inside the root (Xvfb, wineserver, a browser),
# then unmounts what was mounted there, deepest first, and only then removes
# the root: a mount left behind would let rm walk into the host's /dev.
in_root_pids() {
    local proc
    for proc in /proc/[0-9]*; do
        [[ $(readlink "$proc/root" 2>/dev/null) == "$root"* ]] && echo "${proc#/proc/}"
    done
    return 0
}
cleanup() {
    local rc=$? signal pids
    trap - EXIT INT TERM
    [[ -z $run_pid ]] || kill -TERM "$run_pid" 2>/dev/null || true
    for signal in TERM TERM KILL; do
        pids=$(in_root_pids)
        [[ -n $pids ]] || break
        # shellcheck disable=SC2086 # one word a process
        kill -"$signal" $pids 2>/dev/null || true
        sleep 2
    done
    unmount_and_remove "$root" test-debian || exit 1
    echo "test-debian: removed $root"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The package built here (by this machine's Debian), when the tests here have
# built the program: the root installs and starts it after its own suites.
deb=
if [[ -f $top/build/ci/build.ninja ]]; then
    mkdir -p "$root/root/host-deb"
    if cmake --build "$top/build/ci" --target koravel >"$root/root/host-deb/cpack.log" 2>&1 &&
        cpack --config "$top/build/ci/CPackConfig.cmake" -B "$root/root/host-deb" \
            >>"$root/root/host-deb/cpack.log" 2>&1; then
        debs=("$root"/root/host-deb/koravel_*.deb)
        deb=$(basename "${debs[0]}")
    else
        cat "$root/root/host-deb/cpack.log" >&2
        echo "test-debian: the package could not be built here" >&2
        exit 1
    fi
else
    echo "test-debian: nothing built here (bash scripts/test.sh builds it), so the package built here is not tried in Debian $release"
fi

echo "test-debian: making a minimal Debian $release ($codename) in $root"
debootstrap --variant=minbase "$codename" "$root" "$(mirror)" >"$root.debootstrap.log" 2>&1 || {
    tail -n 20 "$root.debootstrap.log" >&2
    rm -f "$root.debootstrap.log"
    exit 1
}
rm -f "$root.debootstrap.log"

# The root is a mount point of its own, as / is on a running system: without
# that, bubblewrap and unshare cannot make mount namespaces inside it (the
# sandbox's check and the nested desktops' checks).
mount --bind "$root" "$root"
mount --make-private "$root"
# Builds, Xvfb, Wine and Chromium need these; the host's mounts below /dev
# and /sys are made slaves, so that taking them down leaves the host's alone.
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mount --rbind /sys "$root/sys"
mount --make-rslave "$root/sys"
mount -t tmpfs tmpfs "$root/tmp"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# The registries may be reached through authorities this machine trusts
# beside Debian's own (npm checks them; apt does not need them).
if compgen -G '/usr/local/share/ca-certificates/*.crt' >/dev/null; then
    mkdir -p "$root/usr/local/share/ca-certificates"
    cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
fi

git clone -q --no-hardlinks "$top" "$root/root/koravel"
title="Koravel v$(sed -n 's/^project(Koravel VERSION \([0-9]*\.[0-9]*\).*/\1/p' "$top/CMakeLists.txt")"
quoted_args=$(printf '%q ' "$@")
inner=$(
    cat <<EOF
set -euo pipefail
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends git ca-certificates >/dev/null
update-ca-certificates >/dev/null
cd /root/koravel
echo "test-debian: \$(cat /etc/debian_version) ready, running bash scripts/test.sh"
status=0
bash scripts/test.sh $quoted_args || status=\$?
if [[ -n "$deb" ]]; then
    echo "test-debian: installing and starting the package built outside: $deb"
    bash tests/packaging/deb_install_test.sh "/root/host-deb/$deb" "$title" || status=1
fi
exit \$status
EOF
)
# In the background, so that an interrupt reaches the cleanup at once.
chroot "$root" env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt \
    timeout --kill-after=60 75m bash -c "$inner" &
run_pid=$!
status=0
wait "$run_pid" || status=$?
run_pid=
if ((status == 0)); then
    echo "test-debian: every suite passed in Debian $release"
else
    echo "test-debian: tests failed in Debian $release (exit $status)" >&2
fi
exit "$status"

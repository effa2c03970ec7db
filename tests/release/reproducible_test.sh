#!/usr/bin/env bash
# Runs scripts/release.sh in two clean clones of HEAD, in different folders,
# and checks that the downloads are the same bytes. The second run changes
# what must not matter: a folder of another length, with a non-ASCII letter
# in its name, other times on the checked-out files, umask 077, another time
# zone and locale. On a difference, says which bytes differ. Then checks that the
# downloads install and start (downloads_test.sh).
# Only committed work is built: commit first.
# Usage: bash tests/release/reproducible_test.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/koravel-release-XXXXXX")
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
one=$work/one
two="$work/second-é"

commit=$(git -C "$root" rev-parse HEAD)
if [[ -n $(git -C "$root" status --porcelain) ]]; then
    echo "Note: building the last commit $commit; changes not committed are not in it."
fi
git clone -q "$root" "$one"
git clone -q "$root" "$two"

echo "Release build 1 in $one"
start=$SECONDS
(cd "$one" && bash scripts/release.sh) >"$work/one.log" 2>&1 || {
    tail -n 40 "$work/one.log" >&2
    fail "scripts/release.sh failed in $one"
}
echo "  took $((SECONDS - start)) s"

echo "Release build 2 in $two"
start=$SECONDS
find "$two" -path "$two/.git" -prune -o -type f -exec touch -d '2001-02-03 04:05:06' {} +
(cd "$two" && umask 077 && TZ=Pacific/Kiritimati LANG=C.UTF-8 bash scripts/release.sh) \
    >"$work/two.log" 2>&1 || {
    tail -n 40 "$work/two.log" >&2
    fail "scripts/release.sh failed in $two"
}
echo "  took $((SECONDS - start)) s"

# Both list the same files, and every file the list names is in dist/.
for dist in "$one/dist" "$two/dist"; do
    [[ -s $dist/SHA256SUMS ]] || fail "no SHA256SUMS in $dist"
    (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "$dist does not match its SHA256SUMS"
done
names=$(awk '{ print $2 }' "$one/dist/SHA256SUMS")
for want in '_amd64\.deb' '-win64\.zip' '-win64-setup\.exe' '-buildinfo\.txt'; do
    grep -Eq -- "$want\$" <<<"$names" || fail "SHA256SUMS lists no *$want: $names"
done
if [[ -f $root/scripts/build-web.sh ]]; then
    grep -Eq '^koravel-.*\.html$' <<<"$names" || fail "SHA256SUMS lists no web page: $names"
    grep -Eq '^koravel-.*-site\.zip$' <<<"$names" || fail "SHA256SUMS lists no site: $names"
fi

if ! cmp -s "$one/dist/SHA256SUMS" "$two/dist/SHA256SUMS"; then
    diff "$one/dist/SHA256SUMS" "$two/dist/SHA256SUMS" >&2 || true
    for file in $names; do
        if ! cmp -s "$one/dist/$file" "$two/dist/$file"; then
            echo "--- $file: $(cmp -l "$one/dist/$file" "$two/dist/$file" 2>/dev/null | wc -l) bytes differ;" \
                "first ones (offset, octal byte of run 1, of run 2):" >&2
            cmp -l "$one/dist/$file" "$two/dist/$file" 2>&1 | head -n 20 >&2 || true
        fi
    done
    fail "two builds of $commit differ"
fi
echo "Same downloads from both builds of $commit:"
cat "$one/dist/SHA256SUMS"

bash "$here/downloads_test.sh" "$one"

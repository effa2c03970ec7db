#!/usr/bin/env bash
# Benchmarks the web page: its start-up in headless Chromium against the
# floor page (build/web/bench/floor.html, which the web build makes from
# bench/web/floor.html.in: the same ten stock controls, no WebAssembly), side
# by side in one run with the site's start-up from its service worker's cache
# (build/web/site, beside the page), and what the page's bytes are made of.
#
#   bash bench/run-web.sh                    # 30 start-ups each, build/web/koravel.html
#   RUNS=60 bash bench/run-web.sh path/to/koravel.html
#   bash bench/run-web.sh build/web/koravel.html old=path/to/older/koravel.html
# Each NAME=FILE is one more page measured in turn with the others.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${RUNS:-30}
page=build/web/koravel.html
given=0
if [[ $# -gt 0 && $1 != *=* ]]; then
    page=$1
    given=1
    shift
fi
others=()
for other in "$@"; do
    if [[ $other != *=* || ! -f ${other#*=} ]]; then
        echo "$other: expected NAME=FILE of a page that exists" >&2
        exit 1
    fi
    others+=("${other%%=*}=$(realpath "${other#*=}")")
done

floor=build/web/bench/floor.html
if [[ ! -f $page ]]; then
    if [[ $given -eq 1 ]]; then
        echo "$page is missing." >&2
        exit 1
    fi
    bash scripts/build-web.sh
fi
[[ -f $floor ]] || bash scripts/build-web.sh
if [[ ! -x /usr/bin/chromium ]]; then
    sudo=()
    [[ $(id -u) -eq 0 ]] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends chromium
fi

page=$(realpath "$page")
# The site beside the page, when it is there, starts from its worker's cache.
site=()
[[ ! -f $(dirname "$page")/site/index.html ]] || site=("$(dirname "$page")/site")
# About a second a start-up (traced), with room to spare; the browser stops on any way out.
bash tests/web/bounded-node.sh $((120 + runs * 4 * (2 + ${#site[@]} + ${#others[@]}))) \
    bench/web/startup.mjs "$page" "$(realpath "$floor")" "$runs" "${site[@]}" "${others[@]}"

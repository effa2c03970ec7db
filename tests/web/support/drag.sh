#!/usr/bin/env bash
# Drags from tests/e2e/drag_source.py to a point of the screen $DISPLAY and
# drops there, with the desktop checks' own step (harness.sh's
# drag_to_screen); prints what the drop target answered ("dropped: copy",
# "not dropped..."). Bounded: gives up after 40 s.
#   drag.sh X Y uris FILE... | X Y text TEXT
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=../../e2e/harness.sh
source "$(dirname "$(realpath "$0")")/../../e2e/harness.sh"
begin_run drag 40
drag_to_screen "$@"
echo "$dropped"

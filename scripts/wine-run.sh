#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's private prefix; the exit
# status is the program's. Used by CTest for every Windows test.
source "$(dirname "$0")/wine-env.sh"
exec wine "$@" </dev/null

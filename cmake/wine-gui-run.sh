#!/usr/bin/env bash
# Runs a Windows program that shows windows under Wine: wine-gui-run.sh PREFIX PROGRAM [ARGS...]
# Wine needs an X display for windows. All Wine programs of one prefix share
# one wineserver and its desktop, so they should share one display too:
# scripts/test-wine.sh starts one Xvfb for the whole run. Without a display
# the program gets an Xvfb of its own.
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
exec "$(dirname "$0")/wine-run.sh" "$@"

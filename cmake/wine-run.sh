#!/usr/bin/env bash
# Runs a Windows test program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use; ctest may start several programs at once,
# so its creation is serialised by a lock beside it.
set -euo pipefail
prefix=$1
shift

export WINEPREFIX=$prefix
export WINEDEBUG=-all
export LC_ALL=C.UTF-8
# No Mono or Gecko installer dialogs while the prefix is made: the tests need
# neither, and without a display they would only slow the first run down.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$(dirname "$prefix")"
    (
        flock 9
        if [ ! -f "$prefix/system.reg" ]; then
            wineboot -i >/dev/null 2>&1 || true
            wineserver -w
        fi
    ) 9>"$prefix.lock"
fi

exec wine "$@"

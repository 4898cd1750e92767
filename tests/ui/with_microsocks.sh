#!/usr/bin/env bash
# Runs a command with a microsocks SOCKS5 proxy on 127.0.0.1 beside it; the
# proxy's port is in TARNWELL_TEST_SOCKS_PORT (Wine hands the variable on to
# the Windows program). with_microsocks.sh COMMAND [ARGS...]
set -euo pipefail

proxy=
cleanup() {
    if [ -n "$proxy" ]; then kill "$proxy" 2>/dev/null || true; wait "$proxy" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A port that happens to be taken makes microsocks exit at once: another one is tried.
for attempt in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    microsocks -i 127.0.0.1 -p "$port" >/dev/null 2>&1 &
    proxy=$!
    for tenth in $(seq 1 50); do
        if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then break 2; fi
        kill -0 "$proxy" 2>/dev/null || break
        sleep 0.1
    done
    kill "$proxy" 2>/dev/null || true
    wait "$proxy" 2>/dev/null || true
    proxy=
done
[ -n "$proxy" ] || { echo "microsocks did not start" >&2; exit 1; }

export TARNWELL_TEST_SOCKS_PORT=$port
code=0
"$@" || code=$?
exit "$code"

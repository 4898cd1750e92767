#!/usr/bin/env bash
# Takes a screenshot of the main window with a running watch: starts the built
# program under Xvfb, types a temporary folder into the first page, presses
# Start with the keyboard as a user would, creates a few files there and
# grabs the whole screen into the PNG file given as the argument.
#   scripts/screenshot-main.sh /tmp/main.png
set -euo pipefail

if [ -z "${TARNWELL_IN_XVFB:-}" ]; then
    out=${1:?usage: scripts/screenshot-main.sh OUTPUT.png}
    here=$(cd "$(dirname "$0")/.." && pwd)
    program=${TARNWELL_PROGRAM:-$here/build/src/app/tarnwell}
    if [ ! -x "$program" ]; then
        echo "The program is not built: $program is missing (run scripts/start.sh or cmake --build build)." >&2
        exit 1
    fi
    export TARNWELL_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$(realpath -m "$out")" "$program"
fi

out=$1
program=$2
folder=$(mktemp -d)
staging=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    rm -rf "$folder" "$staging"
}
trap cleanup EXIT

# shellcheck source=scripts/lib/wait_for.sh
. "$(dirname "$(realpath "$0")")/lib/wait_for.sh"

"$program" &
pid=$!
wait_for 100 xdotool search --onlyvisible --name '^Watcher'
window=$(xdotool search --onlyvisible --name '^Watcher' | head -n 1)
xdotool windowfocus --sync "$window"

# The new page gives the keyboard to its path box; Start is three Tabs further.
xdotool type --delay 5 "$folder"
xdotool key --delay 50 Tab Tab Tab space
sleep 0.5
for name in report.txt notes.md "budget 2026.csv" image.png; do
    printf 'some text\n' > "$staging/$name"
    mv "$staging/$name" "$folder/$name"
done
rm "$folder/notes.md"
# Two ticks of the clock, so it shows.
sleep 1.2
import -window root "$out"
echo "screenshot written to $out"

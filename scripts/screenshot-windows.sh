#!/usr/bin/env bash
# Pictures of the Windows program as a user sees it: starts the built
# tarnwell.exe under Wine and an Xvfb of its own, types a temporary folder into
# the first page, starts the watch with the keyboard, creates a few files
# there, and grabs the main window; then opens the About box from the Help
# menu and grabs it.
#   scripts/screenshot-windows.sh [OUTPUT_FOLDER]   (default: docs/)
# Writes windows-main-window.png and windows-about-box.png.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${TARNWELL_IN_XVFB:-}" ]; then
    out=$(realpath -m "${1:-$here/docs}")
    program=${TARNWELL_PROGRAM:-$here/build-win/src/app/tarnwell.exe}
    if [ ! -f "$program" ]; then
        echo "The Windows program is not built: $program is missing (run scripts/test-wine.sh)." >&2
        exit 1
    fi
    export TARNWELL_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x900x24" "$0" "$out" "$(realpath "$program")"
fi

out=$1
program=$2
mkdir -p "$out"
export WINEPREFIX=${WINEPREFIX:-$here/build-win/wineprefix}
folder=$(mktemp -d)
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    wineserver -w 2>/dev/null || true
    rm -rf "$folder"
}
trap cleanup EXIT

# shellcheck source=scripts/lib/wait_for.sh
. "$here/scripts/lib/wait_for.sh"

"$here/cmake/wine-run.sh" "$WINEPREFIX" "$program" &
pid=$!
wait_for 300 xdotool search --onlyvisible --name '^Watcher$'
window=$(xdotool search --onlyvisible --name '^Watcher$' | head -n 1)
xdotool windowfocus --sync "$window"

# The path box has the focus on a new page; Tab goes Browse, Include
# Subdirectories, Start.
windows_folder="Z:${folder//\//\\}"
xdotool type --delay 5 "$windows_folder"
xdotool key Tab Tab Tab space
# The watch takes in changes from its first read on, a moment after Start.
sleep 1
for name in report.txt budget.xlsx notes.md; do
    printf 'Tarnwell\n' >"$folder/$name"
    sleep 0.3
done
rm "$folder/notes.md"
sleep 1.5
import -window "$window" "$out/windows-main-window.png"

# Help menu, About.
xdotool key alt+h a
wait_for 100 xdotool search --onlyvisible --name '^About$'
about=$(xdotool search --onlyvisible --name '^About$' | head -n 1)
sleep 0.5
import -window "$about" "$out/windows-about-box.png"
xdotool key Return
wait_for 50 sh -c "! xdotool search --onlyvisible --name '^About$'"

xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+F4
code=0
wait "$pid" || code=$?
pid=
echo "pictures in $out; the program ended with exit code $code"

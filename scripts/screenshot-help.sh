#!/usr/bin/env bash
# Shows that help opens in the program's own help window, under a virtual
# display: Help > "Tarnwell Help" opens it at the table of contents, and F1 on
# a watch page brings the same window to the front at the main-window topic.
# Takes a screenshot of each; the second is the picture in docs/.
#
#   scripts/screenshot-help.sh [build folder] [output folder]
#
# Needs a built program (with tarnwell.chm beside it), Xvfb, xdotool and
# ImageMagick's import; scripts/setup.sh installs them. No CHM viewer is used.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots}
program=$build/src/app/tarnwell

[ -x "$program" ] || { echo "no program at $program: build first" >&2; exit 1; }
[ -f "$build/src/app/tarnwell.chm" ] || { echo "no tarnwell.chm beside $program" >&2; exit 1; }
mkdir -p "$out"

# Every process started here is ended by its own id at the end.
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# shellcheck source=scripts/lib/wait_for.sh
. "$(dirname "$(realpath "$0")")/lib/wait_for.sh"

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
wait_for 100 xdpyinfo || { echo "Xvfb did not start" >&2; exit 1; }

shoot() {
    xdotool mousemove 1270 790 # no tool tip over the picture
    sleep 0.5
    import -window root "$out/$1"
    echo "wrote $out/$1"
}
help_windows() {
    xdotool search --all --onlyvisible --pid "$program_pid" --name '^Tarnwell Help$' 2>/dev/null || true
}
help_window_open() { [ -n "$(help_windows)" ]; }

"$program" >/dev/null 2>&1 &
program_pid=$!
pids+=("$program_pid")
wait_for 150 xdotool search --name '^Watcher$' || { echo "the main window did not open" >&2; exit 1; }
main=$(xdotool search --name '^Watcher$' | head -n 1)
xdotool windowsize "$main" 900 600 windowmove "$main" 0 0
xdotool windowfocus --sync "$main"

# Help > Tarnwell Help: the table of contents.
xdotool key --window "$main" alt+h
sleep 0.5
xdotool key Return
wait_for 150 help_window_open || { echo "Tarnwell Help opened no help window" >&2; exit 1; }
help=$(help_windows | head -n 1)
xdotool windowmove "$help" 260 140
shoot help-contents.png

# F1 in the path box of the watch page: the same window, at the main-window topic.
xdotool windowfocus --sync "$main"
xdotool mousemove --window "$main" 80 126 click 1 # the path box
xdotool key --window "$main" F1
sleep 1
[ "$(help_windows | wc -l)" -eq 1 ] || { echo "F1 opened a second help window" >&2; exit 1; }
shoot help-window.png

#!/usr/bin/env bash
# Shows that help opens, under a virtual display: Help > "Tarnwell Help" opens
# the viewer on the table of contents, and F1 on a watch page opens the
# main-window topic. Takes a screenshot of each.
#
#   scripts/screenshot-help.sh [build folder] [output folder]
#
# Needs a built program (with tarnwell.chm beside it), Xvfb, xdotool,
# ImageMagick's import and a CHM viewer (xchm or kchmviewer); scripts/setup.sh
# installs them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots}
program=$build/src/app/tarnwell

[ -x "$program" ] || { echo "no program at $program: build first" >&2; exit 1; }
[ -f "$build/src/app/tarnwell.chm" ] || { echo "no tarnwell.chm beside $program" >&2; exit 1; }
if ! command -v kchmviewer >/dev/null && ! command -v xchm >/dev/null; then
    echo "no CHM viewer (kchmviewer or xchm) on the PATH" >&2
    exit 1
fi
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

# The viewer windows, to tell a new one from those already open.
viewer_windows() {
    { xdotool search --classname xchm; xdotool search --classname kchmviewer; } 2>/dev/null | sort -u || true
}
new_viewer_window() {
    comm -13 <(printf '%s\n' $1 | sort -u) <(viewer_windows) | head -n 1 | grep .
}
# Once the viewer has loaded the file, its title names the help file's title.
viewer_loaded() {
    xdotool getwindowname "$1" | grep -qi "tarnwell"
}
shoot() {
    xdotool mousemove 1270 790 # no tool tip over the picture
    sleep 1 # let the viewer finish painting the page; the title is set before it is drawn
    import -window root "$out/$1"
    echo "wrote $out/$1"
}
close_viewer() {
    local pid
    pid=$(xdotool getwindowpid "$1" 2>/dev/null || true)
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    wait_for 50 sh -c "! xdotool getwindowname $1" || true
}

"$program" >/dev/null 2>&1 &
pids+=($!)
wait_for 150 xdotool search --name '^Watcher$' || { echo "the main window did not open" >&2; exit 1; }
main=$(xdotool search --name '^Watcher$' | head -n 1)
xdotool windowsize "$main" 900 600 windowmove "$main" 0 0
xdotool windowfocus --sync "$main"

# Help > Tarnwell Help: the table of contents.
before=$(viewer_windows)
xdotool key --window "$main" alt+h
sleep 0.5
xdotool key Return
wait_for 150 new_viewer_window "$before" || { echo "Tarnwell Help opened no viewer" >&2; exit 1; }
toc=$(new_viewer_window "$before")
wait_for 150 viewer_loaded "$toc" || true
shoot help-contents.png
close_viewer "$toc"

# F1 in the path box of the watch page: the main-window topic.
xdotool windowfocus --sync "$main"
xdotool mousemove --window "$main" 80 126 click 1 # the path box
before=$(viewer_windows)
xdotool key --window "$main" F1
wait_for 150 new_viewer_window "$before" || { echo "F1 opened no viewer" >&2; exit 1; }
topic=$(new_viewer_window "$before")
wait_for 150 viewer_loaded "$topic" || true
shoot help-f1-main-window.png
close_viewer "$topic"

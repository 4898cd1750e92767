#!/usr/bin/env bash
# Shows the About box under a virtual display with the result of a check for
# updates against a local server that offers version 1.2, and takes a
# screenshot of it. Then the server's document loses its download address and
# the box is checked again: the second screenshot shows the error line above
# the earlier result, which stays.
#
#   scripts/screenshot-about.sh [build folder] [output file]
#
# The second screenshot is written beside the first, "-again" before ".png".
#
# Needs a build of the Qt program, which makes tools/about_box_demo, python3,
# xvfb-run and ImageMagick's import; scripts/setup.sh installs them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-$build/screenshots/about.png}
demo=$build/tools/about_box_demo

[ -x "$demo" ] || { echo "no $demo: build first" >&2; exit 1; }
if [ -z "${TARNWELL_UNDER_XVFB:-}" ]; then
    TARNWELL_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 640x400x24 -nolisten tcp" "$0" "$build" "$out"
fi
mkdir -p "$(dirname "$out")"

work=$(mktemp -d)
# Every process started here is ended by its own id at the end.
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/lib/wait_for.sh
. "$(dirname "$(realpath "$0")")/lib/wait_for.sh"

mkdir -p "$work/site/versions"
cat >"$work/site/versions/versions.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<ProductVersions>
  <Tarnwell>
    <Version>1.2</Version>
    <URL>http://127.0.0.1/downloads/tarnwell-1.2.zip</URL>
  </Tarnwell>
</ProductVersions>
XML

# Port 0: the system picks a free one, which the server names in its first line.
python3 -u -m http.server --bind 127.0.0.1 --directory "$work/site" 0 >"$work/server.log" 2>&1 &
pids+=($!)
wait_for 100 grep -q "port [0-9]" "$work/server.log" || { echo "the test server did not start" >&2; exit 1; }
port=$(sed -n 's/.* port \([0-9][0-9]*\).*/\1/p' "$work/server.log" | head -n 1)

QT_QPA_PLATFORM=xcb "$demo" 127.0.0.1 "$port" "$work/again" >"$work/demo.log" 2>&1 &
pids+=($!)
shoot() {
    wait_for 150 grep -q "^checked $1" "$work/demo.log" || { echo "check $1 did not end" >&2; cat "$work/demo.log" >&2; exit 1; }
    sleep 0.5 # the repaint after the check is not announced
    import -window root "$2"
    echo "wrote $2"
}
shoot 1 "$out"
grep -q "GET /versions/versions.xml" "$work/server.log" || { echo "the server saw no request" >&2; exit 1; }

sed -i '/<URL>/d' "$work/site/versions/versions.xml"
touch "$work/again"
shoot 2 "${out%.png}-again.png"

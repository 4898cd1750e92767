#!/usr/bin/env bash
# Renders tarnwell.svg into the icon-theme sizes under icons/hicolor/. The PNG
# files are committed, so that building Tarnwell needs no SVG renderer; run
# this after changing the picture. With --check it renders into a temporary
# folder instead and fails when a committed file differs from what the SVG
# gives, so a picture changed without its PNG files does not go unnoticed.
#   packaging/render-icons.sh [--check]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sizes=(16 22 24 32 48 64 128 256)

if ! command -v rsvg-convert >/dev/null; then
    echo "rsvg-convert is missing (Debian package librsvg2-bin; scripts/setup.sh installs it)" >&2
    exit 1
fi

check=
[ "${1:-}" = --check ] && check=1
out=$here/icons/hicolor
if [ -n "$check" ]; then
    out=$(mktemp -d)
    trap 'rm -rf "$out"' EXIT
fi

for size in "${sizes[@]}"; do
    mkdir -p "$out/${size}x${size}/apps"
    rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
        "$here/tarnwell.svg" --output "$out/${size}x${size}/apps/tarnwell.png"
done

[ -n "$check" ] || exit 0
stale=0
for size in "${sizes[@]}"; do
    name=${size}x${size}/apps/tarnwell.png
    committed=$here/icons/hicolor/$name
    if [ ! -f "$committed" ]; then
        echo "missing: packaging/icons/hicolor/$name" >&2
        stale=1
    elif ! cmp -s "$committed" "$out/$name"; then
        # Another librsvg may round a few edge pixels differently; only a
        # visible difference counts.
        differing=$(compare -metric AE -fuzz 8% "$committed" "$out/$name" null: 2>&1 || true)
        if [ "${differing%% *}" != 0 ] && [ "$((${differing%% *} * 100 / (size * size)))" -ge 1 ]; then
            echo "out of date: packaging/icons/hicolor/$name ($differing pixels differ from tarnwell.svg)" >&2
            stale=1
        fi
    fi
done
if [ "$stale" -ne 0 ]; then
    echo "run packaging/render-icons.sh and commit the PNG files" >&2
    exit 1
fi
echo "the icon's PNG files match tarnwell.svg"

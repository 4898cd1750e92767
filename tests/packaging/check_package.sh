#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it as installed:
# the control fields, the executable with tarnwell.chm beside it in
# usr/lib/tarnwell and the link in usr/bin, the menu entry, the icons and the
# metainfo; then starts the unpacked program through its link under Xvfb, with
# no help viewer anywhere on the PATH, and checks that its window carries the
# icon and that F1 opens the program's own help window at the main window's
# topic, once however often it is pressed.
#   tests/packaging/check_package.sh BUILD_FOLDER PACKAGING_FOLDER
set -euo pipefail
build=$(realpath "$1")
packaging=$(realpath "$2")

if [ -z "${TARNWELL_IN_XVFB:-}" ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    failures=0
    fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
    field() { dpkg-deb --field "$deb" "$1"; }

    echo "== building the package"
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
    debs=("$work"/out/tarnwell_*.deb)
    [ -f "${debs[0]}" ] || { echo "FAIL: no tarnwell_*.deb in cpack's output" >&2; exit 1; }
    deb=${debs[0]}
    echo "$(basename "$deb")"

    echo "== control fields"
    [ "$(field Package)" = tarnwell ] || fail "Package is '$(field Package)'"
    [ "$(field Section)" = utils ] || fail "Section is '$(field Section)'"
    [ "$(field Maintainer)" = "Tarnwell developers <dev@tarnwell.invalid>" ] ||
        fail "Maintainer is '$(field Maintainer)'"
    # The help window is part of the program: no outside viewer is wanted.
    if recommends=$(field Recommends 2>/dev/null) && [ -n "$recommends" ]; then
        fail "Recommends is '$recommends'"
    fi
    depends=$(field Depends)
    # The libraries the executable links, and the platform plugins it loads.
    for needed in libqt6widgets6 libqt6gui6 libqt6core6 libqt6xml6 libstdc++6 libc6 qt6-qpa-plugins; do
        [[ ", $depends," == *", $needed "* || ", $depends," == *", $needed,"* ]] ||
            fail "Depends lacks $needed: $depends"
    done
    # Every dependency must be a package this system knows, or apt-get cannot
    # install the .deb.
    IFS=',' read -ra alternatives <<<"$depends"
    for dependency in "${alternatives[@]}"; do
        name=$(sed -E 's/^ *([^ (|]+).*/\1/' <<<"$dependency")
        apt-cache show "$name" >/dev/null 2>&1 || fail "Depends names the unknown package $name"
    done

    echo "== contents"
    root=$work/root
    dpkg -x "$deb" "$root"
    program=$root/usr/bin/tarnwell
    real=$root/usr/lib/tarnwell/tarnwell
    [ -x "$real" ] && [ -f "$real" ] && [ ! -L "$real" ] ||
        fail "no executable usr/lib/tarnwell/tarnwell"
    [ -L "$program" ] && [ "$(readlink "$program")" = ../lib/tarnwell/tarnwell ] ||
        fail "usr/bin/tarnwell is no relative link to ../lib/tarnwell/tarnwell"
    [ "$(realpath "$program")" = "$(realpath "$real")" ] || fail "usr/bin/tarnwell leads elsewhere"
    # Executables only in usr/bin: the help file is data.
    others=$(find "$root/usr/bin" -mindepth 1 ! -name tarnwell)
    [ -z "$others" ] || fail "usr/bin holds more than the link: $others"
    # The help unit looks beside the executable's real path.
    chm=$root/usr/lib/tarnwell/tarnwell.chm
    if [ ! -f "$chm" ]; then
        fail "no tarnwell.chm beside the executable ($chm)"
    elif [ "$(head -c 4 "$chm")" != ITSF ]; then
        fail "tarnwell.chm is not a compiled help file"
    fi
    program_file=$real
    if file "$program_file" | grep -q "not stripped"; then
        fail "the executable in the package is not stripped"
    fi

    desktop=$root/usr/share/applications/tarnwell.desktop
    if [ ! -f "$desktop" ]; then
        fail "no usr/share/applications/tarnwell.desktop"
    else
        desktop-file-validate "$desktop" || fail "desktop-file-validate rejects tarnwell.desktop"
        entry() { sed -n "s/^$1=//p" "$desktop"; }
        [ "$(entry Name)" = Tarnwell ] || fail "Name is '$(entry Name)'"
        [ -n "$(entry Comment)" ] || fail "no Comment"
        [ "$(entry Exec)" = tarnwell ] || fail "Exec is '$(entry Exec)', not the bare program"
        [ "$(entry Icon)" = tarnwell ] || fail "Icon is '$(entry Icon)'"
        # One main category, so menus list the program once.
        [ "$(entry Categories)" = "System;Monitor;" ] ||
            fail "Categories is '$(entry Categories)'"
        hints=$(desktop-file-validate "$desktop" 2>&1 | grep -i "hint" || true)
        [ -z "$hints" ] || fail "desktop-file-validate hints: $hints"
        # The menu starts the program by name, so it must be where PATH finds it.
        [ -x "$root/usr/bin/$(entry Exec)" ] || fail "Exec names no program in usr/bin"
    fi

    for size in 16 22 24 32 48 64 128 256; do
        icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/tarnwell.png
        if [ ! -f "$icon" ]; then
            fail "no ${size}x${size} icon"
        elif [ "$(identify -format '%wx%h' "$icon")" != "${size}x${size}" ]; then
            fail "the ${size}x${size} icon is $(identify -format '%wx%h' "$icon")"
        fi
    done
    [ -f "$root/usr/share/icons/hicolor/scalable/apps/tarnwell.svg" ] || fail "no scalable icon"

    metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
    if [ ! -f "${metainfo[0]}" ]; then
        fail "no metainfo in usr/share/metainfo"
    elif command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "${metainfo[0]}" || fail "appstreamcli rejects the metainfo"
        grep -q '<launchable type="desktop-id">tarnwell.desktop</launchable>' "${metainfo[0]}" ||
            fail "the metainfo does not launch tarnwell.desktop"
    fi

    if command -v rsvg-convert >/dev/null; then
        "$packaging/render-icons.sh" --check || fail "the icon's PNG files are older than tarnwell.svg"
    fi

    echo "== the unpacked program under Xvfb"
    if [ -x "$program" ]; then
        TARNWELL_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$program" "$work" ||
            failures=$((failures + 1))
    fi

    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "the package is complete"
    exit 0
fi

# Under Xvfb: $1 the unpacked executable, $2 a scratch folder.
program=$1
work=$2
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A PATH with the basic tools only: no help viewer can be found, even where
# one is installed on this machine.
tools=$work/tools
mkdir -p "$tools"
for tool in sh env xdg-open; do
    if command -v "$tool" >/dev/null; then ln -sf "$(command -v "$tool")" "$tools/$tool"; fi
done

# shellcheck source=scripts/lib/wait_for.sh
. "$(dirname "$(realpath "$0")")/../../scripts/lib/wait_for.sh"

XDG_CONFIG_HOME=$work/config PATH="$tools" "$program" &
pid=$!
if ! wait_for 100 xdotool search --onlyvisible --pid "$pid" --name '^Watcher'; then
    echo "FAIL: the program from the package shows no main window" >&2
    exit 1
fi
window=$(xdotool search --onlyvisible --pid "$pid" --name '^Watcher' | head -n 1)

icons=$(xprop -id "$window" _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | tr '\n' ' ')
[[ "$icons" == *"Icon (16 x 16)"* && "$icons" == *"Icon (48 x 48)"* ]] ||
    fail "the window icon lacks the small sizes: ${icons:-none}"
class=$(xprop -id "$window" WM_CLASS | sed -E 's/.*, "([^"]*)"$/\1/')
entry_class=$(sed -n 's/^StartupWMClass=//p' "$work/root/usr/share/applications/tarnwell.desktop")
[ -z "$entry_class" ] || [ "$class" = "$entry_class" ] ||
    fail "the window's class is '$class', the menu entry expects '$entry_class'"

xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
xdotool key F1
if wait_for 100 xdotool search --all --onlyvisible --pid "$pid" --name '^Tarnwell Help$'; then
    # F1 twice more, with the main window in front: still one help window.
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
    xdotool key F1
    sleep 0.5
    xdotool windowactivate --sync "$window" >/dev/null 2>&1 || xdotool windowfocus --sync "$window"
    xdotool key F1
    sleep 0.5
    count=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Tarnwell Help$' | wc -l)
    [ "$count" -eq 1 ] || fail "three F1 presses opened $count help windows"
    children=$({ pgrep -P "$pid" || true; } | wc -l)
    [ "$children" -eq 0 ] || fail "help started $children other program(s)"
else
    # A missing help file shows its warning box instead.
    others=$(xdotool search --onlyvisible --pid "$pid" --name '' 2>/dev/null | grep -cvx "$window" || true)
    fail "F1 opened no help window ($others other window(s) of the program opened)"
fi
exit "$((failures != 0))"

#!/usr/bin/env bash
# The Windows installer as a user runs it, under Wine on the run's display
# (an Xvfb of its own when there is none):
# a silent install, the files side by side, the Start-menu shortcut and the
# uninstall entry; the installed program starts and ends with exit code 0 when
# its window is closed; a silent uninstall leaves nothing behind.
#   check_windows_installer.sh WINE_RUN PREFIX INSTALLER
set -euo pipefail

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

wine_run=$1
export WINEPREFIX=$2
installer=$3
here=$(dirname "$(realpath "$0")")
# shellcheck source=scripts/lib/wait_for.sh
. "$here/../../scripts/lib/wait_for.sh"

folder="$WINEPREFIX/drive_c/Program Files/Tarnwell"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tarnwell.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwell'
pid=
cleanup() {
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$wine_run" "$WINEPREFIX" "$installer" /S || fail "the installer failed"
for file in tarnwell.exe tarnwell.chm uninstall.exe; do
    [ -f "$folder/$file" ] || fail "$file is not installed in $folder"
done
cmp -s "$folder/tarnwell.exe" "$(dirname "$installer")/../src/app/tarnwell.exe" ||
    fail "the installed program is not the one built"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
uninstall=$("$wine_run" "$WINEPREFIX" reg query "$key" /v UninstallString 2>/dev/null | tr -d '\r')
echo "$uninstall" | grep -q 'uninstall.exe' || fail "no uninstall entry: $uninstall"
echo "$uninstall"

# The installed program, as the shortcut starts it.
"$wine_run" "$WINEPREFIX" "C:\\Program Files\\Tarnwell\\tarnwell.exe" &
pid=$!
wait_for 300 xdotool search --onlyvisible --name '^Watcher$' || fail "the program shows no window"
window=$(xdotool search --onlyvisible --name '^Watcher$' | head -n 1)
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+F4
code=0
wait "$pid" || code=$?
pid=
[ "$code" -eq 0 ] || fail "the program ended with exit code $code"

# The uninstaller copies itself away and returns at once; its work is waited for.
"$wine_run" "$WINEPREFIX" "C:\\Program Files\\Tarnwell\\uninstall.exe" /S ||
    fail "the uninstaller failed"
wait_for 300 test ! -e "$folder" || fail "the program's folder is still there"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
if "$wine_run" "$WINEPREFIX" reg query "$key" >/dev/null 2>&1; then
    fail "the uninstall entry is still there"
fi
echo "installed, started, closed and uninstalled"

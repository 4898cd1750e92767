#!/usr/bin/env bash
# The Windows program must run on a bare Windows: every DLL it imports is one
# that Windows ships. check_imports.sh OBJDUMP PROGRAM.exe
set -euo pipefail
objdump=$1
program=$2

allowed="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll"
allowed+=" oleaut32.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll uxtheme.dll version.dll"

imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$imports" ] || { echo "no import table found in $program"; exit 1; }
status=0
for dll in $imports; do
    if [[ " $allowed " == *" $dll "* ]]; then
        echo "ok: $dll"
    else
        echo "not a Windows DLL: $dll"
        status=1
    fi
done
exit $status

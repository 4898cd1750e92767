#!/usr/bin/env bash
# Checks the house style: every C++ file under src/, tests/, tools/ and bench/
# as clang-format would leave it, and clang-tidy's checks (.clang-tidy) over
# the sources under src/ and tools/ that a build compiles. Exits non-zero on
# any finding.
#
#   scripts/check-style.sh [build folder]   (default: build)
#
# clang-tidy reads the build's compile_commands.json, so the build must be
# configured, and built once for the Qt sources' generated files. The
# Windows build (build-win) checks the win32 folders: its mingw-w64 compiler
# tells clang-tidy the target and the C++ headers to use. TARNWELL_JOBS sets
# how many files are checked at once.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
jobs=${TARNWELL_JOBS:-2}
status=0

mapfile -d '' formatted < <(find src tests tools bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if ! clang-format --dry-run -Werror "${formatted[@]}"; then
    echo "check-style: clang-format would change the files above (clang-format -i them)" >&2
    status=1
fi

commands="$build/compile_commands.json"
if [ ! -f "$commands" ]; then
    echo "check-style: $commands is missing; configure the build first" >&2
    exit 1
fi
# The C++ sources this build compiles under src/ and tools/ (CMake writes one
# absolute "file" a line; the Windows build lists its resource script too),
# and its compiler.
mapfile -t sources < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$commands" |
    grep -E "^$PWD/(src|tools)/.*\.cpp$" | sort -u)
compiler=$(sed -n 's/^ *"command": "\([^ ]*\) .*/\1/p' "$commands" | head -n 1)
if [ "${#sources[@]}" -eq 0 ]; then
    echo "check-style: no source under src/ in $commands" >&2
    exit 1
fi

tidy=(clang-tidy -p "$build" --quiet)
if [[ $compiler == *mingw* ]]; then
    # clang knows the mingw-w64 C headers by the target; the C++ library is
    # the one the cross compiler searches.
    tidy+=("--extra-arg=--target=$("$compiler" -dumpmachine)" --extra-arg=-nostdinc++)
    while read -r dir; do
        tidy+=("--extra-arg=-isystem$dir")
    done < <("$compiler" -E -x c++ -v - </dev/null 2>&1 |
        sed -n '/search starts here:/,/End of search list/p' | grep '^ .*c++')
fi

# One clang-tidy per file, several at once; each prints its findings whole.
# The counts of warnings it suppressed in headers outside src/ are noise.
if ! printf '%s\0' "${sources[@]}" | xargs -0 -n 1 -P "$jobs" "${tidy[@]}" \
    2> >(grep -v -E '^[0-9]+ (warning|error)s? (and [0-9]+ (warning|error)s? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' >&2); then
    echo "check-style: clang-tidy found the faults above" >&2
    status=1
fi
exit $status

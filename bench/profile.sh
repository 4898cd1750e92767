#!/usr/bin/env bash
# Where Tarnwell's time goes during a burst, counted in instructions: the
# driver runs under callgrind, which counts only from "ready" to the end, so
# start-up is left out and the count per change is comparable from run to
# run. Instruction counts do not depend on what else the machine is doing,
# which makes them the measure to judge a change by when the machine is busy.
#
#   bench/profile.sh [--files N] [--show] [--rate OPS] [OUT_DIR]
#
# Writes OUT_DIR/callgrind.out (default $TMPDIR/tarnwell-profile) and prints the
# instructions per reported change and the top functions, inclusive and self.
# The burst stays below the kernel's queue (16384 events), so the slowness of
# the run under callgrind costs no overflow.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
files=2000
show=()
rate=()
out="${TMPDIR:-/tmp}/tarnwell-profile"
while [ $# -gt 0 ]; do
    case $1 in
    --files) files=$2 && shift ;;
    --show) show=(--show) ;;
    --rate) rate=(--rate "$2") && shift ;;
    -*)
        echo "usage: bench/profile.sh [--files N] [--show] [--rate OPS] [OUT_DIR]" >&2
        exit 2
        ;;
    *) out=$1 ;;
    esac
    shift
done

command -v valgrind >/dev/null || "$root/scripts/setup.sh"
build="$root/build-bench"
if [ ! -f "$build/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null &&
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTARNWELL_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j2 --target tarnwell_bench tarnwell_burst >/dev/null
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" "$out" && chmod 700 "$XDG_RUNTIME_DIR"

dir=$(mktemp -d /dev/shm/tarnwell-profile.XXXXXX)
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
mkdir "$dir/w"
valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out/callgrind.out" \
    "$build/bench/tarnwell_bench" --path "$dir/w" --log "$dir/log" --format csv \
    --idle-ms 3000 --ready-timeout-ms 120000 "${show[@]}" >"$out/driver.json" 2>"$dir/err" &
pid=$!
deadline=$(($(date +%s) + 180))
until grep -q '^ready$' "$dir/err" 2>/dev/null; do
    if ! kill -0 "$pid" 2>/dev/null || [ "$(date +%s)" -gt "$deadline" ]; then
        cat "$dir/err" >&2
        exit 1
    fi
    sleep 0.1
done
callgrind_control --instr=on "$pid" >/dev/null 2>&1
"$build/bench/tarnwell_burst" --dir "$dir/w" --files "$files" "${rate[@]}" >/dev/null
wait "$pid" || true
pid=

changes=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1]).read().splitlines()[-1])["changes"])' "$out/driver.json")
callgrind_annotate "$out/callgrind.out" >"$out/self.txt" 2>/dev/null
callgrind_annotate --inclusive=yes "$out/callgrind.out" >"$out/inclusive.txt" 2>/dev/null
total=$(awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }' "$out/self.txt")
echo "changes reported: $changes; instructions: $total; per change: $((total / (changes > 0 ? changes : 1)))"
echo "== inclusive"
sed -n '/^Ir/,$p' "$out/inclusive.txt" | head -40 || true
echo "== self"
sed -n '/^Ir/,$p' "$out/self.txt" | head -30 || true

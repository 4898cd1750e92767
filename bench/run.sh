#!/usr/bin/env bash
# Measures how fast and how completely Tarnwell reports a burst of changes,
# side by side with inotifywait and fswatch, in one run on this machine.
#
#   bench/run.sh            every scenario, the large ones on /tmp cut to 20,000 files
#   bench/run.sh --full     the large ones on /tmp at 100,000 files too (some 20 minutes)
#   bench/run.sh --smoke    tiny sizes, to check the script itself
#
# Each watcher gets a fresh folder of its own and the whole machine while its
# burst runs; the three run one after the other. Results go to
# bench/results/latest.jsonl and bench/results/latest.md.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
# Creating files on this machine's /tmp is some 50 times slower than on
# /dev/shm, so by default the 100,000-file bursts on /tmp are cut to 20,000
# files to keep the run near 5 minutes; --full runs them at 100,000.
small=10000 big=100000 tmp_big=20000 seconds=10
case ${1:-} in
--full) tmp_big=100000 ;;
# A check of this script itself, in under a minute; its numbers mean little.
--smoke) small=1000 big=2000 tmp_big=2000 seconds=2 ;;
"") ;;
*)
    echo "usage: bench/run.sh [--full|--smoke]" >&2
    exit 2
    ;;
esac

# Peers: installed by the project's setup when missing.
if ! command -v inotifywait >/dev/null || ! command -v fswatch >/dev/null ||
    ! command -v cmake >/dev/null; then
    "$root/scripts/setup.sh"
fi

build="$root/build-bench"
if [ ! -f "$build/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null &&
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DTARNWELL_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j2 --target tarnwell_bench tarnwell_burst >/dev/null
driver="$build/bench/tarnwell_bench"
burst="$build/bench/tarnwell_burst"
analyze=(python3 "$here/analyze.py")
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

results="$here/results"
mkdir -p "$results"
out="$results/latest.jsonl"
: >"$out"
work_dirs=()
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for d in "${work_dirs[@]}"; do rm -rf "$d"; done
}
trap cleanup EXIT

# How long a watcher's output must stand still before its run counts as over;
# the driver stops itself after the same quiet time.
quiet_ms=1500
clk_tck=$(getconf CLK_TCK)

now_ms() { date +%s%3N; }

# The inotify watches PID holds, from /proc.
watch_count() {
    cat /proc/"$1"/fdinfo/* 2>/dev/null | grep -c '^inotify wd:' || true
}

# Waits until PID watches at least N folders (bounded); false if it died.
wait_watches() {
    local pid=$1 n=$2 deadline=$(($(now_ms) + 30000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        kill -0 "$pid" 2>/dev/null || return 1
        [ "$(watch_count "$pid")" -ge "$n" ] && return 0
        sleep 0.02
    done
    return 1
}

# Waits until FILE has stopped growing for quiet_ms (bounded by 180 s).
wait_quiet() {
    local file=$1 last=-1 since deadline=$(($(now_ms) + 180000))
    since=$(now_ms)
    while [ "$(now_ms)" -lt "$deadline" ]; do
        local size
        size=$(stat -c %s "$file" 2>/dev/null || echo 0)
        if [ "$size" != "$last" ]; then
            last=$size
            since=$(now_ms)
        elif [ $(($(now_ms) - since)) -ge "$quiet_ms" ]; then
            return 0
        fi
        sleep 0.1
    done
}

# Keeps a peer's CPU seconds and peak memory (KiB) beside its output, then ends
# it. A peer that has ended by itself leaves its exit status instead.
stop_peer() {
    local pid=$1 prefix=$2
    local stat
    if stat=$(cat /proc/"$pid"/stat 2>/dev/null) && [ -n "$stat" ]; then
        stat=${stat##*) }
        # Fields after the command: 12 and 13 are utime and stime, in clock ticks.
        awk -v t="$clk_tck" '{ printf "%.3f\n", ($12 + $13) / t }' <<<"$stat" >"$prefix.cpu"
        awk '/^VmHWM:/ { print $2 }' /proc/"$pid"/status >"$prefix.mem" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    else
        local status=0
        wait "$pid" 2>/dev/null || status=$?
        echo "$status" >"$prefix.exit"
    fi
}

# One watcher on one fresh folder through one burst.
#   run_one SCENARIO PEER BASE FILES SUBDIRS(0|before:K|during:K) SUBTREE(0|1)
run_one() {
    local scenario=$1 peer=$2 base=$3 files=$4 subdirs=$5 subtree=$6
    local dir
    dir=$(mktemp -d "$base/tarnwell-bench.XXXXXX")
    work_dirs+=("$dir")
    local w="$dir/w"
    mkdir "$w"
    local folders=1 burst_args=(--dir "$w" --files "$files" --ops-log "$dir/ops")
    case $subdirs in
    before:*)
        local k=${subdirs#before:}
        for ((i = 0; i < k; i++)); do mkdir "$w/sub$i"; done
        folders=$((k + 1))
        burst_args+=(--subdirs "$k")
        ;;
    during:*) burst_args+=(--subdirs "${subdirs#during:}" --during) ;;
    esac
    local pid output="$dir/output"
    case $peer in
    tarnwell)
        local flags=(--path "$w" --log "$output" --format csv --idle-ms "$quiet_ms")
        [ "$subtree" = 1 ] && flags+=(--subtree)
        "$driver" "${flags[@]}" >"$dir/driver.json" 2>"$dir/driver.err" &
        pid=$!
        pids+=("$pid")
        local deadline=$(($(now_ms) + 30000))
        until grep -q "^ready$" "$dir/driver.err" 2>/dev/null; do
            if ! kill -0 "$pid" 2>/dev/null || [ "$(now_ms)" -gt "$deadline" ]; then
                echo "tarnwell_bench did not get ready:" >&2
                cat "$dir/driver.err" >&2
                return 1
            fi
            sleep 0.01
        done
        ;;
    inotifywait)
        inotifywait -m -r -q -e create,moved_from,moved_to,delete --format '%w%f|%e' \
            -o "$output" "$w" 2>"$dir/peer.err" &
        pid=$!
        pids+=("$pid")
        wait_watches "$pid" "$folders" || { echo "inotifywait did not set up its watches" >&2; return 1; }
        ;;
    fswatch)
        fswatch -r -x --latency 0.1 --event Created --event Removed --event MovedFrom \
            --event MovedTo --event Renamed --event Overflow "$w" >"$output" 2>"$dir/peer.err" &
        pid=$!
        pids+=("$pid")
        wait_watches "$pid" "$folders" || { echo "fswatch did not set up its watches" >&2; return 1; }
        ;;
    esac
    "$burst" "${burst_args[@]}" >"$dir/burst.json"
    local result
    if [ "$peer" = tarnwell ]; then
        # The driver stops itself once nothing has come for quiet_ms.
        local deadline=$(($(now_ms) + 180000))
        while kill -0 "$pid" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.1; done
        kill "$pid" 2>/dev/null || true
        wait "$pid" || true
        result=$("${analyze[@]}" run tarnwell "$dir/ops" "$output" "$dir/burst.json" "$dir/driver.json")
    else
        touch "$output"
        wait_quiet "$output"
        stop_peer "$pid" "$output"
        result=$("${analyze[@]}" run "$peer" "$dir/ops" "$output" "$dir/burst.json")
    fi
    python3 -c 'import json,sys; r=json.loads(sys.argv[2]); r.update(kind="run", scenario=sys.argv[1]); print(json.dumps(r))' "$scenario" "$result" >>"$out"
    tail -n 1 "$out" >&2
    rm -rf "$dir"
}

scenario() {
    local name=$1
    shift
    echo "== $name" >&2
    for peer in tarnwell inotifywait fswatch; do run_one "$name" "$peer" "$@"; done
}

scenario "${small} flat /tmp" /tmp "$small" 0 0
scenario "${small} flat /dev/shm" /dev/shm "$small" 0 0
scenario "${tmp_big} flat /tmp" /tmp "$tmp_big" 0 0
scenario "${big} flat /dev/shm" /dev/shm "$big" 0 0
scenario "${tmp_big} in 100 folders made before (subtree)" /tmp "$tmp_big" before:100 1
scenario "${small} in 100 folders made during (subtree)" /tmp "$small" during:100 1

# Latency: each line as a watcher prints it, stamped when it arrives here.
# inotifywait goes through the same stamping as a control: what it shows is
# what this machine and the stamping add by themselves.
stamp_lines() {
    python3 -u -c 'import sys, time
for line in sys.stdin.buffer:
    sys.stdout.buffer.write(b"%d\t" % time.time_ns() + line)'
}
latency_run() {
    local peer=$1 dir pid
    echo "== latency at 5000 ops/s: $peer" >&2
    # On /dev/shm: this machine's /tmp cannot create 5000 files a second.
    dir=$(mktemp -d /dev/shm/tarnwell-bench.XXXXXX)
    work_dirs+=("$dir")
    mkdir "$dir/w"
    if [ "$peer" = tarnwell ]; then
        "$driver" --path "$dir/w" --log "$dir/log" --idle-ms "$quiet_ms" --echo \
            > >(stamp_lines >"$dir/stamped") 2>"$dir/err" &
        pid=$!
        pids+=("$pid")
        local deadline=$(($(now_ms) + 30000))
        until grep -q '^ready$' "$dir/err" 2>/dev/null || [ "$(now_ms)" -gt "$deadline" ]; do sleep 0.01; done
    else
        inotifywait -m -q -e create,moved_from,moved_to,delete --format '%w%f|%e' "$dir/w" \
            > >(stamp_lines >"$dir/stamped") 2>"$dir/err" &
        pid=$!
        pids+=("$pid")
        wait_watches "$pid" 1 || { echo "inotifywait did not set up its watch" >&2; return 1; }
    fi
    "$burst" --dir "$dir/w" --files "$small" --rate 5000 --ops-log "$dir/ops" >"$dir/burst.json"
    if [ "$peer" = tarnwell ]; then
        local deadline=$(($(now_ms) + 60000))
        while kill -0 "$pid" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.1; done
    else
        touch "$dir/stamped"
        wait_quiet "$dir/stamped"
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    sleep 0.3 # the stamper finishes the last lines
    local result
    result=$("${analyze[@]}" latency "$dir/ops" "$dir/stamped" "$peer")
    python3 -c 'import json,sys; r=json.loads(sys.argv[3]); b=json.load(open(sys.argv[4])); r.update(kind="latency", peer=sys.argv[1], rate=5000, achieved_rate=round(b["operations"] / (b["end"] - b["start"])), files=int(sys.argv[2])); print(json.dumps(r))' "$peer" "$small" "$result" "$dir/burst.json" >>"$out"
    tail -n 1 "$out" >&2
    rm -rf "$dir"
}
latency_run tarnwell
latency_run inotifywait

# Idle: nothing changes for a while.
echo "== idle" >&2
dir=$(mktemp -d /tmp/tarnwell-bench.XXXXXX)
work_dirs+=("$dir")
"$driver" --path "$dir" --idle-ms $((seconds * 1000)) 2>/dev/null |
    python3 -c 'import json,sys; r=json.loads(sys.stdin.read().splitlines()[-1]); r.update(kind="idle", seconds=int(sys.argv[1])); print(json.dumps(r))' "$seconds" >>"$out"
tail -n 1 "$out" >&2
rm -rf "$dir"

# Memory: 60,000 rows, then one more a millisecond.
echo "== memory" >&2
"$driver" --memory-scenario --rows 60000 --seconds "$seconds" 2>/dev/null |
    python3 -c 'import json,sys; r=json.loads(sys.stdin.read().splitlines()[-1]); r.update(kind="memory", seconds=int(sys.argv[1])); print(json.dumps(r))' "$seconds" >>"$out"
tail -n 1 "$out" >&2

{
    echo "# Benchmark results"
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(uname -r), commit $(git -C "$root" rev-parse --short HEAD)."
    echo "Every change is a file created with 100 bytes, renamed, or deleted (4 reported changes a file);"
    echo "Tarnwell looks up size and owner for each and writes a CSV log; the peers look up nothing."
    echo
    "${analyze[@]}" table "$out"
} >"$results/latest.md"
cp "$out" "$results/$(date -u +%Y%m%dT%H%M%S).jsonl"
cat "$results/latest.md"

#!/usr/bin/env bash
# Measures how fast and how completely Tarnwell reports a burst of changes,
# side by side with inotifywait and fswatch, in one run on this machine.
#
#   bench/run.sh            every scenario, the large ones on /tmp cut to 20,000 files
#   bench/run.sh --full     the large ones on /tmp at 100,000 files too (some 20 minutes)
#   bench/run.sh --smoke    tiny sizes, to check the script itself
#   bench/run.sh --soak     only the long run: 30 minutes at 1,000 changes a
#                           second, window shown, CSV log (SOAK_SECONDS to
#                           shorten it)
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
small=10000 big=100000 tmp_big=20000 seconds=10 trees=(10000 100000) soak=0
soak_seconds=${SOAK_SECONDS:-1800}
case ${1:-} in
--full) tmp_big=100000 ;;
# A check of this script itself, in under a minute; its numbers mean little.
--smoke) small=1000 big=2000 tmp_big=2000 seconds=2 trees=(500) ;;
--soak) soak=1 ;;
"") ;;
*)
    echo "usage: bench/run.sh [--full|--smoke|--soak]" >&2
    exit 2
    ;;
esac

# Peers: installed by the project's setup when missing.
if ! command -v inotifywait >/dev/null || ! command -v fswatch >/dev/null ||
    ! command -v cmake >/dev/null || ! command -v Xvfb >/dev/null; then
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
[ "$soak" = 1 ] && out="$results/soak.jsonl"
: >"$out"
work_dirs=()
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for d in "${work_dirs[@]}"; do rm -rf "$d"; done
}
trap cleanup EXIT

# The window-shown runs paint on a virtual X display, as on a desktop; the
# others stay on the offscreen platform.
xvfb_dir=$(mktemp -d /tmp/tarnwell-bench-x.XXXXXX)
work_dirs+=("$xvfb_dir")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$xvfb_dir/display" 2>"$xvfb_dir/err" &
pids+=($!)
for _ in $(seq 100); do [ -s "$xvfb_dir/display" ] && break; sleep 0.05; done
shown_env=(env QT_QPA_PLATFORM=xcb DISPLAY=":$(cat "$xvfb_dir/display")")

# How long a watcher's output must stand still before its run counts as over;
# the driver stops itself after the same quiet time.
quiet_ms=1500
clk_tck=$(getconf CLK_TCK)

now_ms() { date +%s%3N; }

# Each line as a watcher prints it, stamped when it arrives here.
stamp_lines() {
    python3 -u -c 'import sys, time
for line in sys.stdin.buffer:
    sys.stdout.buffer.write(b"%d\t" % time.time_ns() + line)'
}

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
#   run_one SCENARIO PEER BASE FILES SUBDIRS(0|before:K|during:K) SUBTREE(0|1) [SHOWN(0|1)]
run_one() {
    local scenario=$1 peer=$2 base=$3 files=$4 subdirs=$5 subtree=$6 shown=${7:-0}
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
        local launch=()
        [ "$shown" = 1 ] && flags+=(--show) && launch=("${shown_env[@]}")
        "${launch[@]}" "$driver" "${flags[@]}" >"$dir/driver.json" 2>"$dir/driver.err" &
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

# The page in the shown main window, against inotifywait.
shown_scenario() {
    local name=$1
    shift
    echo "== $name" >&2
    run_one "$name" tarnwell "$@" 1
    run_one "$name" inotifywait "$@"
}

# The set-up of a watch on a big tree: from Start to ready and the memory
# then, against inotifywait -r's "Watches established.", each also on a
# lone folder for the memory that is not the tree's.
tree_run() {
    local folders=$1 peer=$2 dir
    dir=$(mktemp -d /dev/shm/tarnwell-bench.XXXXXX)
    work_dirs+=("$dir")
    mkdir "$dir/w"
    [ "$folders" -gt 0 ] && "$burst" --dir "$dir/w" --tree "$folders" >/dev/null
    sync
    local result
    if [ "$peer" = tarnwell ]; then
        "$driver" --path "$dir/w" --subtree --idle-ms 300 --ready-timeout-ms 120000 \
            >"$dir/driver.json" 2>"$dir/driver.err" || true
        result=$(python3 -c 'import json,sys; r=json.loads(open(sys.argv[1]).read().splitlines()[-1]); print(json.dumps({"ready": r["ready"], "ready_s": round(r["ready_at"] - r["started_at"], 3), "rss_mb": r["rss_mb_at_ready"], "watched": r["folders"]}))' "$dir/driver.json")
    else
        # Timed from its launch to its own word that the watches are set up,
        # with its resident memory at that moment.
        result=$(python3 - "$dir/w" "$folders" <<'PY'
import json, subprocess, sys, time
start = time.time_ns()
p = subprocess.Popen(["inotifywait", "-m", "-r", "-e", "create", sys.argv[1]],
                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
ready = None
for line in p.stderr:
    if b"Watches established" in line:
        ready = time.time_ns()
        break
rss = 0
with open(f"/proc/{p.pid}/status") as f:
    for l in f:
        if l.startswith("VmRSS:"):
            rss = int(l.split()[1])
p.kill()
p.wait()
print(json.dumps({"ready": ready is not None, "ready_s": round((ready - start) / 1e9, 3) if ready else None,
                  "rss_mb": round(rss / 1024, 2), "watched": int(sys.argv[2]) + 1}))
PY
)
    fi
    python3 -c 'import json,sys; r=json.loads(sys.argv[3]); r.update(kind="tree", peer=sys.argv[1], folders=int(sys.argv[2])); print(json.dumps(r))' "$peer" "$folders" "$result" >>"$out"
    tail -n 1 "$out" >&2
    rm -rf "$dir"
}

# A long run: bursts at 1,000 changes a second (750 operations: a file's
# create, rename and delete are four changes) one after the other, into the
# shown window and a CSV log; the driver says how it goes every 10 s.
soak_run() {
    local dir pid
    dir=$(mktemp -d /dev/shm/tarnwell-bench.XXXXXX)
    work_dirs+=("$dir")
    mkdir "$dir/w"
    echo "== soak: $soak_seconds s at 1000 changes a second" >&2
    "${shown_env[@]}" "$driver" --path "$dir/w" --log "$dir/log" --show --idle-ms 5000 \
        --progress-ms 10000 >"$dir/driver.json" 2>"$dir/driver.err" &
    pid=$!
    pids+=("$pid")
    local deadline=$(($(now_ms) + 30000))
    until grep -q '^ready$' "$dir/driver.err" 2>/dev/null || [ "$(now_ms)" -gt "$deadline" ]; do sleep 0.05; done
    local files=7500 expected=0 until=$(($(date +%s) + soak_seconds))
    while [ "$(date +%s)" -lt "$until" ]; do
        "$burst" --dir "$dir/w" --files "$files" --rate 750 >/dev/null
        expected=$((expected + files * 4))
    done
    local deadline=$(($(now_ms) + 120000))
    while kill -0 "$pid" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.2; done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    python3 - "$dir/driver.json" "$dir/driver.err" "$expected" "$soak_seconds" >>"$out" <<'PY'
import json, sys
driver = json.loads(open(sys.argv[1]).read().splitlines()[-1])
progress = [json.loads(l) for l in open(sys.argv[2]) if l.startswith('{"progress"')]
expected, seconds = int(sys.argv[3]), int(sys.argv[4])
first = next((p for p in progress if p["progress"] - progress[0]["progress"] >= 50), progress[0])
last = progress[-1]
# CPU per change in each tenth of the run, to see whether it stays.
steps = []
n = max(1, len(progress) // 10)
for a, b in zip(progress[::n], progress[n::n]):
    if b["changes"] > a["changes"]:
        steps.append(round((b["cpu_s"] - a["cpu_s"]) / (b["changes"] - a["changes"]) * 1e6, 2))
print(json.dumps({"kind": "soak", "seconds": seconds, "expected": expected,
                  "changes": driver["changes"], "log_lines": driver["log_lines"],
                  "overflow_log_lines": driver["overflow_log_lines"],
                  "rss_mb_after_first_minute": first["rss_mb"], "rss_mb_at_end": last["rss_mb"],
                  "cpu_us_per_change_by_tenth": steps,
                  "ui_gap_p99_ms": driver["ui_gap_p99_ms"], "ui_gap_max_ms": driver["ui_gap_max_ms"],
                  "handover_max_ms": driver["handover_max_ms"]}))
PY
    tail -n 1 "$out" >&2
    rm -rf "$dir"
}

if [ "$soak" = 1 ]; then
    soak_run
    "${analyze[@]}" table "$out" >"$results/soak.md"
    cp "$out" "$results/$(date -u +%Y%m%dT%H%M%S)-soak.jsonl"
    cat "$results/soak.md"
    exit 0
fi

scenario "${small} flat /tmp" /tmp "$small" 0 0
scenario "${small} flat /dev/shm" /dev/shm "$small" 0 0
scenario "${tmp_big} flat /tmp" /tmp "$tmp_big" 0 0
scenario "${big} flat /dev/shm" /dev/shm "$big" 0 0
scenario "${tmp_big} in 100 folders made before (subtree)" /tmp "$tmp_big" before:100 1
scenario "${small} in 100 folders made during (subtree)" /tmp "$small" during:100 1
shown_scenario "${big} flat /dev/shm, window shown" /dev/shm "$big" 0 0

# Latency: inotifywait goes through the same stamping as a control: what it
# shows is what this machine and the stamping add by themselves. The changes
# trickle in, so every hand-over carries a few records only.
#   latency_run tarnwell|tarnwell-shown|inotifywait
latency_run() {
    local peer=$1 dir pid
    echo "== latency at 5000 ops/s: $peer" >&2
    # On /dev/shm: this machine's /tmp cannot create 5000 files a second.
    dir=$(mktemp -d /dev/shm/tarnwell-bench.XXXXXX)
    work_dirs+=("$dir")
    mkdir "$dir/w"
    if [ "$peer" != inotifywait ]; then
        local launch=() show=()
        [ "$peer" = tarnwell-shown ] && launch=("${shown_env[@]}") && show=(--show)
        "${launch[@]}" "$driver" --path "$dir/w" --log "$dir/log" --idle-ms "$quiet_ms" --echo \
            "${show[@]}" > >(stamp_lines >"$dir/stamped") 2>"$dir/err" &
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
    local cpu=""
    if [ "$peer" != inotifywait ]; then
        local deadline=$(($(now_ms) + 60000))
        while kill -0 "$pid" 2>/dev/null && [ "$(now_ms)" -lt "$deadline" ]; do sleep 0.1; done
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    else
        touch "$dir/stamped"
        wait_quiet "$dir/stamped"
        stop_peer "$pid" "$dir/peer"
        cpu=$(cat "$dir/peer.cpu" 2>/dev/null || true)
    fi
    sleep 0.3 # the stamper finishes the last lines
    local result
    result=$("${analyze[@]}" latency "$dir/ops" "$dir/stamped" "${peer%-shown}")
    # The driver's own report is its last line, stamped like the others.
    [ "$peer" != inotifywait ] && cpu=$(python3 -c 'import json,sys; print([json.loads(l.split("\t", 1)[1]) for l in open(sys.argv[1]) if "\t{" in l][-1]["cpu_after_ready_s"])' "$dir/stamped")
    python3 -c 'import json,sys; r=json.loads(sys.argv[3]); b=json.load(open(sys.argv[4])); r.update(kind="latency", peer=sys.argv[1], rate=5000, achieved_rate=round(b["operations"] / (b["end"] - b["start"])), files=int(sys.argv[2]), cpu_s=float(sys.argv[5]) if sys.argv[5] else None, changes=b["expected_changes"]); print(json.dumps(r))' "$peer" "$small" "$result" "$dir/burst.json" "$cpu" >>"$out"
    tail -n 1 "$out" >&2
    rm -rf "$dir"
}
latency_run tarnwell
latency_run tarnwell-shown
latency_run inotifywait

for folders in "${trees[@]}"; do
    echo "== a tree of $folders folders" >&2
    for peer in tarnwell inotifywait; do
        tree_run 0 "$peer"
        tree_run "$folders" "$peer"
    done
done

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

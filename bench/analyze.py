#!/usr/bin/env python3
"""Reads what one watcher reported during one burst and compares it with what
the burst did. Used by bench/run.sh; each subcommand prints one JSON object.

  analyze.py run PEER OPS_LOG OUTPUT BURST_JSON [DRIVER_JSON]
  analyze.py latency OPS_LOG STAMPED_LINES [tarnwell|inotifywait]
  analyze.py table RESULTS_JSONL   (prints the Markdown tables)
"""
import json
import os
import re
import statistics
import sys

# What each peer prints for the four changes of a file, in Tarnwell's words.
INOTIFYWAIT_WORDS = {
    "CREATE": "Created",
    "MOVED_FROM": "Renamed - From",
    "MOVED_TO": "Renamed - To",
    "DELETE": "Deleted",
}
CSV_LINE = re.compile(r'^[^"]*,"(.*)","(.*)",(\d+),"(.*)"\r?$')


def expected_changes(ops_log):
    expected = {}
    with open(ops_log, encoding="utf-8") as f:
        for line in f:
            ns, word, path = line.rstrip("\n").split("\t")
            expected[(word, path)] = int(ns)
    return expected


def tarnwell_reports(log):
    reports, overflows = [], 0
    with open(log, encoding="utf-8", errors="replace", newline="") as f:
        for line in f:
            m = CSV_LINE.match(line.rstrip("\n"))
            if not m:
                continue
            path, word = m.group(1), m.group(2)
            if word == "":
                overflows += 1
            else:
                reports.append((word, path))
    return reports, overflows


def inotifywait_reports(output):
    reports, overflows = [], 0
    with open(output, encoding="utf-8", errors="replace") as f:
        for line in f:
            path, _, events = line.rstrip("\n").rpartition("|")
            names = events.split(",")
            if "Q_OVERFLOW" in names:
                overflows += 1
                continue
            if "ISDIR" in names:
                continue
            for name in names:
                if name in INOTIFYWAIT_WORDS:
                    reports.append((INOTIFYWAIT_WORDS[name], path))
    return reports, overflows


def fswatch_reports(output):
    # fswatch marks the two halves of a rename as Removed+MovedFrom and
    # Created+MovedTo; the Moved flag decides.
    reports, overflows = [], 0
    with open(output, encoding="utf-8", errors="replace") as f:
        for line in f:
            parts = line.rstrip("\n").split(" ")
            flags = set()
            while parts and parts[-1] and parts[-1][0].isupper() and len(parts) > 1:
                flags.add(parts.pop())
            path = " ".join(parts)
            if "Overflow" in flags:
                overflows += 1
                continue
            if "IsDir" in flags:
                continue
            if "MovedFrom" in flags:
                reports.append(("Renamed - From", path))
            elif "MovedTo" in flags:
                reports.append(("Renamed - To", path))
            elif "Created" in flags:
                reports.append(("Created", path))
            elif "Removed" in flags:
                reports.append(("Deleted", path))
    return reports, overflows


def proc_stats(prefix):
    """CPU seconds and peak MB a peer left in PREFIX.cpu / PREFIX.mem."""
    try:
        with open(prefix + ".cpu") as f:
            cpu = float(f.read().strip() or 0)
        with open(prefix + ".mem") as f:
            mem = float(f.read().strip() or 0) / 1024.0
        return cpu, mem
    except (OSError, ValueError):
        return None, None


def run(peer, ops_log, output, burst_json, driver_json=None):
    expected = expected_changes(ops_log)
    with open(burst_json) as f:
        burst = json.loads(f.read().strip().splitlines()[-1])
    if peer == "tarnwell":
        reports, overflows = tarnwell_reports(output)
    elif peer == "inotifywait":
        reports, overflows = inotifywait_reports(output)
    else:
        reports, overflows = fswatch_reports(output)
    seen = set()
    duplicates = extra = 0
    for r in reports:
        if r not in expected:
            extra += 1
        elif r in seen:
            duplicates += 1
        else:
            seen.add(r)
    result = {
        "peer": peer,
        "expected": len(expected),
        "reported": len(seen),
        "missing": len(expected) - len(seen),
        "duplicates": duplicates,
        "extra": extra,
        "overflows": overflows,
        "burst_s": round(burst["end"] - burst["start"], 3),
    }
    if peer == "tarnwell":
        with open(driver_json) as f:
            lines = [l for l in f.read().splitlines() if l.startswith("{")]
        driver = json.loads(lines[-1])
        last = driver["last_report"]
        result.update(
            cpu_s=round(driver["cpu_s"], 3),
            # Start-up (the toolkit, the window) is no cost of the changes.
            cpu_after_ready_s=round(driver["cpu_after_ready_s"], 4),
            peak_mb=driver["peak_mb"],
            shown=driver.get("shown", False),
            ui_gap_p50_ms=driver.get("ui_gap_p50_ms"),
            ui_gap_p99_ms=driver.get("ui_gap_p99_ms"),
            ui_gap_max_ms=driver.get("ui_gap_max_ms"),
            handover_max_ms=driver.get("handover_max_ms"),
            changes_counted=driver["changes"],
            log_lines=driver["log_lines"],
            rows=driver["rows"],
            reads=driver["reads"],
            overflow_log_lines=driver["overflow_log_lines"],
        )
    else:
        last = os.stat(output).st_mtime_ns / 1e9 if reports or overflows else 0
        cpu, mem = proc_stats(output)
        result.update(cpu_s=cpu, peak_mb=round(mem, 1) if mem is not None else None)
        if os.path.exists(output + ".exit"):
            with open(output + ".exit") as f:
                result["exited_early"] = int(f.read().strip() or 0)
    result["to_last_report_s"] = round(last - burst["start"], 3) if last else None
    return result


def latency(ops_log, stamped, peer="tarnwell"):
    """Delays from each change to its line, from lines stamped on arrival:
    nanoseconds, a tab, then the line as the watcher printed it."""
    expected = expected_changes(ops_log)
    delays = []
    with open(stamped, encoding="utf-8", errors="replace") as f:
        for line in f:
            stamp, _, text = line.rstrip("\n").partition("\t")
            if peer == "tarnwell":
                fields = text.split("\t")
                if len(fields) < 3:
                    continue
                keys = [(fields[2], fields[1])]
            else:
                path, _, events = text.rpartition("|")
                keys = [(INOTIFYWAIT_WORDS[e], path) for e in events.split(",")
                        if e in INOTIFYWAIT_WORDS]
            for key in keys:
                if key in expected:
                    delays.append((int(stamp) - expected[key]) / 1e6)
    delays.sort()
    if not delays:
        return {"latency_samples": 0}
    p99 = delays[min(len(delays) - 1, int(0.99 * (len(delays) - 1) + 0.5))]
    return {
        "latency_samples": len(delays),
        "latency_median_ms": round(statistics.median(delays), 3),
        "latency_p99_ms": round(p99, 3),
        "latency_max_ms": round(delays[-1], 3),
    }


def fmt(value, digits=2):
    if value is None:
        return "-"
    if isinstance(value, float):
        return f"{value:.{digits}f}"
    return str(value)


def lag(r):
    """Seconds from the burst's end to the last report: what the watcher
    itself adds, apart from how fast the disk let the burst run."""
    if r.get("to_last_report_s") is None:
        return None
    return r["to_last_report_s"] - r["burst_s"]


def cpu_per_change_us(r):
    """CPU microseconds per reported change: Tarnwell's from ready on, a
    peer's over its whole run (its start-up is a few milliseconds)."""
    cpu = r.get("cpu_after_ready_s", r.get("cpu_s"))
    changes = r.get("reported") or r.get("changes")
    if cpu is None or not changes:
        return None
    return cpu / changes * 1e6


def table(results_jsonl):
    rows = [json.loads(l) for l in open(results_jsonl) if l.strip()]
    out = []
    runs = [r for r in rows if r.get("kind") == "run"]
    if runs:
        run_tables(runs, out)
    tree_and_extra_tables(rows, out)
    print("\n".join(out))


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "-"
    return f"{a / b:.2f}"


def run_tables(runs, out):
    out.append("| scenario | peer | reported / expected | overflows | burst s | "
               "s to last report | lag s | CPU s | CPU us/change | peak MB |")
    out.append("|---|---|---|---|---|---|---|---|---|---|")
    for r in runs:
        out.append(
            f"| {r['scenario']} | {r['peer']} | {r['reported']} / {r['expected']}"
            f"{' (+' + str(r['duplicates']) + ' dup)' if r.get('duplicates') else ''} | "
            f"{r['overflows']}"
            f"{' (ended by itself, status ' + str(r['exited_early']) + ')' if 'exited_early' in r else ''}"
            f" | {fmt(r['burst_s'], 3)} | {fmt(r['to_last_report_s'], 3)} | "
            f"{fmt(lag(r), 3)} | {fmt(r['cpu_s'])} | {fmt(cpu_per_change_us(r))} | "
            f"{fmt(r['peak_mb'], 1)} |")
    out.append("")
    out.append("Tarnwell's ratios (time to last report, CPU per reported change, peak "
               "memory; below 1.0 is better than the peer):")
    out.append("")
    out.append("| scenario | vs inotifywait: time / CPU / memory | "
               "vs fswatch: time / CPU / memory |")
    out.append("|---|---|---|")
    by = {}
    for r in runs:
        by.setdefault(r["scenario"], {})[r["peer"]] = r

    for scenario, peers in by.items():
        t = peers.get("tarnwell")
        if not t:
            continue
        cells = []
        for peer in ("inotifywait", "fswatch"):
            p = peers.get(peer)
            if not p:
                cells.append("-")
                continue
            cells.append(" / ".join([ratio(t["to_last_report_s"], p["to_last_report_s"]),
                                     ratio(cpu_per_change_us(t), cpu_per_change_us(p)),
                                     ratio(t["peak_mb"], p["peak_mb"])]))
        out.append(f"| {scenario} | {cells[0]} | {cells[1]} |")
    shown = [r for r in runs if r.get("peer") == "tarnwell" and r.get("ui_gap_p99_ms") is not None]
    if shown:
        out.append("")
        out.append("The user-interface thread while changes come in (gaps between the ticks "
                   "of a 10 ms timer; the longest hand-over):")
        out.append("")
        out.append("| scenario | window | gap p50 ms | gap p99 ms | gap max ms | "
                   "longest hand-over ms |")
        out.append("|---|---|---|---|---|---|")
        for r in shown:
            out.append(f"| {r['scenario']} | {'shown' if r.get('shown') else 'not shown'} | "
                       f"{fmt(r['ui_gap_p50_ms'], 1)} | {fmt(r['ui_gap_p99_ms'], 1)} | "
                       f"{fmt(r['ui_gap_max_ms'], 1)} | {fmt(r['handover_max_ms'], 1)} |")


def tree_and_extra_tables(rows, out):
    trees = [r for r in rows if r.get("kind") == "tree"]
    if trees:
        out.append("")
        out.append("Setting up a subtree watch (/dev/shm; memory is resident memory once ready, "
                   "per folder beyond a watch of a lone folder):")
        out.append("")
        out.append("| folders | peer | watched | ready s | MB | KB per folder | "
                   "ready vs inotifywait |")
        out.append("|---|---|---|---|---|---|---|")
        base = {r["peer"]: r for r in trees if r["folders"] == 0}
        ready = {(r["folders"], r["peer"]): r["ready_s"] for r in trees}
        for r in trees:
            if r["folders"] == 0:
                continue
            b = base.get(r["peer"])
            per = ((r["rss_mb"] - b["rss_mb"]) * 1024 / r["folders"]) if b else None
            vs = ratio(r["ready_s"], ready.get((r["folders"], "inotifywait"))) \
                if r["peer"] == "tarnwell" else "-"
            out.append(f"| {r['folders']} | {r['peer']} | {r['watched']} | "
                       f"{fmt(r['ready_s'], 3)} | {fmt(r['rss_mb'], 1)} | {fmt(per, 2)} | {vs} |")
    extras = [r for r in rows if r.get("kind") in ("latency", "memory", "idle", "soak")]
    trickle = {r["peer"]: r for r in rows if r.get("kind") == "latency"}
    if extras:
        out.append("")
        out.append("| measurement | result |")
        out.append("|---|---|")
        for r in extras:
            if r["kind"] == "latency":
                out.append(f"| {r.get('peer', 'tarnwell')}: latency at {r.get('rate', 5000)} "
                           f"ops/s (achieved {r.get('achieved_rate', '-')}; {r['latency_samples']} "
                           f"rows) | median {fmt(r.get('latency_median_ms'), 2)} ms, p99 "
                           f"{fmt(r.get('latency_p99_ms'), 2)} ms, max "
                           f"{fmt(r.get('latency_max_ms'), 2)} ms"
                           + (f"; CPU {fmt(cpu_per_change_us(r))} us/change" if r.get("cpu_s") else "")
                           + (f" ({ratio(cpu_per_change_us(r), cpu_per_change_us(trickle['inotifywait']))}"
                              f" of inotifywait's)"
                              if r.get("cpu_s") and r["peer"] != "inotifywait"
                              and trickle.get("inotifywait", {}).get("cpu_s") else "")
                           + " |")
            elif r["kind"] == "memory":
                out.append(f"| {r['rows']} rows, one more a millisecond for "
                           f"{r.get('seconds', 10)} s ({r['appends']} appends) | peak "
                           f"{fmt(r['peak_mb'], 1)} MB; append+trim median "
                           f"{fmt(r['append_trim_median_us'])} us, p99 "
                           f"{fmt(r['append_trim_p99_us'])} us, max "
                           f"{fmt(r['append_trim_max_us'])} us |")
            elif r["kind"] == "soak":
                out.append(f"| {r['seconds']} s at 1000 changes a second, window shown, CSV log | "
                           f"{r['changes']} / {r['expected']} changes, {r['log_lines']} log lines, "
                           f"{r['overflow_log_lines']} overflows; resident "
                           f"{fmt(r['rss_mb_after_first_minute'], 1)} MB after the first minute, "
                           f"{fmt(r['rss_mb_at_end'], 1)} MB at the end; CPU per change by tenth "
                           f"{', '.join(fmt(x) for x in r['cpu_us_per_change_by_tenth'])} us; "
                           f"gap p99 {fmt(r['ui_gap_p99_ms'], 1)} ms, max "
                           f"{fmt(r['ui_gap_max_ms'], 1)} ms |")
            elif r["kind"] == "idle":
                out.append(f"| idle {r.get('seconds', 10)} s, nothing changing | CPU "
                           f"{r['cpu_after_ready_s'] * 1000:.1f} ms |")


def main(argv):
    if len(argv) >= 2 and argv[1] == "run":
        print(json.dumps(run(*argv[2:])))
    elif len(argv) in (4, 5) and argv[1] == "latency":
        print(json.dumps(latency(*argv[2:])))
    elif len(argv) == 3 and argv[1] == "table":
        table(argv[2])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

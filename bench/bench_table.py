#!/usr/bin/env python3
"""Prints the bench table from Google Benchmark JSON results and memory-driver output.

usage: bench_table.py LABEL:RESULTS.json:MEMORY.txt [LABEL:...] [--note LABEL:TEXT]

Times are medians of the repetitions' CPU times (per glyph for glyph scenes, per call
otherwise). Ratio = engine time / peer time in the same run: AllShapeDraw vs Cairo-AA,
AllShapeDraw_Quickly vs Cairo-noAA, kernel vs FreeType (vs Cairo-AA when FreeType is absent),
kernel-spans vs FreeType-spans (no fallback: only FreeType-spans does the same work).
"""
import json
import sys

PEER_OF = {
    "AllShapeDraw": ["Cairo-AA"],
    "AllShapeDraw_Quickly": ["Cairo-noAA"],
    "kernel": ["FreeType", "Cairo-AA"],
    "kernel-spans": ["FreeType-spans"],
}
PEERS = {"FreeType", "FreeType-spans", "Cairo-AA", "Cairo-noAA"}
TO_SECONDS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


def format_time(seconds, per):
    for unit, scale in (("s", 1.0), ("ms", 1e-3), ("us", 1e-6), ("ns", 1e-9)):
        if seconds >= scale:
            return f"{seconds / scale:.3g} {unit}{per}"
    return f"{seconds / 1e-9:.3g} ns{per}"


def format_bytes(count):
    for unit, scale in (("GiB", 2**30), ("MiB", 2**20), ("KiB", 2**10)):
        if count >= scale:
            return f"{count / scale:.3g} {unit}"
    return f"{count} B"


def load_times(path):
    """{(scene, engine): (seconds per unit, per-label)} from the median aggregates."""
    with open(path) as f:
        data = json.load(f)
    times, context = {}, data.get("context", {})
    for b in data["benchmarks"]:
        if b.get("aggregate_name", "median") != "median" or b.get("error_occurred"):
            continue
        scene, engine = b["run_name"].split("/", 1)
        units = b.get("units", 1.0) or 1.0
        seconds = b["cpu_time"] * TO_SECONDS[b.get("time_unit", "ns")] / units
        times[(scene, engine)] = (seconds, "/glyph" if scene.startswith("glyphs") else "")
    return times, context


def load_memory(path):
    memory = {}
    try:
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) < 3 or "=" not in parts[2]:
                    continue
                fields = dict(p.split("=", 1) for p in parts[2:])
                memory[(parts[0], parts[1])] = (int(fields["peak_bytes"]),
                                                float(fields["bytes_per_pixel"]))
    except FileNotFoundError:
        pass
    return memory


def main(argv):
    runs, extra_notes, notes = [], [], []
    i = 0
    while i < len(argv):
        if argv[i] == "--note":
            extra_notes.append(argv[i + 1])
            i += 2
            continue
        label, results, memory = argv[i].split(":", 2)
        runs.append((label, results, memory))
        i += 1

    header = ["build", "scene", "engine", "median CPU time", "ratio to peer", "peak memory",
              "per pixel"]
    rows = []
    for label, results, memory_path in runs:
        times, context = load_times(results)
        memory = load_memory(memory_path)
        absent = [name for key, name in (("peer_freetype", "FreeType"), ("peer_cairo", "Cairo"))
                  if context.get(key) == "absent"]
        for (scene, engine), (seconds, per) in times.items():
            ratio = "(peer)" if engine in PEERS else "no peer"
            for peer in PEER_OF.get(engine, []):
                if (scene, peer) in times:
                    ratio = f"{seconds / times[(scene, peer)][0]:.2f}x vs {peer}"
                    break
            else:
                if engine in PEER_OF and absent:
                    ratio = "peer absent (" + ", ".join(absent) + ")"
            peak = memory.get((scene, engine))
            rows.append([label, scene, engine, format_time(seconds, per), ratio,
                         format_bytes(peak[0]) if peak else "-",
                         f"{peak[1]:.2f} B" if peak else "-"])
        load = context.get("load_avg", [])
        reps = {b.get("repetitions") for b in json.load(open(results))["benchmarks"]}
        notes.append(f"{label}: {context.get('num_cpus', '?')} CPUs at "
                     f"{context.get('mhz_per_cpu', '?')} MHz, load average at start "
                     f"{', '.join(f'{x:.1f}' for x in load) or '?'}, repetitions "
                     f"{', '.join(str(r) for r in sorted(r for r in reps if r))}, a fresh 4 KiB page "
                     f"costs {context.get('fresh_page_us', '?')} us of CPU (left out of the times: warm heap)")
        if absent:
            notes.append(f"{label}: built without " + " and ".join(absent) +
                         "; those cases are left out" +
                         (" (without FreeType also the glyph scenes)" if "FreeType" in absent
                          else ""))

    widths = [max(len(str(r[c])) for r in rows + [header]) for c in range(len(header))]
    line = "  ".join("-" * w for w in widths)
    print("  ".join(h.ljust(w) for h, w in zip(header, widths)))
    print(line)
    for r in rows:
        print("  ".join(str(v).ljust(w) for v, w in zip(r, widths)))
    for note in notes + extra_notes:
        print("note: " + note)


if __name__ == "__main__":
    main(sys.argv[1:])

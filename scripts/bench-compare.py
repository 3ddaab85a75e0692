#!/usr/bin/env python3
"""Runs two builds of the benchmarks after each other on this machine and prints their times
side by side: each benchmark binary of BEFORE, then the same of AFTER, for ROUNDS rounds, so
that a change of the machine's load falls on both alike.

usage: scripts/bench-compare.py BEFORE_DIR AFTER_DIR [--rounds N] [--only NAME...] [-- ARGS]
  BEFORE_DIR, AFTER_DIR  folders holding the benchmark programs (build/bench/bench)
  ARGS                   passed to every program (e.g. --benchmark_filter=Copy)

Prints, per benchmark, the median real and CPU time of each build and the change in percent.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile


def programs(folder):
    return sorted(f for f in os.listdir(folder)
                  if os.path.isfile(os.path.join(folder, f)) and os.access(os.path.join(folder, f), os.X_OK))


def run(program, args):
    """The times of one run of program: {benchmark: (real ms, cpu ms)}."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        done = subprocess.run([program, "--benchmark_out=" + out.name, "--benchmark_out_format=json", *args],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if done.returncode != 0:
            sys.exit(f"{program} failed ({done.returncode}):\n{done.stderr[-2000:]}")
        text = open(out.name).read()
    if not text.strip():
        return None  # not a Google Benchmark program (the editor's memory report prints its own)
    report = json.loads(text)
    times = {}
    for b in report.get("benchmarks", []):
        if b.get("run_type", "iteration") != "iteration":
            continue
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
        times[b["name"]] = (b["real_time"] * scale, b["cpu_time"] * scale)
    return times


def main():
    argv = sys.argv[1:]
    extra = []
    if "--" in argv:
        extra = argv[argv.index("--") + 1:]
        argv = argv[:argv.index("--")]
    p = argparse.ArgumentParser()
    p.add_argument("before")
    p.add_argument("after")
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--only", nargs="*", default=None)
    a = p.parse_args(argv)

    names = [n for n in programs(a.before) if n in programs(a.after) and (not a.only or n in a.only)]
    if not names:
        sys.exit("no benchmark program is in both folders")
    samples = {}  # (program, benchmark, side) -> [(real, cpu)]
    for r in range(a.rounds):
        for name in list(names):
            for side, folder in (("before", a.before), ("after", a.after)):
                print(f"round {r + 1}/{a.rounds}: {side} {name}", file=sys.stderr, flush=True)
                times = run(os.path.join(folder, name), extra)
                if times is None:
                    print(f"{name} reports no benchmark times: left out", file=sys.stderr)
                    names.remove(name)
                    break
                for bench, t in times.items():
                    samples.setdefault((name, bench, side), []).append(t)

    print(f"{'benchmark':58} {'real before':>12} {'real after':>11} {'change':>7}   {'cpu before':>11} {'cpu after':>10} {'change':>7}")
    for name in names:
        # In the order the program ran them (the dictionary keeps the order of first sight).
        benches = dict.fromkeys(b for (n, b, side) in samples if n == name)
        for bench in benches:
            before, after = samples.get((name, bench, "before")), samples.get((name, bench, "after"))
            if not before or not after:
                continue
            rb, ra = statistics.median(t[0] for t in before), statistics.median(t[0] for t in after)
            cb, ca = statistics.median(t[1] for t in before), statistics.median(t[1] for t in after)
            print(f"{(name + ' ' + bench)[:58]:58} {rb:12.3f} {ra:11.3f} {100 * (ra / rb - 1):+6.1f}%"
                  f"   {cb:11.3f} {ca:10.3f} {100 * (ca / cb - 1):+6.1f}%")


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Times notebake and pcmar on generated inputs against the tools a user
would otherwise reach for, and against the floor of copying the output.

    python3 bench/run.py [--build build/release] [--runs 7] [--check]

Inputs are generated deterministically under <build>/bench-work (nothing
large is committed). Every figure is the median wall time of --runs runs of
the whole process; peak memory is the largest resident set of those runs.
With --check the exit status is 1 when a target is missed.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

MIB = 1 << 20


def run_once(command, cwd, stdout_path):
    # The clock starts before the output is opened (and so emptied), as the
    # converters' own times include replacing their output files.
    start = time.perf_counter()
    with open(stdout_path or os.devnull, "wb") as out:
        result = subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.DEVNULL)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {' '.join(command)}")
    return elapsed


def measure(command, runs, cwd, stdout_path=None):
    """Median wall time in seconds and peak RSS in bytes of `command`."""
    run_once(command, cwd, stdout_path)  # warm the page cache
    elapsed = statistics.median(run_once(command, cwd, stdout_path) for _ in range(runs))
    # Peak memory from GNU time: a child forked from this interpreter would
    # count the interpreter's own pages.
    report = os.path.join(cwd, ".peak")
    run_once(["/usr/bin/time", "-f", "%M", "-o", report] + command, cwd, stdout_path)
    with open(report) as f:
        peak = int(f.read().split()[-1]) * 1024
    return elapsed, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()

    build = os.path.abspath(args.build)
    notebake = os.path.join(build, "notebake", "notebake")
    pcmar = os.path.join(build, "pcmar", "pcmar")
    make_inputs = os.path.join(build, "bench", "make_inputs")
    for tool in ("midicsv", "xxd", "cp", "/usr/bin/time"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is needed (Debian: apt-get install midicsv xxd coreutils time)")
    work = os.path.join(build, "bench-work")
    os.makedirs(work, exist_ok=True)

    def generate(kind, name, size):
        path = os.path.join(work, name)
        if not os.path.exists(path):
            subprocess.run([make_inputs, kind, path, str(size)], check=True)
        return name

    rows, failures = [], []

    def target(ok, text):
        rows.append(("  target", text, "met" if ok else "MISSED"))
        if not ok:
            failures.append(text)

    def compare(tool, label, ours_command, alt_label, alt_command, alt_stdout, output, ratio, memory_limit, large):
        """Times one conversion, the alternative and the floor; returns our time."""
        ours = measure(ours_command, args.runs, work)
        theirs = measure(alt_command, args.runs, work, alt_stdout)
        floor = measure(["cp", output, output + ".copy"], args.runs, work)
        rows.append((label, f"{ours[0]*1000:8.1f} ms  {ours[1]/MIB:7.1f} MiB", ""))
        rows.append((alt_label, f"{theirs[0]*1000:8.1f} ms  {theirs[1]/MIB:7.1f} MiB",
                     f"{tool} {theirs[0]/ours[0]:.1f}x faster"))
        rows.append((f"cp of {tool}'s output", f"{floor[0]*1000:8.1f} ms", f"{tool} {ours[0]/floor[0]:.1f}x the floor"))
        if large:
            target(theirs[0] / ours[0] >= ratio, f"{tool} at least {ratio}x faster than {alt_command[0]}")
            target(ours[0] / floor[0] <= 4, f"{tool} within 4x of the floor")
        target(ours[1] <= memory_limit, f"{tool} memory within its limit ({label})")
        return ours[0]

    results = {}
    for events in (100_000, 1_000_000):
        mid = generate("midi", f"seq-{events}.mid", events)
        size = os.path.getsize(os.path.join(work, mid))
        results[("notebake", events)] = compare(
            "notebake", f"notebake, {events} events", [notebake, mid],
            "midicsv, same file", ["midicsv", mid, mid[:-4] + ".csv"], None, mid[:-4] + ".s",
            4, size + 16 * events + 8 * MIB, events == 1_000_000)

    for seconds in (60, 600):
        wav = generate("wav", f"pcm-{seconds}s.wav", seconds)
        count = 44100 * seconds * 32000 // 44100
        raw = generate("bytes", f"bytes-{count}.bin", count)
        size = os.path.getsize(os.path.join(work, wav))
        results[("pcmar", seconds)] = compare(
            "pcmar", f"pcmar, {seconds} s of 44.1 kHz stereo", [pcmar, "-f3", wav],
            f"xxd -i, {count} bytes", ["xxd", "-i", raw], os.path.join(work, raw + ".h"), wav[:-4] + ".s",
            10, size + count + 8 * MIB, seconds == 600)

    growth_n = results[("notebake", 1_000_000)] / results[("notebake", 100_000)]
    growth_p = results[("pcmar", 600)] / results[("pcmar", 60)]
    rows.append(("notebake 10x input", f"{growth_n:8.1f}x time", ""))
    rows.append(("pcmar 10x input", f"{growth_p:8.1f}x time", ""))
    target(growth_n <= 12, "notebake grows linearly (10x input, at most 12x time)")
    target(growth_p <= 12, "pcmar grows linearly (10x input, at most 12x time)")

    for name, figure, note in rows:
        print(f"{name:40} {figure:28} {note}")
    if args.check and failures:
        print(f"{len(failures)} target(s) missed", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

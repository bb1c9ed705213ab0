#!/usr/bin/python3
"""What every benchmark under bench/ shares: repeated runs and the one result line

    bench NAME ratio R goal G spread S

R is the median of the per-run ratios ours / reference (lower is better). Both sides of
a ratio are measured in the same run, one right after the other, so that they meet the
same load on a shared machine. S is the spread of the runs: (largest ratio - smallest) /
median. There are at least five runs; BENCH_RUNS asks for more.

From a shell script:
    benchlib.py compare NAME GOAL -- REFERENCE COMMAND... -- OUR COMMAND...
        times both commands alternately, each run; a command that fails ends the benchmark
        (status 1) with its output. The last line our command wrote to standard error (a
        driver's own report) is passed on.
    benchlib.py report NAME GOAL RATIO...
        reports ratios measured otherwise.
From Python (bench/NAME.py):
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import benchlib
    benchlib.report(NAME, GOAL, [ours / reference for each of benchlib.runs() runs])
"""
import os
import statistics
import subprocess
import sys
import time

MIN_RUNS = 5


def runs():
    """How many times each benchmark measures: at least five."""
    try:
        wanted = int(os.environ.get("BENCH_RUNS", MIN_RUNS))
    except ValueError:
        wanted = MIN_RUNS
    return max(MIN_RUNS, wanted)


def line(name, goal, ratios):
    """The result line of the ratios of all runs."""
    if len(ratios) < MIN_RUNS or any(not r > 0 for r in ratios):
        raise ValueError("bench %s: need %d positive ratios, got %r" % (name, MIN_RUNS, ratios))
    median = statistics.median(ratios)
    spread = (max(ratios) - min(ratios)) / median
    return "bench %s ratio %.4g goal %s spread %.2f" % (name, median, goal, spread)


def report(name, goal, ratios):
    print(line(name, goal, ratios), flush=True)


def time_command(argv):
    """Seconds one run of the command took, and what it wrote to standard error; exits the
    benchmark when the command fails."""
    start = time.perf_counter()
    p = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - start
    err = p.stderr.decode("utf-8", "replace")
    if p.returncode != 0:
        sys.exit("bench: %s failed (status %d)\n%s" % (" ".join(argv), p.returncode, err))
    return seconds, err


def compare(name, goal, reference, ours):
    """Runs reference and ours alternately, each run, and reports."""
    ratios = []
    err = ""
    for _ in range(runs()):
        reference_seconds, _ = time_command(reference)
        our_seconds, err = time_command(ours)
        ratios.append(our_seconds / reference_seconds)
    last = err.strip().splitlines()[-1:] if err.strip() else []
    for text in last:
        sys.stderr.write(text + "\n")
    report(name, goal, ratios)


def main(argv):
    if len(argv) >= 3 and argv[0] == "report":
        report(argv[1], argv[2], [float(r) for r in argv[3:]])
    elif len(argv) >= 6 and argv[0] == "compare" and argv[3] == "--" and "--" in argv[4:]:
        split = argv.index("--", 4)
        compare(argv[1], argv[2], argv[4:split], argv[split + 1:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])

#!/usr/bin/env python3
"""Assembly speed benchmark (not a test).

Generates sources of growing size in six shapes (bench/gen.py), assembles
each with the release build and prints lines per second, peak memory and,
per shape, the ratio of the times of the two largest sizes; with both the
sections and the functions shape, also the time of a section per function
over that of the same code in one section. Where `as` is installed it is
timed on the data shapes too.

usage: bench/run.py [--program PATH] [--sizes 10000,100000,1000000]
                    [--shapes data,label,refs,insn,sections,functions]
                    [--mode hex|pa|sched] [--listing] [--repeat N] [--timeout S]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gen  # noqa: E402

DATA_SHAPES = ("data", "label", "refs")
# The command line of each mode before the source name; OUT stands for the
# output file in the work folder.
MODES = {
    "hex": ["-h"],
    "pa": ["-o", "OUT.pa"],
    "sched": ["-s", "-b2", "-o", "OUT.is"],
}
TIME_PROGRAM = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None


def run_once(argv, cwd, timeout):
    """Runs argv; answers (seconds, peak KiB, exit status); seconds None on a time-out.

    The peak comes from /usr/bin/time where it exists (a forked child's own
    high-water mark would start at this script's size); else it is 0."""
    env = dict(os.environ, TEMP=cwd)
    report = os.path.join(cwd, ".peak")
    if TIME_PROGRAM:
        argv = [TIME_PROGRAM, "-f", "%M %U %S", "-o", report] + argv
    with open(os.devnull, "wb") as null:
        # A blocking wait with a watchdog: waiting with a time-out polls,
        # which would round every time up to the polling step.
        start = time.perf_counter()
        child = subprocess.Popen(argv, cwd=cwd, env=env, stdout=null, stderr=null)
        watchdog = threading.Timer(timeout, child.kill)
        watchdog.start()
        # wait4 gives the CPU time to the microsecond (the time program's
        # own figures are in hundredths); it counts the time program's
        # waited-for child, the assembler, with its own few microseconds.
        _, wait_status, usage = os.wait4(child.pid, 0)
        elapsed = time.perf_counter() - start
        status = os.waitstatus_to_exitcode(wait_status)
        child.returncode = status
        timed_out = not watchdog.is_alive()
        watchdog.cancel()
        if timed_out:
            return None, 0, -9, None
    peak = 0
    cpu = None
    if TIME_PROGRAM:
        with open(report) as text:
            # The last line holds the figures (a line before it may tell
            # of a non-zero exit status).
            fields = text.read().strip().splitlines()[-1].split()
        os.remove(report)
        try:
            peak = int(fields[0])
        except (IndexError, ValueError):
            pass
    cpu = usage.ru_utime + usage.ru_stime
    return elapsed, peak, status, cpu


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(HERE, "..", "build-release", "elf", "zorvel-pa"))
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--shapes", default="data,label,refs,insn,sections,functions")
    parser.add_argument("--mode", choices=sorted(MODES), default="hex",
                        help="hex: -h; pa: -o (the abstraction); sched: -s -b2 -o")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--timeout", type=float, default=120.0)
    parser.add_argument("--listing", action="store_true",
                        help="also time each source with -l -t -x and print the ratio to the plain run")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    if not os.path.exists(program):
        sys.exit("no program at %s (build with -DCMAKE_BUILD_TYPE=Release)" % program)
    sizes = [int(s) for s in args.sizes.split(",")]
    shapes = args.shapes.split(",")
    assembler = shutil.which("as")
    work = tempfile.mkdtemp(prefix="zpa-bench-")
    times = {}
    as_times = {}
    listing_times = {}
    try:
        print("%-9s %9s %9s %9s %12s %12s %10s %7s %s" % (
            "shape", "lines", "seconds", "cpu s", "lines/s", "lines/cpu-s", "peak KiB", "B/line", "note"))
        for shape in shapes:
            # Every run of a shape (each size, with the listing, and as) is
            # interleaved with the others, round by round, so that a spell
            # of other work on the machine slows them all alike instead of
            # the runs of one size only.
            jobs = []  # (kind, size, argv, repeat)
            for size in sizes:
                source = os.path.join(work, "%s-%d.s" % (shape, size))
                with open(source, "w") as out:
                    gen.generate(shape, size, out)
                repeat = args.repeat if size < 1000000 else max(1, args.repeat - 1)
                mode = [word.replace("OUT", os.path.join(work, "out-%d" % size)) for word in MODES[args.mode]]
                jobs.append(("zorvel", size, [program] + mode + [source], repeat))
                if args.listing:
                    listing = os.path.join(work, "out-%d.lst" % size)
                    jobs.append(("listing", size, [program] + mode + ["-l" + listing, "-t", "-x", source], repeat))
                if assembler and shape in DATA_SHAPES:
                    jobs.append(("as", size, [assembler, "-o", os.devnull, source], repeat))
            best = {}
            for round_number in range(max(job[3] for job in jobs)):
                for kind, size, argv, repeat in jobs:
                    key = (kind, size)
                    if round_number >= repeat or (key in best and best[key][0] is None):
                        continue
                    result = run_once(argv, work, args.timeout)
                    if key not in best or result[0] is None or result[0] < best[key][0]:
                        best[key] = result
            for size in sizes:
                seconds, peak, status, cpu = best[("zorvel", size)]
                note = "" if status == 0 else ("time-out" if seconds is None else "exit %d" % status)
                if seconds is None:
                    print("%-9s %9d %9s %9s %12s %12s %10s %7s %s" % (
                        shape, size, ">%g" % args.timeout, "-", "-", "-", "-", "-", note))
                else:
                    times[(shape, size)] = (seconds, cpu)
                    print("%-9s %9d %9.3f %9s %12.0f %12s %10d %7.0f %s" % (
                        shape, size, seconds, "%.3f" % cpu if cpu is not None else "-", size / seconds,
                        "%.0f" % (size / cpu) if cpu else "-", peak, peak * 1024.0 / size, note))
                l_seconds, _, l_status, l_cpu = best.get(("listing", size), (None, 0, None, None))
                if l_seconds is not None and l_status == 0:
                    listing_times[(shape, size)] = (l_seconds, l_cpu)
                a_seconds, _, a_status, a_cpu = best.get(("as", size), (None, 0, None, None))
                if a_seconds is not None and a_status == 0:
                    as_times[(shape, size)] = (a_seconds, a_cpu)
            for leftover in os.listdir(work):
                os.remove(os.path.join(work, leftover))

        def ratio(a, b, which):
            if a[which] is None or b[which] is None or b[which] == 0:
                return "    -"
            return "%5.2f" % (a[which] / b[which])

        # CPU time (user and system) is also given, as it is the steadier
        # measure on a machine that other work shares.
        if len(sizes) >= 2:
            small, large = sizes[-2], sizes[-1]
            print("\ntime(%d)/time(%d) per shape (target <= 12 for 10x the lines): wall, cpu" % (large, small))
            for shape in shapes:
                if (shape, small) in times and (shape, large) in times:
                    a, b = times[(shape, large)], times[(shape, small)]
                    print("  %-9s %s %s" % (shape, ratio(a, b, 0), ratio(a, b, 1)))
                else:
                    print("  %-9s    n/a" % shape)
        def print_ratios(title, others, label, others_on_top):
            """Per shape and size: the other run's time and the ratio the title names."""
            print("\n" + title)
            for shape in shapes:
                for size in sizes:
                    if (shape, size) in others and (shape, size) in times:
                        other, own = others[(shape, size)], times[(shape, size)]
                        a, b = (other, own) if others_on_top else (own, other)
                        print("  %-9s %9d  %2s %7.3f s  ratio %s %s" % (
                            shape, size, label, other[0], ratio(a, b, 0), ratio(a, b, 1)))

        if ("sections" in shapes and "functions" in shapes):
            print("\ntime(sections)/time(functions): a section per function over one section"
                  " (target <= 1.5): wall, cpu")
            for size in sizes:
                if ("sections", size) in times and ("functions", size) in times:
                    a, b = times[("sections", size)], times[("functions", size)]
                    print("  %9d %s %s" % (size, ratio(a, b, 0), ratio(a, b, 1)))
                    if ("sections", size) in listing_times and ("functions", size) in listing_times:
                        a, b = listing_times[("sections", size)], listing_times[("functions", size)]
                        print("  %9d %s %s  with -l -t -x" % (size, ratio(a, b, 0), ratio(a, b, 1)))
        if listing_times:
            print_ratios("time with -l -t -x / time without (target < 3): wall, cpu", listing_times, "", True)
        if as_times:
            print_ratios("zorvel-pa time / as time: wall, cpu", as_times, "as", False)
        elif not assembler:
            print("\n(as is not installed: no comparison)")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Procedural abstraction speed benchmark (not a test).

Generates compiler-like sources of growing size: functions with a frame,
bodies drawn from a few repeated instruction runs with varied registers,
stack-relative loads and stores, and local loops with their branch-target
labels. Runs the default mode with -o on each and prints lines per second,
the time, and the ratio of the times of the two largest sizes (10 times the
lines should take about 10 to 12 times as long: N log N).

usage: bench/pa.py [--program PATH] [--sizes 10000,100000,1000000] [--seed N]
"""
import argparse
import os
import random
import subprocess
import sys
import tempfile
import time


def generate(lines, seed, out):
    rnd = random.Random(seed)
    w = out.write
    w("\t.section\t.text,code\n\t.set\t___PA___,1\n")
    # Runs the compiler emits again and again, each with its own registers.
    runs = []
    for _ in range(24):
        run = []
        for _ in range(rnd.randint(2, 6)):
            op = rnd.choice(["add", "sub", "and", "ior", "xor"])
            r = rnd.randint(0, 4)
            run.append("\t%s\tw%d,w%d,w%d\n" % (op, r, r + 1, r + 2))
            if rnd.random() < 0.3:
                run.append("\tmov\t[w15-%d],w%d\n" % (2 * rnd.randint(1, 6), r))
            if rnd.random() < 0.2:
                run.append("\tmov\tw%d,[w15-%d]\n" % (r, 2 * rnd.randint(1, 6)))
        runs.append(run)
    written = 2
    function = 0
    while written < lines:
        function += 1
        w("\t.global\t_f%d\n_f%d:\n\tlnk\t#8\n" % (function, function))
        written += 3
        for k in range(rnd.randint(2, 6)):
            for text in runs[rnd.randrange(len(runs))]:
                w(text)
                written += 1
            if rnd.random() < 0.25:
                r = rnd.randint(0, 7)
                w(".L%d_%d:\n\tdec\tw%d,w%d\n\tbra\tnz,.L%d_%d\n" % (function, k, r, r, function, k))
                written += 3
        w("\tulnk\n\treturn\n")
        written += 2
    return written


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default="build-release/elf/zorvel-pa")
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    sizes = [int(s) for s in args.sizes.split(",")]
    times = []
    with tempfile.TemporaryDirectory() as scratch:
        for size in sizes:
            source = os.path.join(scratch, "bench%d.s" % size)
            with open(source, "w") as out:
                lines = generate(size, args.seed, out)
            start = time.perf_counter()
            result = subprocess.run([args.program, "-o", os.path.join(scratch, "bench.pa"), source])
            elapsed = time.perf_counter() - start
            if result.returncode != 0:
                sys.exit("%s exited with %d on %d lines" % (args.program, result.returncode, lines))
            times.append(elapsed)
            print("%9d lines  %7.2f s  %10.0f lines/s" % (lines, elapsed, lines / elapsed))
    if len(times) >= 2:
        print("ratio of the two largest: %.2f (sizes %.1f times apart)" % (times[-1] / times[-2], sizes[-1] / sizes[-2]))


if __name__ == "__main__":
    main()

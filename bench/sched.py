#!/usr/bin/env python3
"""Scheduling speed benchmark (not a test).

Generates compiler-style sources of growing size (functions cut into basic
blocks of 2 to 14 instructions by conditional and unconditional branches,
local labels and returns, with skips, table reads and pointer loads that
give the scheduler and the delay-slot filler work), runs the release build
with -s -b2 -o on each, checks that the scheduled source has one line per
source line, and prints the time. Target: a 1,000,000-line source in under
5 seconds.

usage: bench/sched.py [--program PATH] [--sizes 10000,100000,1000000]
                      [--repeat N] [--timeout S] [--keep DIR]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# Instruction lines a block is made of; {a}..{d} are working registers.
BODY = (
    "\tmov\tw{a},w{b}\n",
    "\tmov\t[w{a}],w{b}\n",
    "\tmov\t[w14+{o}],w{a}\n",
    "\tmov\tw{a},[w14+{o}]\n",
    "\tadd\tw{a},w{b},w{c}\n",
    "\tsub\tw{a},w{b},w{c}\n",
    "\tmov\tw{a},[w{b}++]\n",
    "\ttblrdl\t[w{a}],w{b}\n",
    "\tinc\tw{a},w{b}\n",
)


class Random:
    """A small deterministic generator, so every run sees the same source."""

    def __init__(self, seed):
        self.state = seed

    def next(self, bound):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 8) % bound


def generate(lines, out):
    """Writes about `lines` lines and answers how many it wrote."""
    random = Random(1)
    w = out.write
    w("\t.section\t.text,code\n")
    w("\t.set\t___PA___,1\n")
    written = 2
    function = 0
    while written < lines - 40:
        w("\t.global\t_f%d\n_f%d:\n\tlnk\t#8\n" % (function, function))
        written += 3
        blocks = 2 + random.next(6)
        for block in range(blocks):
            for _ in range(2 + random.next(13)):
                a, b, c = 1 + random.next(12), 1 + random.next(12), 1 + random.next(12)
                w(BODY[random.next(len(BODY))].format(a=a, b=b, c=c, o=2 * random.next(4)))
                written += 1
            kind = random.next(5)
            if kind == 0:
                w("\tbtss\tw%d,#%d\n" % (random.next(8), random.next(16)))
                w("\tbra\t.L%d_%d\n" % (function, blocks))
                written += 2
            elif kind == 1:
                w("\t.set\t___BP___,%d\n" % (10 + random.next(90)))
                w("\tbra\tz,.L%d_%d\n" % (function, blocks))
                written += 2
            elif kind == 2:
                w("\tbra\t.L%d_%d\n" % (function, block + 1))
                written += 1
            w(".L%d_%d:\n" % (function, block + 1))
            written += 1
        w("\tulnk\n\treturn\n")
        written += 2
        function += 1
    return written


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", default=os.path.join(HERE, "..", "build-release", "elf", "zorvel-pa"))
    parser.add_argument("--sizes", default="10000,100000,1000000")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--timeout", type=float, default=120.0)
    parser.add_argument("--keep", help="also write the largest source into this directory")
    args = parser.parse_args()
    program = os.path.abspath(args.program)
    if not os.path.exists(program):
        sys.exit("no program at %s (build with -DCMAKE_BUILD_TYPE=Release)" % program)
    work = tempfile.mkdtemp(prefix="zpa-sched-bench-")
    failed = False
    try:
        print("%9s %9s %12s %s" % ("lines", "seconds", "lines/s", "note"))
        for size in [int(s) for s in args.sizes.split(",")]:
            source = os.path.join(work, "prog.s")
            with open(source, "w") as out:
                lines = generate(size, out)
            if args.keep:
                shutil.copy(source, os.path.join(args.keep, "sched-%d.s" % size))
            best = None
            note = ""
            for _ in range(args.repeat):
                env = dict(os.environ, TEMP=work)
                start = time.perf_counter()
                try:
                    status = subprocess.run([program, "-s", "-b2", "-o", "out.is", "prog.s"], cwd=work, env=env,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                            timeout=args.timeout).returncode
                except subprocess.TimeoutExpired:
                    note = "time-out"
                    break
                seconds = time.perf_counter() - start
                if status != 0:
                    note = "exit %d" % status
                    break
                best = seconds if best is None else min(best, seconds)
            if not note:
                with open(os.path.join(work, "out.is")) as scheduled:
                    count = sum(1 for line in scheduled if not line.startswith("\tnop\n"))
                if count != lines:
                    note = "out.is has %d source lines, not %d" % (count, lines)
            if best is None or note:
                failed = True
                print("%9d %9s %12s %s" % (lines, "-", "-", note))
            else:
                print("%9d %9.3f %12.0f %s" % (lines, best, lines / best, note))
            for leftover in os.listdir(work):
                os.remove(os.path.join(work, leftover))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()

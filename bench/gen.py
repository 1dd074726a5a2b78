#!/usr/bin/env python3
"""Writes a generated assembly source of one shape and size to stdout.

Shapes:
  data   one data statement a line in .data
  label  the same with a label on every line
  refs   many references to one name (two on every line)
  insn   instruction lines in .text
  sections  small functions, each in a section of its own
  functions the same functions, each opened with .section .text,code
"""
import sys


def generate(shape, lines, out):
    w = out.write
    if shape == "data":
        w("\t.section .data\n")
        for n in range(lines - 1):
            w("\t.byte %d, 3, 0x%02X\n" % (n & 0x7F, n & 0xFF))
    elif shape == "label":
        w("\t.section .data\n")
        for n in range(lines - 1):
            w("L%d:\t.byte %d, 3, 0x%02X\n" % (n, n & 0x7F, n & 0xFF))
    elif shape == "refs":
        w("\t.section .data\n")
        w("\t.equ target, 5\n")
        for n in range(lines - 2):
            w("\t.byte target, %d, target\n" % (n & 0x7F))
    elif shape == "insn":
        w("\t.section .text,code\n")
        body = ("\tmov w0,w1\n", "\tadd w1,w2,w3\n", "\tmov [w14+2],w0\n")
        for n in range(lines - 1):
            w(body[n % 3])
    elif shape in ("sections", "functions"):
        # Four lines a function, as a compiler writes them with and without
        # a section per function; both select a section on every function.
        for n in range(lines // 4):
            if shape == "sections":
                w("\t.section\t.text._f%d,code\n" % n)
            else:
                w("\t.section\t.text,code\n")
            w("_f%d:\n\tmov\tw%d,w%d\n\treturn\n" % (n, n % 8, n % 8 + 1))
        for n in range(lines % 4):
            w("\tnop\n")
    else:
        raise SystemExit("unknown shape " + shape)


if __name__ == "__main__":
    generate(sys.argv[1], int(sys.argv[2]), sys.stdout)

#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into the given directory:
source/ from every source file of the end-to-end cases, the examples and
seeds/ here (compiler-style sources for the optimisers)
(each once per command line the source target knows), device/ from the
device databases of the cases and a few built here."""
import hashlib
import os
import re
import sys

here = os.path.dirname(os.path.abspath(__file__))
top = os.path.dirname(os.path.dirname(here))
out = sys.argv[1]


def put(kind, data):
    os.makedirs(os.path.join(out, kind), exist_ok=True)
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(out, kind, name), 'wb') as f:
        f.write(data)


def sections(text):
    """(kind, path, body) of every section of a case file."""
    parts = re.split(r'^--- ', text, flags=re.M)
    for part in parts[1:]:
        head, _, body = part.partition('\n')
        words = head.split()
        if len(words) >= 2:
            yield words[0], words[1], body


sources = []
databases = []
cases = os.path.join(top, 'tests', 'e2e', 'cases')
for case in sorted(os.listdir(cases)):
    with open(os.path.join(cases, case), encoding='latin-1') as f:
        text = f.read()
    for kind, path, body in sections(text):
        if kind == 'file' and path.endswith('.s'):
            sources.append(body.encode('latin-1'))
        elif kind == 'hexfile' and path.endswith('.info'):
            digits = re.sub(r'#.*', '', body).split()
            databases.append(bytes(int(d, 16) for d in digits))
for name in sorted(os.listdir(os.path.join(top, 'examples'))):
    with open(os.path.join(top, 'examples', name), 'rb') as f:
        sources.append(f.read())

for source in sources:
    for mode in (0, 1, 2, 0x80):
        put('source', bytes([mode]) + source)

# The compiler-style sources (some written by tests/proof/gen_source) go in
# with every command line: each mode, with and without -w and -n1.
seeds = os.path.join(here, 'seeds')
for name in sorted(os.listdir(seeds)):
    if name.endswith('.s'):
        with open(os.path.join(seeds, name), 'rb') as f:
            source = f.read()
        for mode in (0, 1, 2):
            for bits in (0, 0x40, 0x80, 0xC0):
                put('source', bytes([mode | bits]) + source)


def scramble(byte):
    pairs = ((byte & 0x55) << 1) | ((byte & 0xAA) >> 1)
    return ((pairs & 0x0F) << 4) | ((pairs & 0xF0) >> 4)


def database(records, sizes=(16, 4, 3), major=1, minor=33):
    data = bytes(scramble(c) for c in b'RIXA') + b'\0'
    data += major.to_bytes(2, 'little') + minor.to_bytes(2, 'little') + b'B'
    data += len(sizes).to_bytes(4, 'little')
    for size in sizes:
        data += size.to_bytes(4, 'little')
    data += bytes([1, 0xFF, 0xFF, 2]) + b'\xFF' * 4
    for name, flags in records:
        field = bytes(scramble(c) for c in name) + b'\0'
        data += field.ljust(sizes[0], b'\0')[:sizes[0]]
        data += flags.to_bytes(4, 'little')
        data += b'\x5A' * sum(sizes[2:])
    return data


built = [
    database([(b'DEV1', 0x40000001), (b'DEV2', 0x40000040)]),
    database([(b'DEV1', 0x10000001), (b'DEV1', 0x40000080)]),
    database([(b'DEV1', 0x40000004)], sizes=(8, 4)),
    database([(b'DEV1', 0x40000002)], minor=32),
]
for data in databases + built:
    for head in (bytes([4]) + b'DEV1', bytes([0x84]) + b'DEV1', bytes([4]) + b'dev2'):
        put('device', head + data)
for data in databases:
    put('device', bytes([0]) + data)

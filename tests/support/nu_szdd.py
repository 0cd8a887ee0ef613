#!/usr/bin/env python3
"""Writes SZDD (LZ) compressed files for the update engine tests.

usage: nu_szdd.py INPUT OUTPUT [--missing CHAR] [--literals]

  --missing CHAR  the stored last character of the expanded name (none when left out)
  --literals      literal bytes only, no back references
The header is "SZDD" 88 F0 27 33, "A", the missing character, the expanded length (32-bit
little-endian); then groups of a flag byte and eight items, each a literal byte (flag bit 1) or
a two-byte reference into a 4096-byte window that starts filled with blanks at position 4080.
"""
import argparse
import struct
import sys


def compress(data, literals):
    out = bytearray()
    items, flags, count = bytearray(), 0, 0
    last = {}
    i = 0

    def flush():
        nonlocal items, flags, count
        if count:
            out.append(flags)
            out.extend(items)
        items, flags, count = bytearray(), 0, 0

    while i < len(data):
        length, where = 0, -1
        if not literals and i + 3 <= len(data):
            j = last.get(bytes(data[i:i + 3]), -1)
            if j >= 0 and i - j < 4000:
                n = 0
                while n < 18 and i + n < len(data) and data[j + n] == data[i + n]:
                    n += 1
                if n >= 3:
                    length, where = n, j
        if length:
            pos = (4080 + where) & 4095
            items.append(pos & 0xFF)
            items.append(((pos >> 4) & 0xF0) | (length - 3))
            step = length
        else:
            flags |= 1 << count
            items.append(data[i])
            step = 1
        for k in range(i, min(i + step, len(data) - 2)):
            last[bytes(data[k:k + 3])] = k
        i += step
        count += 1
        if count == 8:
            flush()
    flush()
    return bytes(out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("input")
    ap.add_argument("output")
    ap.add_argument("--missing", default="")
    ap.add_argument("--literals", action="store_true")
    a = ap.parse_args()
    data = open(a.input, "rb").read()
    missing = a.missing.encode("latin-1")[:1] or b"\0"
    header = b"SZDD\x88\xf0\x27\x33" + b"A" + missing + struct.pack("<I", len(data))
    with open(a.output, "wb") as f:
        f.write(header + compress(data, a.literals))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""An independent writer and reader of .dzp packages for the tests (Python's zlib).

  dbu_package.py write IN OUT --name NAME [--size U] [--checksum S] [--body-hex HEX] [--level L]
      writes IN as a package; --size/--checksum override the trailer, --body-hex replaces the body
  dbu_package.py read PKG OUT
      inflates the body to OUT (U bytes) and prints "name<TAB>U<TAB>S" (name as UTF-8 of cp1250)
"""
import struct
import sys
import zlib


def checksum(data):
    return (1 + sum(data)) % (1 << 64)


def write(argv):
    import argparse
    p = argparse.ArgumentParser()
    p.add_argument("input")
    p.add_argument("output")
    p.add_argument("--name", required=True)
    p.add_argument("--size", type=int)
    p.add_argument("--checksum", type=int)
    p.add_argument("--body-hex")
    p.add_argument("--level", type=int, default=9)
    a = p.parse_args(argv)
    data = open(a.input, "rb").read()
    body = bytes.fromhex(a.body_hex) if a.body_hex is not None else zlib.compress(data, a.level)
    name = a.name.encode("cp1250")
    size = len(data) if a.size is None else a.size
    s = checksum(data) if a.checksum is None else a.checksum
    with open(a.output, "wb") as f:
        f.write(body + struct.pack("<qQ", size, s) + name + struct.pack("<i", len(name)))


def read(argv):
    pkg = open(argv[0], "rb").read()
    (n,) = struct.unpack("<i", pkg[-4:])
    start = len(pkg) - n - 20
    size, s = struct.unpack("<qQ", pkg[start:start + 16])
    name = pkg[start + 16:start + 16 + n].decode("cp1250")
    data = zlib.decompressobj().decompress(pkg[:start])[:size]
    open(argv[1], "wb").write(data)
    print("%s\t%d\t%d" % (name, size, s))


if __name__ == "__main__":
    {"write": write, "read": read}[sys.argv[1]](sys.argv[2:])

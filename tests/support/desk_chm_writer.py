#!/usr/bin/env python3
"""Writes a small compiled HTML help file (ITSF/ITSP/PMGL, every object stored uncompressed
in content section 0), written from the container layout and independent of the reader.

usage: desk_chm_writer.py OUT.chm NAME=FILE...   (NAME is the object path, e.g. /intro.htm)
Special names: @default=TOPIC, @title=TEXT, @map=ID:TOPIC (repeatable) build /#SYSTEM,
/#IVB and /#STRINGS.
"""
import struct
import sys

CHUNK = 4096


def encint(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def build(objects):
    names = sorted(objects, key=lambda s: s.lower())
    content = b""
    entries = b""
    for name in names:
        data = objects[name]
        entries += encint(len(name.encode())) + name.encode() + encint(0) + encint(len(content)) + encint(len(data))
        content += data
    room = CHUNK - 20
    if len(entries) > room:
        raise SystemExit("too many objects for one listing chunk")
    free = room - len(entries)
    pmgl = b"PMGL" + struct.pack("<IIii", free, 0, -1, -1) + entries + b"\0" * free
    itsp = b"ITSP" + struct.pack("<IIIIIIiiiiI", 1, 0x54, 10, CHUNK, 2, 1, -1, 0, 0, -1, 1) + struct.pack("<I", 0x409)
    itsp += b"\x6a\x92\x02\x5d\x2e\x21\xd0\x11\x9d\xf9\x00\xa0\xc9\x22\xe6\xec" + struct.pack("<Iiii", 0x54, -1, -1, -1)
    assert len(itsp) == 0x54
    header_len = 0x60
    sect0 = struct.pack("<IIQQ", 0x1FE, 0, 0, 0)  # header section 0: file size patched below
    sect0_off = header_len
    dir_off = sect0_off + len(sect0)
    directory = itsp + pmgl
    data_off = dir_off + len(directory)
    total = data_off + len(content)
    sect0 = struct.pack("<IIQQ", 0x1FE, 0, total, 0)
    itsf = b"ITSF" + struct.pack("<iiiII", 3, header_len, 1, 0, 0x409)
    itsf += b"\x10\xfd\x01\x7c\xaa\x7b\xd0\x11\x9e\x0c\x00\xa0\xc9\x22\xe6\xec"
    itsf += b"\x11\xfd\x01\x7c\xaa\x7b\xd0\x11\x9e\x0c\x00\xa0\xc9\x22\xe6\xec"
    itsf += struct.pack("<QQQQQ", sect0_off, len(sect0), dir_off, len(directory), data_off)
    assert len(itsf) == header_len
    return itsf + sect0 + directory + content


def main():
    out = sys.argv[1]
    objects = {}
    default, title, mapping = None, None, []
    for arg in sys.argv[2:]:
        name, value = arg.split("=", 1)
        if name == "@default":
            default = value
        elif name == "@title":
            title = value
        elif name == "@map":
            ident, topic = value.split(":", 1)
            mapping.append((int(ident), topic))
        else:
            with open(value, "rb") as f:
                objects[name] = f.read()
    system = struct.pack("<I", 3)
    for code, text in ((2, default), (3, title)):
        if text is not None:
            raw = text.encode("cp1250") + b"\0"
            system += struct.pack("<HH", code, len(raw)) + raw
    objects["/#SYSTEM"] = system
    if mapping:
        strings = b"\0"
        ivb = b""
        for ident, topic in mapping:
            ivb += struct.pack("<II", ident, len(strings))
            strings += topic.encode() + b"\0"
        objects["/#IVB"] = struct.pack("<I", len(ivb)) + ivb
        objects["/#STRINGS"] = strings
    with open(out, "wb") as f:
        f.write(build(objects))


if __name__ == "__main__":
    main()

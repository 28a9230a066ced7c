#!/usr/bin/env python3
"""Says where two builds of one program differ: the first differing offset,
how many bytes differ, and for a Windows program which part of the file
holds the first difference (a header field, a section, or what follows the
sections).
    where-differs.py A B"""
import struct
import sys

# Fields of the PE headers worth naming: (offset from the PE signature, size, name).
PE_FIELDS = [
    (8, 4, "the link time (TimeDateStamp)"),
    (24 + 64, 4, "the PE checksum"),
    (24 + 128, 8, "the certificate table's entry (signature)"),
]


def pe_part(data, offset):
    """Which part of a PE file holds `offset`; None when it is no PE file."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    if offset < pe:
        return "the DOS header and stub"
    for at, size, name in PE_FIELDS:
        if pe + at <= offset < pe + at + size:
            return name
    sections, optional = struct.unpack_from("<H12xH", data, pe + 6)
    table = pe + 24 + optional
    if offset < table:
        return "the COFF or optional header"
    if offset < table + 40 * sections:
        return "the section table"
    for i in range(sections):
        name, raw_size, raw_at = struct.unpack_from("<8s8xII", data, table + 40 * i)
        if raw_at <= offset < raw_at + raw_size:
            name = name.rstrip(b"\0").decode("ascii", "replace")
            return f"section {name} (+0x{offset - raw_at:x})"
    return "what follows the sections"


def main():
    a_path, b_path = sys.argv[1:3]
    a = open(a_path, "rb").read()
    b = open(b_path, "rb").read()
    first = next((i for i in range(min(len(a), len(b))) if a[i] != b[i]), None)
    name = a_path.rsplit("/", 1)[-1]
    if first is None and len(a) == len(b):
        print(f"{name}: the same")
        return
    if first is None:
        print(f"{name}: sizes differ ({len(a)} and {len(b)} bytes), the shorter is the start of the longer")
        return
    count = sum(1 for x, y in zip(a, b) if x != y)
    where = pe_part(a, first)
    print(f"{name}: differs first at offset {first} (0x{first:x})"
          + (f", in {where}" if where else "")
          + f"; {count} bytes differ" + (f", sizes {len(a)} and {len(b)}" if len(a) != len(b) else ""))


if __name__ == "__main__":
    main()

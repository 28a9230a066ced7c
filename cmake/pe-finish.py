#!/usr/bin/env python3
"""Finishes a Windows program as a signature leaves it when it is removed
again: the file padded with zeros to a multiple of 8 bytes and the PE
header's checksum set. Signing pads the file and sets the checksum, and
`osslsigncode remove-signature` keeps both; finished this way beforehand, a
signed program with its signature removed is byte for byte the built one.
    pe-finish.py PROGRAM"""
import struct
import sys


def checksum(data):
    """The PE image checksum: 16-bit one's-complement sum plus the length."""
    total = 0
    words = struct.unpack_from(f"<{len(data) // 2}H", data)
    for word in words:
        total += word
    if len(data) % 2:
        total += data[-1]
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        data = bytearray(f.read())
    if data[:2] != b"MZ":
        sys.exit(f"{path}: not a Windows program")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE header")
    data += b"\0" * (-len(data) % 8)
    field = pe + 4 + 20 + 64  # the optional header's CheckSum
    struct.pack_into("<I", data, field, 0)
    struct.pack_into("<I", data, field, checksum(data))
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()

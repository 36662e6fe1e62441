#!/usr/bin/python3
"""Writes a PE image's header checksum, which lld as Zig runs it leaves 0 and
GNU ld and MSVC's linker fill in: a signing tool recomputes it, so without it
an image less its signature would not be the bytes that were built.

The checksum is the image's 16-bit little-endian words summed with their
carries folded back in, the checksum field itself counted as 0, plus the
file's length.

Run after each link of the ARM64 build (cmake/CompilerSettings.cmake): pe-checksum.py IMAGE
"""
import struct
import sys

path = sys.argv[1]
with open(path, "r+b") as image:
    data = bytearray(image.read())
    field = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64  # OptionalHeader.CheckSum
    data[field:field + 4] = bytes(4)
    total = 0
    for (word,) in struct.iter_unpack("<H", data + bytes(len(data) % 2)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    image.seek(field)
    image.write(struct.pack("<I", total + len(data)))

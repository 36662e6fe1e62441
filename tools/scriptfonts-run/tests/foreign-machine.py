#!/usr/bin/python3
"""Copies a PE image with its COFF Machine field replaced, for the load-failure cases.

Usage: foreign-machine.py SOURCE DESTINATION MACHINE   (MACHINE as hex, e.g. 14c for 32-bit x86)
"""
import struct
import sys

source, destination, machine = sys.argv[1], sys.argv[2], int(sys.argv[3], 16)
image = bytearray(open(source, "rb").read())
offset = struct.unpack_from("<I", image, 0x3C)[0]
if image[:2] != b"MZ" or image[offset:offset + 4] != b"PE\0\0":
    sys.exit(f"{source} is not a PE image")
struct.pack_into("<H", image, offset + 4, machine)
open(destination, "wb").write(image)

#!/usr/bin/env python3
"""Writes the fuzzers' committed seeds: tests/fuzz/corpus/ for
scriptfonts_fuzz (texts cut at 256 bytes), tests/fuzz/long-text-corpus/ for
scriptfonts_fuzz_long_texts (texts up to 70,000 bytes).

One file per case worth starting from; the byte layout is described in
fuzz_input.h. Run again after changing the layout: it removes the old seeds.
"""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent

FUNCTIONS = ["registerFont", "registerFontA", "unRegisterFont", "registerFonts", "findFontByName"]
# Indices into processNames in fuzz_input.cpp.
PROCESS = {"Photoshop.exe": 0, "PHOTOSHOP.EXE": 1, "Illustrator.exe": 3, "ILLUSTRATOR.exe": 4, "explorer.exe": 5,
           "Photoshop.exe.bak": 6}
# FaceChoice in fuzz_input.h.
FACE = {"requested": 0, "upper": 1, "lower": 2, "prefix": 3, "suffix": 4, "empty": 5, "arial": 6, "lantern": 7,
        "non-ascii": 8, "longest": 9}
SNAPSHOT_FAILS, GETDC_FAILS, WINE_QUIRK = 1, 2, 4
BAD_ALLOC_WINDOW_WALK, BAD_ALLOC_ENUMERATION = 1 << 3, 2 << 3
NULL_ARGUMENTS, NULL_TEXT, NULL_RESULT = 1, 2, 4
EVEN_SENDS_FAIL, ODD_SENDS_FAIL = 1 << 4, 2 << 4
CALLER_SHIFT = 6
EXECUTABLE_SHIFT = 3


def build(function, text=b"", *, pointers=0, count=1, tag=4, fill=0xA5, add=1, add_failure_mask=0, remove=1,
          switches=0, failing_allocation=0, processes=(), caller=0, windows=(), sends_fail=0, faces=(), repetitions=1,
          executable=None):
    assert 0 <= failing_allocation < 8 and 0 <= caller < 4
    if executable:  # the caller's own file name, a name of PROCESS (else the fuzzer's)
        pointers |= (PROCESS[executable] + 2) << EXECUTABLE_SHIFT
    switches |= failing_allocation << 5
    # Stored XOR the usual value (see fuzz_input.h).
    out = struct.pack("<BBiiBbBbB", FUNCTIONS.index(function), pointers, count ^ 1, tag ^ 4, fill, add ^ 1,
                      add_failure_mask, remove ^ 1, switches)
    out += bytes([len(processes)])
    for slot in range(4):
        name, pid = processes[slot] if slot < len(processes) else ("explorer.exe", 0)
        out += bytes([PROCESS[name], pid])
    out += bytes([len(windows) | sends_fail | caller << CALLER_SHIFT])
    out += bytes(list(windows) + [0] * (6 - len(windows)))
    out += bytes([len(faces)])
    out += bytes([FACE[f] for f in faces] + [0] * (4 - len(faces)))
    out += bytes([0 if repetitions == 1 else 0xF0 + repetitions.bit_length() - 2])
    assert repetitions == 1 or 2 << (out[-1] - 0xF0) == repetitions, repetitions
    assert len(out) == 37, len(out)
    return out + text


SEEDS = {
    # Registration and the host's windows.
    "register-font-host-found": build(
        "registerFont", "C:\\fonts\\a.ttf".encode(), processes=[("explorer.exe", 4), ("Photoshop.exe", 10)],
        windows=[10, 20, 10, 30]),
    # Called from the second of two hosts: its windows are told, not the first's.
    "register-font-caller-listed-second": build(
        "registerFont", b"C:\\fonts\\a.ttf", processes=[("Photoshop.exe", 10), ("PHOTOSHOP.EXE", 20)], caller=1,
        windows=[10, 20, 10, 20]),
    "register-font-a-first-host-only": build(
        "registerFontA", "C:\\fonts\\ünicøde-字体.ttf".encode(),
        processes=[("PHOTOSHOP.EXE", 10), ("ILLUSTRATOR.exe", 20), ("Illustrator.exe", 30)], windows=[20, 30, 20]),
    # A host window that could not be waited for has the message posted.
    "register-font-sends-fail": build(
        "registerFont", b"C:\\fonts\\a.ttf", processes=[("Photoshop.exe", 10)], windows=[10, 20, 10, 10],
        sends_fail=ODD_SENDS_FAIL),
    # Inside the host: told with no snapshot taken, though none could be had.
    "register-font-inside-the-host": build(
        "registerFont", b"C:\\fonts\\a.ttf", switches=SNAPSHOT_FAILS, executable="PHOTOSHOP.EXE",
        processes=[("Photoshop.exe", 10)], caller=1, windows=[10, 20, 10]),
    "register-font-addition-fails": build(
        "registerFont", b"C:\\fonts\\missing.ttf", add=0, processes=[("Photoshop.exe", 10)], windows=[10]),
    "register-font-snapshot-fails": build(
        "registerFont", b"C:\\fonts\\a.ttf", switches=SNAPSHOT_FAILS, processes=[("Photoshop.exe", 10)], windows=[10]),
    "register-font-host-id-0": build(
        "registerFont", b"C:\\fonts\\a.ttf", processes=[("Photoshop.exe.bak", 3), ("Photoshop.exe", 0)],
        windows=[0, 3]),
    "register-font-out-of-memory": build(
        "registerFont", b"C:\\fonts\\a.ttf", switches=BAD_ALLOC_WINDOW_WALK, processes=[("Photoshop.exe", 10)],
        windows=[10]),
    # A path of 70,000 bytes (the most the fuzzer passes), more than a 16-bit count holds.
    "register-font-very-long-path": build("registerFont", b"C:\\" + b"a" * 277, repetitions=256,
                                          processes=[("Photoshop.exe", 10)], windows=[10]),
    # Removal.
    "unregister-font-removed": build("unRegisterFont", "C:\\字体\\宋体.ttf".encode()),
    "unregister-font-not-removed": build("unRegisterFont", b"", remove=0),
    # Lists: empty pieces, a space, a trailing comma, some additions failing.
    "register-fonts-edge-pieces": build("registerFonts", b"a.ttf,,b.ttf, c.ttf,", add_failure_mask=0b0101),
    "register-fonts-run-of-commas": build("registerFonts", b",", repetitions=256),
    # Overlong forms, a surrogate in UTF-8, beyond U+10FFFF, a pair, a stray byte, cut-off sequences.
    "register-fonts-malformed-utf8": build(
        "registerFonts", b"a\xE6,\xC0\xAF,\xE0\x80\xAF,\xED\xA0\x80,\xF4\x90\x80\x80,\xF0\x9F\x98\x80.ttf,\xFF,z\xF0\x9F\x98",
        switches=WINE_QUIRK),
    "register-fonts-embedded-nul": build("registerFonts", b"a.ttf,b.ttf\0,c.ttf,d.ttf"),
    # Lookup.
    "find-font-found": build("findFontByName", b"Alpha Sans", faces=["arial", "lower", "requested", "upper"]),
    "find-font-near-misses": build("findFontByName", b"Alpha Sans", faces=["upper", "lower", "prefix", "suffix"]),
    "find-font-31-units": build("findFontByName", b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde", faces=["longest"]),
    "find-font-32-units": build("findFontByName", b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef", faces=["requested"]),
    # 15 surrogate pairs and one letter: 31 units.
    "find-font-surrogate-pairs": build("findFontByName", "😀".encode() * 15 + b"a", faces=["empty", "requested"]),
    "find-font-cut-off-on-wine": build("findFontByName", b"Alpha\xE6", switches=WINE_QUIRK, faces=["requested"]),
    "find-font-no-dc": build("findFontByName", b"Alpha Sans", switches=GETDC_FAILS, faces=["requested"]),
    "find-font-out-of-memory": build("findFontByName", b"Alpha Sans", switches=BAD_ALLOC_ENUMERATION,
                                     faces=["requested"]),
    # Malformed calls.
    "rejected-count-2": build("registerFonts", b"a.ttf", count=2),
    "rejected-tag-123": build("findFontByName", b"Alpha Sans", tag=123, faces=["requested"]),
    "rejected-null-text": build("unRegisterFont", b"a.ttf", pointers=NULL_TEXT),
    "rejected-null-result": build("registerFont", b"a.ttf", pointers=NULL_RESULT, processes=[("Photoshop.exe", 1)]),
    # The library's own allocations failing: the frame's copy (texts past the
    # inline buffer of a string), the decoded text, a list's later piece.
    "register-font-copy-fails": build("registerFont", b"C:\\fonts\\a-long-file-name.ttf", failing_allocation=1,
                                      processes=[("Photoshop.exe", 10)], windows=[10]),
    "register-font-a-decoding-fails": build("registerFontA", b"C:\\fonts\\a-long-file-name.ttf",
                                            failing_allocation=2, processes=[("Illustrator.exe", 10)], windows=[10]),
    "find-font-decoding-fails": build("findFontByName", b"Scriptfonts Sample Lantern", failing_allocation=2,
                                      faces=["requested"]),
    "register-fonts-later-piece-fails": build(
        "registerFonts", b"C:\\fonts\\first-font-file.ttf,C:\\fonts\\second-font-file.ttf,c.ttf",
        failing_allocation=5),
}

# Texts past every 16-bit count, up to the 70,000 bytes the long-text fuzzer takes.
LONG_TEXT_SEEDS = {
    "register-font-very-long-path": build("registerFont", b"C:\\" + b"a" * 277, repetitions=256,
                                          processes=[("Photoshop.exe", 10)], windows=[10]),
    "register-font-a-long-cut-off-path": build("registerFontA", "C:\\字体".encode(), repetitions=16384,
                                               processes=[("Illustrator.exe", 10)], windows=[10]),
    "unregister-font-very-long-path": build("unRegisterFont", b"C:\\fonts\\", repetitions=8192),
    # 70,000 commas: 70,001 empty pieces, more than a 16-bit count holds.
    "register-fonts-70001-pieces": build("registerFonts", b",,", repetitions=65536),
    "register-fonts-long-pieces": build("registerFonts", b"C:\\" + b"x" * 4090 + b".ttf,", repetitions=16),
    # 65,552 bytes: a length kept in 16 bits would read as 16, short enough to look up.
    "find-font-16-bit-wrap": build("findFontByName", b"a" * 4097, repetitions=16, faces=["requested"]),
    "register-fonts-long-copy-fails": build("registerFonts", b"a.ttf,", repetitions=16384, failing_allocation=1),
    "register-font-long-decoding-fails": build("registerFont", b"C:\\" + b"a" * 277, repetitions=256,
                                               failing_allocation=2, processes=[("Photoshop.exe", 10)]),
}


def write(directory, seeds):
    directory.mkdir(exist_ok=True)
    for old in directory.iterdir():
        old.unlink()
    for name, data in seeds.items():
        (directory / name).write_bytes(data)
    print(f"{len(seeds)} seeds in {directory}")


def main():
    write(HERE / "corpus", SEEDS)
    write(HERE / "long-text-corpus", LONG_TEXT_SEEDS)


if __name__ == "__main__":
    main()

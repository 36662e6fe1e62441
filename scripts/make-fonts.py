#!/usr/bin/python3
"""Makes the tiny TrueType fonts the samples and tests use.

Each font has one distinctive family name and maps "X" to a glyph that
inks its whole cell, so a test can tell from the pixels whether text drawn
in that face really used it. Run with no arguments to rewrite every font;
run with --family NAME --out PATH to make one more; run with --count N
--prefix P --out-dir DIR to make N fonts DIR/P-0000.ttf... with the faces
"ScriptFonts P 0000"... (the benchmark does; files already there are kept).
A collection (.ttc) holds several such fonts in one file.
"""
import argparse
import os

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.ttGlyphPen import TTGlyphPen
from fontTools.ttLib import TTCollection

UNITS_PER_EM = 1000
ASCENT = 800
DESCENT = 200
TEST_CHARACTER = "X"
FIXED_TIMESTAMP = 3_800_000_000  # seconds since 1904, in 2024

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (directory, file name, family name)
FONTS = [
    ("samples/fonts", "lantern.ttf", "Scriptfonts Sample Lantern"),
    ("samples/fonts", "harbor.ttf", "Scriptfonts Sample Harbor"),
    ("tests/windows/fonts", "alpha.ttf", "ScriptFonts Test Alpha"),
    ("tests/windows/fonts", "beta.ttf", "ScriptFonts Test Beta"),
    ("tests/windows/fonts", "gamma.ttf", "ScriptFonts Test Gamma"),
    ("tests/windows/fonts", "delta.ttf", "ScriptFonts Test Delta"),
    ("tests/windows/fonts", "\u00fcnic\u00f8de-\u5b57\u4f53.ttf", "ScriptFonts Test Unicode"),
    # The longest face name the system's face-name field holds: 31 UTF-16 units.
    ("tests/windows/fonts", "long-name.ttf", "ScriptFonts Test ThirtyOne Unit"),
]
# Two fonts for each thread of the concurrency test: with files and faces of
# its own, a thread's lookups depend on its own calls only.
FONTS += [("tests/windows/fonts/threads", f"thread-{thread}-{part}.ttf",
           f"ScriptFonts Thread {thread} {part.upper()}") for thread in range(8) for part in "ab"]
# (directory, file name, family names): one file that adds several fonts.
COLLECTIONS = [
    ("tests/windows/fonts", "pair.ttc", ["ScriptFonts Test Pair One", "ScriptFonts Test Pair Two"]),
]


def box_glyph(width, bottom, top):
    pen = TTGlyphPen(None)
    pen.moveTo((0, bottom))
    pen.lineTo((0, top))
    pen.lineTo((width, top))
    pen.lineTo((width, bottom))
    pen.closePath()
    return pen.glyph()


def make_font(family):
    postscript = "".join(ch for ch in family if ch.isalnum())[:63] + "-Regular"
    builder = FontBuilder(UNITS_PER_EM, isTTF=True)
    builder.setupGlyphOrder([".notdef", "space", "ink"])
    builder.setupCharacterMap({ord(" "): "space", ord(TEST_CHARACTER): "ink"})
    empty = TTGlyphPen(None).glyph()
    builder.setupGlyf({".notdef": empty, "space": empty, "ink": box_glyph(UNITS_PER_EM, -DESCENT, ASCENT)})
    builder.setupHorizontalMetrics({".notdef": (UNITS_PER_EM // 2, 0), "space": (UNITS_PER_EM // 2, 0),
                                    "ink": (UNITS_PER_EM, 0)})
    builder.setupHorizontalHeader(ascent=ASCENT, descent=-DESCENT)
    builder.setupNameTable({"familyName": family, "styleName": "Regular",
                            "uniqueFontIdentifier": postscript, "fullName": family,
                            "psName": postscript, "version": "Version 1.000"}, mac=False)
    # Latin 1 in the code-page bits, so the face is listed under ANSI_CHARSET too.
    builder.setupOS2(sTypoAscender=ASCENT, sTypoDescender=-DESCENT, usWinAscent=ASCENT, usWinDescent=DESCENT,
                     ulCodePageRange1=1, ulCodePageRange2=0)
    builder.setupPost(keepGlyphNames=False)
    # Fixed timestamps: remaking the fonts leaves the files byte for byte the same.
    builder.updateHead(created=FIXED_TIMESTAMP, modified=FIXED_TIMESTAMP)
    builder.font.recalcTimestamp = False
    return builder.font


def build_batch(count, prefix, out_dir):
    """Makes the fonts of a numbered series that are not there yet."""
    os.makedirs(out_dir, exist_ok=True)
    digits = max(4, len(str(count - 1)))
    made = 0
    for index in range(count):
        number = str(index).zfill(digits)
        path = os.path.join(out_dir, f"{prefix}-{number}.ttf")
        if os.path.exists(path):
            continue
        family = f"ScriptFonts {prefix} {number}"
        assert len(family.encode("utf-16-le")) // 2 < 32, family
        # Renamed into place, so an interrupted run never leaves half a font behind.
        make_font(family).save(path + ".tmp")
        os.replace(path + ".tmp", path)
        made += 1
    print(f"{out_dir}: {made} fonts made, {count - made} already there")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--family")
    parser.add_argument("--out")
    parser.add_argument("--count", type=int)
    parser.add_argument("--prefix", default="bench")
    parser.add_argument("--out-dir")
    args = parser.parse_args()
    if args.count is not None or args.out_dir:
        if args.count is None or args.count < 1 or not args.out_dir:
            parser.error("--count N (at least 1) and --out-dir go together")
        build_batch(args.count, args.prefix, args.out_dir)
        return
    if args.family or args.out:
        if not (args.family and args.out):
            parser.error("--family and --out go together")
        make_font(args.family).save(args.out)
        return
    for directory, name, family in FONTS:
        assert len(family.encode("utf-16-le")) // 2 < 32, family
        os.makedirs(os.path.join(ROOT, directory), exist_ok=True)
        make_font(family).save(os.path.join(ROOT, directory, name))
    for directory, name, families in COLLECTIONS:
        assert all(len(family.encode("utf-16-le")) // 2 < 32 for family in families), families
        collection = TTCollection()
        collection.fonts = [make_font(family) for family in families]
        collection.save(os.path.join(ROOT, directory, name))


if __name__ == "__main__":
    main()

// Whether GDI really draws with a face: the test fonts map "X" to a box that
// inks the glyph's whole cell, which no other face does.
#pragma once

#include <windows.h>

#include <string>

namespace scriptfonts::test {

struct GlyphInk {
    double inkedFraction;       // of the cell GDI reports for "X", 0 when there is none
    SIZE cell;                  // GetTextExtentPoint32W of "X"
    std::wstring selectedFace;  // GetTextFaceW: the face GDI actually chose
};

// "X" drawn with CreateFontW(face) and TextOutW, black on white and without
// anti-aliasing, into a memory DC holding a DIB section. Fails the current
// test (and returns no ink) when the drawing itself cannot be set up.
GlyphInk drawTestGlyph(const std::wstring& face);

// A face whose glyph covers this much of its cell is the test font itself.
constexpr double testGlyphInkThreshold = 0.8;

}  // namespace scriptfonts::test

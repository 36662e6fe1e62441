#include "support/glyph_ink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "support/win32_owners.h"

namespace scriptfonts::test {
namespace {

// GDI reuses the font it realized for an identical request even after the
// font table changed (seen under Wine, in both directions: a fallback chosen
// before a registration, the removed face after a removal). So every drawing
// asks for an em size not asked for recently, and the answer is fresh.
constexpr int smallestEmPixels = 48;
constexpr int emSizes = 48;                                     // far more than the realized fonts GDI keeps unused
constexpr int canvasPixels = 2 * (smallestEmPixels + emSizes);  // room for a fallback face's wider cell
constexpr std::uint32_t white = 0x00FFFFFF;
constexpr wchar_t testCharacter[] = L"X";

struct Canvas {
    UniqueMemoryDC dc;
    UniqueBitmap bitmap;
    const std::uint32_t* pixels = nullptr;  // top-down rows of canvasPixels
};

Canvas makeCanvas() {
    Canvas canvas;
    canvas.dc.reset(CreateCompatibleDC(nullptr));
    if (!canvas.dc) return canvas;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = canvasPixels;
    info.bmiHeader.biHeight = -canvasPixels;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    canvas.bitmap.reset(CreateDIBSection(canvas.dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    canvas.pixels = static_cast<const std::uint32_t*>(bits);
    return canvas;
}

int freshEmPixels() {
    static std::atomic<int> drawings{0};
    return smallestEmPixels + drawings++ % emSizes;
}

bool inked(std::uint32_t pixel) {
    // Without anti-aliasing every pixel is either the text colour or the background.
    return (pixel & white) != white;
}

double inkedFraction(const std::uint32_t* pixels, SIZE cell) {
    const int width = std::clamp<int>(cell.cx, 0, canvasPixels);
    const int height = std::clamp<int>(cell.cy, 0, canvasPixels);
    if (width == 0 || height == 0) return 0.0;
    long count = 0;
    for (int y = 0; y < height; ++y) {
        count += std::count_if(pixels + y * canvasPixels, pixels + y * canvasPixels + width, inked);
    }
    return static_cast<double>(count) / (static_cast<double>(width) * height);
}

}  // namespace

GlyphInk drawTestGlyph(const std::wstring& face) {
    GlyphInk ink{0.0, {0, 0}, {}};
    const Canvas canvas = makeCanvas();
    const UniqueFont font(CreateFontW(-freshEmPixels(), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                      DEFAULT_PITCH | FF_DONTCARE, face.c_str()));
    if (!canvas.dc || !canvas.bitmap || canvas.pixels == nullptr || !font) {
        ADD_FAILURE() << "cannot set up drawing: dc " << canvas.dc.get() << ", DIB section " << canvas.bitmap.get()
                      << ", font " << font.get();
        return ink;
    }
    const ScopedSelection bitmap(canvas.dc.get(), canvas.bitmap.get());
    const ScopedSelection selectedFont(canvas.dc.get(), font.get());
    if (!bitmap.selected() || !selectedFont.selected()) {
        ADD_FAILURE() << "SelectObject failed for the DIB section or the font";
        return ink;
    }

    PatBlt(canvas.dc.get(), 0, 0, canvasPixels, canvasPixels, WHITENESS);
    SetTextColor(canvas.dc.get(), RGB(0, 0, 0));
    SetBkMode(canvas.dc.get(), TRANSPARENT);
    SetTextAlign(canvas.dc.get(), TA_LEFT | TA_TOP | TA_NOUPDATECP);
    EXPECT_TRUE(TextOutW(canvas.dc.get(), 0, 0, testCharacter, 1)) << "TextOutW failed, error " << GetLastError();
    GetTextExtentPoint32W(canvas.dc.get(), testCharacter, 1, &ink.cell);
    wchar_t selected[LF_FACESIZE] = {};
    GetTextFaceW(canvas.dc.get(), LF_FACESIZE, selected);
    ink.selectedFace = selected;
    GdiFlush();  // the DIB's bits are read directly below
    ink.inkedFraction = inkedFraction(canvas.pixels, ink.cell);
    return ink;
}

}  // namespace scriptfonts::test

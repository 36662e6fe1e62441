// The committed test fonts (scripts/make-fonts.py) and the face each holds.
#pragma once

namespace scriptfonts::test {

struct TestFont {
    const wchar_t* fileName;  // under test-fonts beside the test programs
    const wchar_t* face;
};

inline constexpr TestFont alphaFont{L"alpha.ttf", L"ScriptFonts Test Alpha"};
inline constexpr TestFont betaFont{L"beta.ttf", L"ScriptFonts Test Beta"};
inline constexpr TestFont gammaFont{L"gamma.ttf", L"ScriptFonts Test Gamma"};
inline constexpr TestFont deltaFont{L"delta.ttf", L"ScriptFonts Test Delta"};
inline constexpr TestFont unicodeFont{L"\u00fcnic\u00f8de-\u5b57\u4f53.ttf", L"ScriptFonts Test Unicode"};
// Its face name is as long as the system's face-name field allows: 31 units.
inline constexpr TestFont thirtyOneUnitFont{L"long-name.ttf", L"ScriptFonts Test ThirtyOne Unit"};

}  // namespace scriptfonts::test

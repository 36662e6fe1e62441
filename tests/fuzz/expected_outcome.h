// What a call must do, worked out from the input alone: the engine's text read
// as the boundary documents it, decoded by the stand-in's model of the
// platform's decoder, and the platform calls each script function is
// documented to make, in order, with what each is passed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "fuzz_input.h"

namespace scriptfonts::fuzz {

// The part of the engine's text the library may read: up to its first NUL.
std::string visibleText(const std::string& text);
// registerFonts' pieces: the text split at every ',' byte, nothing trimmed
// or skipped, so there is always one piece more than there are commas.
std::vector<std::string> listPieces(const std::string& visible);
// What the platform's decoder makes of a piece handed over with its NUL, up
// to the first NUL it writes (Wine's writes none after a cut-off sequence).
std::u16string decoded(const std::string& piece, bool wineTruncationQuirk);

bool isWellFormed(const FuzzInput& input);

struct ExpectedCall {
    fake::Call call;
    std::u16string text;       // addFontResource, removeFontResource, enumerateFontFamilies; sameFileName's entry
    std::u16string otherText;  // sameFileName: the host's executable name
    void* window = nullptr;    // windowProcessId, sendFontChange
    long long visited = 0;     // enumerateFontFamilies: faces the enumeration went through
};

struct Expected {
    std::int32_t status = statusBadArguments;
    std::int32_t result = 0;  // with statusOk
    // What the decoder is handed, each followed by its NUL, in order.
    std::vector<std::string> decodedPieces;
    // Every platform call but the decoder's.
    std::vector<ExpectedCall> calls;
};

Expected expectedOutcome(const FuzzInput& input, const fake::Options& standIn);

}  // namespace scriptfonts::fuzz

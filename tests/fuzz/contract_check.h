// The boundary's promises, checked after every call against what the input
// says must have happened. The first broken promise aborts the process with
// a description of the call, the stand-in's answers and the platform calls
// made, so libFuzzer saves the input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "expected_outcome.h"
#include "fuzz_input.h"

namespace scriptfonts::fuzz {

// A TaggedValue as the engine lays it out, with 16 bytes the engine keeps after it.
constexpr std::size_t recordBytes = sizeof(TaggedValue) + 16;
using RecordBytes = std::array<unsigned char, recordBytes>;

struct Observed {
    std::int32_t status;
    bool allocationFailed;  // the input's failing allocation happened
    RecordBytes argumentBefore, argumentAfter;
    RecordBytes resultBefore, resultAfter;
};

void checkContract(const FuzzInput& input, const Expected& expected, const Observed& observed);

}  // namespace scriptfonts::fuzz

// What every unit test shares: a fresh stand-in platform per test, checked
// at the end for anything left open or released twice, and records filled
// the way an engine might leave them.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "fake_platform.h"
#include "scriptfonts.h"

namespace scriptfonts::test {

class UnitTest : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    void TearDown() override {
        EXPECT_EQ(fake::openSnapshots(), 0u) << "process snapshots left open";
        EXPECT_EQ(fake::openDCs(), 0u) << "device contexts left open";
        for (const std::string& misuse : fake::misuses()) ADD_FAILURE() << misuse;
    }
};

// Every byte of a record the engine hands over, before the library writes.
constexpr unsigned char enginePattern = 0xA5;

inline TaggedValue patternedRecord() {
    TaggedValue record;
    std::memset(&record, enginePattern, sizeof record);
    return record;
}

inline TaggedValue stringArgument(const char* text) {
    TaggedValue argument = patternedRecord();
    argument.value.string = text;
    argument.tag = tagString;
    return argument;
}

inline bool untouched(const TaggedValue& record) {
    const TaggedValue pattern = patternedRecord();
    return std::memcmp(&record, &pattern, sizeof record) == 0;
}

// The record's bytes in hex, for failure messages.
inline std::string bytesOf(const TaggedValue& record) {
    unsigned char bytes[sizeof record];
    std::memcpy(bytes, &record, sizeof record);
    std::string hex;
    for (const unsigned char byte : bytes) {
        const char digits[] = "0123456789abcdef";
        hex += {' ', digits[byte >> 4], digits[byte & 0xF]};
    }
    return hex;
}

struct Outcome {
    std::int32_t status;
    TaggedValue result;
};

// One well-formed call: exactly one string argument.
inline Outcome callWith(ScriptFunction function, const char* text) {
    const TaggedValue argument = stringArgument(text);
    Outcome outcome{-1, patternedRecord()};
    outcome.status = function(&argument, 1, &outcome.result);
    return outcome;
}

struct NamedFunction {
    const char* name;
    ScriptFunction function;
};

inline const std::array<NamedFunction, 5> scriptFunctions{{
    {"registerFont", registerFont},
    {"registerFontA", registerFontA},
    {"unRegisterFont", unRegisterFont},
    {"registerFonts", registerFonts},
    {"findFontByName", findFontByName},
}};

}  // namespace scriptfonts::test

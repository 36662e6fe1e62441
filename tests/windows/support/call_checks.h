// Checks on what a script function call returned, printing the whole outcome.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "support/script_library.h"

namespace scriptfonts::test {

// The call was carried out (status 0) and wrote the integer result expected.
::testing::AssertionResult wroteResult(const CallOutcome& outcome, std::int32_t expected);

}  // namespace scriptfonts::test

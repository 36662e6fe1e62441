#pragma once

#include <cstddef>
#include <cstdint>

namespace scriptfonts {

// The platform counts text in 32-bit signed integers, terminator included.
constexpr std::size_t maxTextBytes = INT32_MAX - 1;

}  // namespace scriptfonts

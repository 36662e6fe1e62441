// The one frame every script function goes through: argument checks, the
// copy of the text, its decoding, the result write and all error handling.
// Each function supplies only its font work.
#pragma once

#include <cstdint>
#include <string>

#include "scriptfonts.h"

namespace scriptfonts {

using TextWork = std::int32_t (*)(const std::u16string& text);  // gets the decoded text
using ByteWork = std::int32_t (*)(const std::string& utf8);     // decodes for itself

std::int32_t callScriptFunction(const TaggedValue* arguments, std::int32_t count, TaggedValue* result,
                                TextWork work) noexcept;
std::int32_t callScriptFunction(const TaggedValue* arguments, std::int32_t count, TaggedValue* result,
                                ByteWork work) noexcept;

}  // namespace scriptfonts

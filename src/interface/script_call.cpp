#include "interface/script_call.h"

#include <cstring>

#include "interface/text_limits.h"
#include "interface/utf8_to_wide.h"

namespace scriptfonts {
namespace {

// The engine's text, or null when the call is not exactly one usable string.
const char* argumentText(const TaggedValue* arguments, std::int32_t count, const TaggedValue* result) noexcept {
    if (count != 1) return nullptr;
    if (arguments == nullptr || result == nullptr) return nullptr;
    if (arguments->tag != tagString) return nullptr;
    return arguments->value.string;
}

void writeResult(TaggedValue* result, std::int32_t value) noexcept {
    // Bytes 4-7 of the value are the engine's: write exactly four.
    std::memcpy(result->value.bytes, &value, sizeof value);
    result->tag = tagInteger;
}

template <typename Work>
std::int32_t runFrame(const TaggedValue* arguments, std::int32_t count, TaggedValue* result, Work work) noexcept {
    try {
        const char* text = argumentText(arguments, count, result);
        if (text == nullptr) return statusBadArguments;
        const std::size_t length = strnlen(text, maxTextBytes + 1);
        if (length > maxTextBytes) return statusBadArguments;

        const std::int32_t value = work(std::string(text, length));
        writeResult(result, value);
        return statusOk;
    } catch (...) {
        // Allocating the copies is all that can throw in a call.
        return statusOutOfMemory;
    }
}

}  // namespace

std::int32_t callScriptFunction(const TaggedValue* arguments, std::int32_t count, TaggedValue* result,
                                TextWork work) noexcept {
    return runFrame(arguments, count, result, [work](const std::string& utf8) { return work(utf8ToWide(utf8)); });
}

std::int32_t callScriptFunction(const TaggedValue* arguments, std::int32_t count, TaggedValue* result,
                                ByteWork work) noexcept {
    return runFrame(arguments, count, result, work);
}

}  // namespace scriptfonts

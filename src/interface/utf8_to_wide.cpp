#include "interface/utf8_to_wide.h"

#include <algorithm>

#include "platform/platform.h"

namespace scriptfonts {

std::u16string utf8ToWide(const std::string& utf8) {
    // The terminator goes in too, as the platform then counts it in its answer.
    const int byteCount = static_cast<int>(utf8.size() + 1);
    const int needed = platform::utf8ToUtf16(utf8.c_str(), byteCount, nullptr, 0);
    if (needed <= 0) return {};

    std::u16string wide(static_cast<std::size_t>(needed), u'\0');
    const int written = platform::utf8ToUtf16(utf8.c_str(), byteCount, wide.data(), needed);
    // Under Wine, text ending inside a multi-byte sequence comes back as
    // U+FFFD with no terminator at all, so only the units actually written
    // are text, whatever the system.
    const auto end = wide.begin() + std::clamp(written, 0, needed);
    wide.erase(std::find(wide.begin(), end, u'\0'), wide.end());
    return wide;
}

}  // namespace scriptfonts

#include "fonts/font_work.h"
#include "interface/utf8_to_wide.h"

namespace scriptfonts::fonts {
namespace {

// A byte that never occurs inside a multi-byte UTF-8 sequence.
constexpr char listSeparator = ',';

}  // namespace

std::int32_t registerFontList(const std::string& utf8List) {
    // Every comma ends a piece and nothing is trimmed or skipped, so there is
    // always one addition more than there are commas.
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = utf8List.find(listSeparator, start);
        const std::string piece = utf8List.substr(start, comma - start);
        platform::addFontResource(utf8ToWide(piece).c_str());
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    platform::broadcastFontChange();
    return 1;
}

}  // namespace scriptfonts::fonts

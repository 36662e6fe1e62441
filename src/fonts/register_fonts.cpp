#include "fonts/font_work.h"
#include "interface/utf8_to_wide.h"

namespace scriptfonts::fonts {
namespace {

// A byte that never occurs inside a multi-byte UTF-8 sequence.
constexpr char listSeparator = ',';

// Windows hear about the pieces already added even when memory runs out
// part-way through the list.
struct BroadcastOnExit {
    BroadcastOnExit() = default;
    BroadcastOnExit(const BroadcastOnExit&) = delete;
    BroadcastOnExit& operator=(const BroadcastOnExit&) = delete;
    ~BroadcastOnExit() { platform::broadcastFontChange(); }
};

}  // namespace

std::int32_t registerFontList(const std::string& utf8List) {
    const BroadcastOnExit broadcast;
    // Every comma ends a piece and nothing is trimmed or skipped, so there is
    // always one addition more than there are commas.
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = utf8List.find(listSeparator, start);
        platform::addFontResource(utf8ToWide(utf8List.substr(start, comma - start)).c_str());
        if (comma == std::string::npos) return 1;
        start = comma + 1;
    }
}

}  // namespace scriptfonts::fonts

#include "fonts/font_work.h"
#include "platform/platform_owners.h"

namespace scriptfonts::fonts {
namespace {

constexpr std::uint8_t defaultCharset = 1;  // fonts of every character set

struct FaceSearch {
    std::u16string_view requested;
    bool found;
};

// The enumeration's callback: 0 stops it at the exact name, 1 goes on.
int matchFaceName(std::u16string_view enumeratedFace, void* search) noexcept {
    auto& faceSearch = *static_cast<FaceSearch*>(search);
    if (enumeratedFace != faceSearch.requested) return 1;  // exact: letter case counts
    faceSearch.found = true;
    return 0;
}

}  // namespace

std::int32_t findFace(const std::u16string& faceName) {
    // No installed face has a name that long, and the request could not hold it.
    if (faceName.size() >= platform::faceNameCapacity) return 0;

    const platform::UniqueWindowDC screen = platform::screenDC();
    if (!screen) return 0;

    FaceSearch search{faceName, false};
    platform::enumerateFontFamilies(screen.get(), {defaultCharset, faceName.c_str()}, matchFaceName, &search);
    // Only the callback's own sighting counts: the enumeration's return value
    // also reads as "stopped early" when nothing was enumerated at all.
    return search.found ? 1 : 0;
}

}  // namespace scriptfonts::fonts

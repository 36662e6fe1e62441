#include "fonts/font_work.h"

namespace scriptfonts::fonts {

std::int32_t unregisterFontFile(const std::u16string& path) {
    if (platform::removeFontResource(path.c_str()) != 0) platform::broadcastFontChange();
    return 0;  // callers have always been told nothing about the outcome
}

}  // namespace scriptfonts::fonts

#pragma once

#include <string>

namespace scriptfonts {

// Decodes UTF-8 (at most maxTextBytes, no NUL inside) into UTF-16; malformed
// sequences become U+FFFD.
std::u16string utf8ToWide(const std::string& utf8);

}  // namespace scriptfonts

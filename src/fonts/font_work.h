// The font work of each script function: what happens between the frame's
// decoding of the argument and its writing of the result.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace scriptfonts::fonts {

// Adding one file and telling the host: 1 when added, else 0.
std::int32_t registerForPhotoshop(const std::u16string& path);
std::int32_t registerForIllustrator(const std::u16string& path);
// The calling process when its own executable is named hostExecutableName
// (no snapshot is taken) or it is listed under that name, else the first
// process of that name in snapshot order; 0 for none.
platform::ProcessId findHostProcess(const char16_t* hostExecutableName);
void notifyHostWindows(platform::ProcessId host);

// Withdrawing a file: always 0.
std::int32_t unregisterFontFile(const std::u16string& path);

// Adding a comma-separated list of files: always 1.
std::int32_t registerFontList(const std::string& utf8List);

// 1 when a font with exactly this face name is installed, else 0.
std::int32_t findFace(const std::u16string& faceName);

}  // namespace scriptfonts::fonts

// What a file that would not load is, read from its own headers, so that a
// load failure can say "a 32-bit x86 image" instead of a bare error number.
#pragma once

#include <string>

namespace scriptfonts::run {

enum class ImageKind {
    unreadable,  // cannot be opened: the system's message says why
    notPortableExecutable,
    x64,
    x86,
    arm64,
    arm,
    otherMachine,
};

struct ImageHeader {
    ImageKind kind = ImageKind::unreadable;
    unsigned machine = 0;  // the COFF header's Machine field, when there is one
};

ImageHeader readImageHeader(const std::wstring& path);

// "it is a 32-bit x86 image, and ...", "it is not a PE file, ..."; empty for
// unreadable and x64 files, whose load failed for another reason.
std::string describeForeignImage(const ImageHeader& header);

}  // namespace scriptfonts::run

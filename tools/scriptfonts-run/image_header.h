// What a file that would not load is, read from its own headers, so that a
// load failure can say "a 32-bit x86 image" instead of a bare error number;
// and which DLLs a file imports, so that they can be loaded before it.
#pragma once

#include <string>
#include <vector>

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

// The DLL names of the file's import directory, in its order; empty when the
// file has none or cannot be read as a PE image.
std::vector<std::string> readImportedDlls(const std::wstring& path);

}  // namespace scriptfonts::run

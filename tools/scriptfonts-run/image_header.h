// What a file that would not load is, read from its own headers, so that a
// load failure can say "a 32-bit x86 image" instead of a bare error number;
// and which DLLs a file imports, so that they can be loaded before it.
#pragma once

#include <string>
#include <vector>

namespace scriptfonts::run {

// For a file that would not load: "it is a 32-bit x86 image, and an x64 process loads only x64 DLLs", "it is not a
// PE file, ..."; empty for an image of this process's own machine, whose load failed for another reason, and for a
// file that cannot be read.
std::string describeForeignImage(const std::wstring& path);

// The DLL names of the file's import directory, in its order; empty when the
// file has none or is no image of this process's machine.
std::vector<std::string> readImportedDlls(const std::wstring& path);

}  // namespace scriptfonts::run

#include "image_header.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "handle_owners.h"

namespace scriptfonts::run {
namespace {

// The file mapped for its headers alone: no code runs and nothing it imports is loaded. Empty when it cannot be
// opened or is no PE file; the loader has checked the "MZ" and "PE\0\0" signatures of one it maps.
UniqueModule mapFile(const std::wstring& path, DWORD flags) {
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | flags));
}

// The mapping's first byte: the low bits of its handle say how the file is mapped.
const unsigned char* mappedBase(const UniqueModule& mapped) {
    return reinterpret_cast<const unsigned char*>(reinterpret_cast<std::uintptr_t>(mapped.get()) & ~std::uintptr_t{3});
}

// As an x64 image has them; FileHeader, with the machine, lies where every image has it.
const IMAGE_NT_HEADERS64& ntHeaders(const unsigned char* base) {
    const LONG offset = reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew;
    return *reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + offset);
}

}  // namespace

std::vector<std::string> readImportedDlls(const std::wstring& path) {
    // Mapped as an image, at its sections' addresses, so that an RVA is an offset from the base.
    const UniqueModule mapped = mapFile(path, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!mapped) return {};
    const unsigned char* base = mappedBase(mapped);
    const IMAGE_NT_HEADERS64& headers = ntHeaders(base);
    const IMAGE_OPTIONAL_HEADER64& optional = headers.OptionalHeader;
    // Only an x64 image loads in this process: another's imports do not matter.
    if (headers.FileHeader.Machine != IMAGE_FILE_MACHINE_AMD64 || optional.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC ||
        optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IMPORT) {
        return {};
    }
    const std::size_t imageSize = optional.SizeOfImage;
    std::vector<std::string> names;
    for (std::size_t at = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
         at != 0 && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= imageSize; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const std::size_t name = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + at)->Name;
        if (name == 0 || name >= imageSize) break;  // 0: the all-zero descriptor that ends the table
        const char* text = reinterpret_cast<const char*>(base + name);
        names.emplace_back(text, strnlen(text, imageSize - name));
    }
    return names;
}

std::string describeForeignImage(const std::wstring& path) {
    // Mapped as it lies in the file, as an image of any machine can be.
    const UniqueModule mapped = mapFile(path, 0);
    // One that opens but does not map (an empty one, too) is no PE file.
    if (!mapped) return openForReading(path) ? "it is not a PE file, so no DLL at all" : "";
    const unsigned machine = ntHeaders(mappedBase(mapped)).FileHeader.Machine;
    const std::string onlyX64 = ", and a 64-bit x86 (x64) process loads only x64 DLLs";
    switch (machine) {
    case IMAGE_FILE_MACHINE_AMD64: return {};
    case IMAGE_FILE_MACHINE_I386: return "it is a 32-bit x86 image" + onlyX64;
    case 0xaa64: return "it is an ARM64 image" + onlyX64;  // IMAGE_FILE_MACHINE_ARM64
    case IMAGE_FILE_MACHINE_ARMNT: return "it is a 32-bit ARM image" + onlyX64;
    }
    char number[32];
    std::snprintf(number, sizeof number, "0x%04x", machine);
    return "it is an image for machine type " + std::string(number) + onlyX64;
}

}  // namespace scriptfonts::run

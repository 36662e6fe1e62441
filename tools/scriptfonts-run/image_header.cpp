#include "image_header.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "handle_owners.h"

namespace scriptfonts::run {
namespace {

// The file mapped for its headers alone: no code runs and nothing it imports is loaded. Empty, with the error in
// GetLastError (ERROR_BAD_EXE_FORMAT for a file that is no PE image), when it cannot be mapped.
UniqueModule mapFile(const std::wstring& path, DWORD flags) {
    return UniqueModule(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | flags));
}

// The mapping's first byte: the low bits of its handle say how the file is mapped.
const unsigned char* mappedBase(const UniqueModule& mapped) {
    return reinterpret_cast<const unsigned char*>(reinterpret_cast<std::uintptr_t>(mapped.get()) & ~std::uintptr_t{3});
}

// The loader has checked the "MZ" and "PE\0\0" signatures that lead to them.
const IMAGE_NT_HEADERS64& ntHeaders(const unsigned char* base) {
    const LONG offset = reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew;
    return *reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + offset);
}

ImageKind kindOfMachine(unsigned machine) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_AMD64: return ImageKind::x64;
    case IMAGE_FILE_MACHINE_I386: return ImageKind::x86;
    case 0xaa64: return ImageKind::arm64;  // IMAGE_FILE_MACHINE_ARM64
    case IMAGE_FILE_MACHINE_ARMNT: return ImageKind::arm;
    default: return ImageKind::otherMachine;
    }
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

ImageHeader readImageHeader(const std::wstring& path) {
    // Mapped as it lies in the file, as an image of any machine can be.
    const UniqueModule mapped = mapFile(path, 0);
    if (!mapped) {
        return {GetLastError() == ERROR_BAD_EXE_FORMAT ? ImageKind::notPortableExecutable : ImageKind::unreadable};
    }
    const unsigned machine = ntHeaders(mappedBase(mapped)).FileHeader.Machine;
    return {kindOfMachine(machine), machine};
}

std::string describeForeignImage(const ImageHeader& header) {
    const std::string onlyX64 = ", and a 64-bit x86 (x64) process loads only x64 DLLs";
    switch (header.kind) {
    case ImageKind::unreadable:
    case ImageKind::x64: return {};
    case ImageKind::notPortableExecutable: return "it is not a PE file, so no DLL at all";
    case ImageKind::x86: return "it is a 32-bit x86 image" + onlyX64;
    case ImageKind::arm64: return "it is an ARM64 image" + onlyX64;
    case ImageKind::arm: return "it is a 32-bit ARM image" + onlyX64;
    case ImageKind::otherMachine: break;
    }
    char machine[32];
    std::snprintf(machine, sizeof machine, "0x%04x", header.machine);
    return "it is an image for machine type " + std::string(machine) + onlyX64;
}

}  // namespace scriptfonts::run

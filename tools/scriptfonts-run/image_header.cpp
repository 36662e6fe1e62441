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

// As a 64-bit image (x64 or ARM64) has them; FileHeader, with the machine, lies where every image has it.
const IMAGE_NT_HEADERS64& ntHeaders(const unsigned char* base) {
    const LONG offset = reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew;
    return *reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + offset);
}

// The machine this program was built for, from its own image's headers: the
// only one whose DLLs load in this process. (Without #if: the one source
// builds the x64 and the ARM64 program alike.)
WORD thisProcessMachine() {
    return ntHeaders(reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr))).FileHeader.Machine;
}

// What a refusal calls a machine: "x64", with "an" before it.
struct MachineName {
    std::string article;
    std::string name;
};

MachineName machineName(WORD machine) {
    switch (machine) {
    case IMAGE_FILE_MACHINE_AMD64: return {"an", "x64"};
    case IMAGE_FILE_MACHINE_ARM64: return {"an", "ARM64"};
    case IMAGE_FILE_MACHINE_I386: return {"a", "32-bit x86"};
    case IMAGE_FILE_MACHINE_ARMNT: return {"a", "32-bit ARM"};
    }
    char number[32];
    std::snprintf(number, sizeof number, "machine type 0x%04x", static_cast<unsigned>(machine));
    return {"a", number};
}

}  // namespace

std::vector<std::string> readImportedDlls(const std::wstring& path) {
    // Mapped as an image, at its sections' addresses, so that an RVA is an offset from the base.
    const UniqueModule mapped = mapFile(path, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!mapped) return {};
    const unsigned char* base = mappedBase(mapped);
    const IMAGE_NT_HEADERS64& headers = ntHeaders(base);
    const IMAGE_OPTIONAL_HEADER64& optional = headers.OptionalHeader;
    // Only an image of this process's machine loads here: another's imports do not matter.
    if (headers.FileHeader.Machine != thisProcessMachine() || optional.Magic != IMAGE_NT_OPTIONAL_HDR64_MAGIC ||
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
    const WORD machine = ntHeaders(mappedBase(mapped)).FileHeader.Machine;
    const WORD own = thisProcessMachine();
    if (machine == own) return {};
    const MachineName image = machineName(machine);
    const MachineName process = machineName(own);
    return "it is " + image.article + " " + image.name + " image, and " + process.article + " " + process.name +
           " process loads only " + process.name + " DLLs";
}

}  // namespace scriptfonts::run

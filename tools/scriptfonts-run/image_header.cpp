#include "image_header.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "handle_owners.h"

namespace scriptfonts::run {
namespace {

constexpr std::size_t dosHeaderSize = 64;
constexpr std::size_t newHeaderOffsetField = 0x3c;  // e_lfanew
constexpr std::size_t signatureAndMachineSize = 6;  // "PE\0\0", then the 16-bit Machine
constexpr std::uint32_t largestNewHeaderOffset = 1 << 24;  // far beyond any real image
constexpr std::size_t coffHeaderEnd = 24;  // the signature and the COFF header
constexpr std::size_t sectionCountField = 6, optionalHeaderSizeField = 20;
constexpr unsigned pe32Magic = 0x10b, pe32PlusMagic = 0x20b;
constexpr std::size_t pe32Directories = 96, pe32PlusDirectories = 112;  // in the optional header
constexpr std::size_t importDirectory = 1;
constexpr std::size_t sectionHeaderSize = 40;
constexpr std::size_t sectionAddressField = 12, sectionRawSizeField = 16, sectionRawOffsetField = 20;
constexpr std::size_t importDescriptorSize = 20, importNameField = 12;
constexpr std::size_t mostImportedDlls = 1024;
constexpr std::size_t longestDllName = 256;

// Reads up to size bytes at offset; fewer at the end of the file.
std::vector<unsigned char> readAt(HANDLE file, std::uint32_t offset, std::size_t size) {
    std::vector<unsigned char> bytes(size);
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    DWORD read = 0;
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN) ||
        !ReadFile(file, bytes.data(), static_cast<DWORD>(size), &read, nullptr)) {
        read = 0;
    }
    bytes.resize(read);
    return bytes;
}

std::uint32_t littleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
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

// The offset of the "PE\0\0" signature, or 0 when the file has none.
std::uint32_t newHeaderOffset(HANDLE file) {
    const auto dos = readAt(file, 0, dosHeaderSize);
    if (dos.size() < dosHeaderSize || dos[0] != 'M' || dos[1] != 'Z') return 0;
    const std::uint32_t offset = littleEndian(&dos[newHeaderOffsetField], 4);
    if (offset == 0 || offset > largestNewHeaderOffset) return 0;
    const auto pe = readAt(file, offset, 4);
    return pe.size() == 4 && pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0 && pe[3] == 0 ? offset : 0;
}

struct SectionMap {
    std::vector<unsigned char> headers;  // the section table

    // Where the byte at rva lies in the file, or 0 when no section holds it.
    std::uint32_t fileOffset(std::uint32_t rva) const {
        for (std::size_t at = 0; at + sectionHeaderSize <= headers.size(); at += sectionHeaderSize) {
            const std::uint32_t start = littleEndian(&headers[at + sectionAddressField], 4);
            const std::uint32_t rawSize = littleEndian(&headers[at + sectionRawSizeField], 4);
            if (rva >= start && rva - start < rawSize) {
                return littleEndian(&headers[at + sectionRawOffsetField], 4) + (rva - start);
            }
        }
        return 0;
    }
};

}  // namespace

std::vector<std::string> readImportedDlls(const std::wstring& path) {
    const UniqueFile file = openForReading(path);
    if (!file) return {};
    const std::uint32_t offset = newHeaderOffset(file.get());
    const auto coff = offset == 0 ? std::vector<unsigned char>{} : readAt(file.get(), offset, coffHeaderEnd);
    if (coff.size() < coffHeaderEnd) return {};
    const std::uint32_t optionalSize = littleEndian(&coff[optionalHeaderSizeField], 2);
    const auto optional = readAt(file.get(), offset + coffHeaderEnd, optionalSize);
    if (optional.size() < 2) return {};
    const unsigned magic = littleEndian(&optional[0], 2);
    const std::size_t directories = magic == pe32PlusMagic ? pe32PlusDirectories
                                    : magic == pe32Magic   ? pe32Directories
                                                           : 0;
    const std::size_t importEntry = directories + 8 * importDirectory;
    if (directories == 0 || optional.size() < importEntry + 8) return {};
    const SectionMap sections{readAt(file.get(), offset + coffHeaderEnd + optionalSize,
                                     sectionHeaderSize * littleEndian(&coff[sectionCountField], 2))};
    std::uint32_t descriptor = sections.fileOffset(littleEndian(&optional[importEntry], 4));
    std::vector<std::string> names;
    while (descriptor != 0 && names.size() < mostImportedDlls) {
        const auto entry = readAt(file.get(), descriptor, importDescriptorSize);
        const std::uint32_t name = entry.size() == importDescriptorSize
                                       ? sections.fileOffset(littleEndian(&entry[importNameField], 4))
                                       : 0;
        if (name == 0) break;  // the all-zero descriptor that ends the table
        const auto text = readAt(file.get(), name, longestDllName);
        names.emplace_back(text.begin(), std::find(text.begin(), text.end(), '\0'));
        descriptor += importDescriptorSize;
    }
    return names;
}

ImageHeader readImageHeader(const std::wstring& path) {
    const UniqueFile file = openForReading(path);
    if (!file) return {};
    ImageHeader header;
    header.kind = ImageKind::notPortableExecutable;
    const std::uint32_t offset = newHeaderOffset(file.get());
    if (offset == 0) return header;
    const auto pe = readAt(file.get(), offset, signatureAndMachineSize);
    if (pe.size() < signatureAndMachineSize) return header;
    header.machine = littleEndian(&pe[4], 2);
    header.kind = kindOfMachine(header.machine);
    return header;
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

#include "image_header.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "unique_file.h"

namespace scriptfonts::run {
namespace {

constexpr std::size_t dosHeaderSize = 64;
constexpr std::size_t newHeaderOffsetField = 0x3c;  // e_lfanew
constexpr std::size_t signatureAndMachineSize = 6;  // "PE\0\0", then the 16-bit Machine
constexpr std::uint32_t largestNewHeaderOffset = 1 << 24;  // far beyond any real image

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

}  // namespace

ImageHeader readImageHeader(const std::wstring& path) {
    const UniqueFile file = openForReading(path);
    if (file.get() == INVALID_HANDLE_VALUE) return {};
    ImageHeader header;
    header.kind = ImageKind::notPortableExecutable;
    const auto dos = readAt(file.get(), 0, dosHeaderSize);
    if (dos.size() < dosHeaderSize || dos[0] != 'M' || dos[1] != 'Z') return header;
    const std::uint32_t offset = littleEndian(&dos[newHeaderOffsetField], 4);
    if (offset > largestNewHeaderOffset) return header;
    const auto pe = readAt(file.get(), offset, signatureAndMachineSize);
    if (pe.size() < signatureAndMachineSize || pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
        return header;
    }
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

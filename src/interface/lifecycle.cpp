#include <memory>

#include "scriptfonts.h"

namespace {

// The engine learns the script functions from this text; its address never changes.
constexpr char signatureList[] = "registerFont_s, registerFontA_s, unRegisterFont_s, registerFonts_s, findFontByName_s";
constexpr int32_t engineInterfaceVersion = 4;

}  // namespace

extern "C" {

const char* ESInitialize(const TaggedValue*, int32_t) { return signatureList; }

int32_t ESGetVersion(void) { return engineInterfaceVersion; }

void ESFreeMem(void* block) {
    // The signature list is static: it must never reach the deallocator.
    if (block == nullptr || block == signatureList) return;
    // The engine's contract: a block from the library's own allocator, released as one character object.
    std::unique_ptr<char>{static_cast<char*>(block)};
}

void ESTerminate(void) {}

}  // extern "C"

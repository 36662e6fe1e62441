#include "script_library.h"

#include <string_view>

#include "command_line.h"
#include "image_header.h"
#include "text.h"

namespace scriptfonts::run {
namespace {

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

HMODULE loadLibrary(const std::wstring& path) {
    const HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        const DWORD error = GetLastError();
        std::string message = "cannot load " + toUtf8(path) + ": " + systemMessage(error, toUtf8(path));
        // The bare number is the same for a text file and a 32-bit DLL: say which it is.
        const std::string foreign = describeForeignImage(readImageHeader(path));
        if (!foreign.empty()) message += "; " + foreign;
        throw RunError(message);
    }
    return module;
}

// The exported function, or null.
template <typename Function>
Function exported(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

template <typename Function>
void resolveLifecycleEntry(HMODULE module, const char* name, const std::string& path, Function& function) {
    function = exported<Function>(module, name);
    if (function == nullptr) throw RunError(path + " does not export " + name + ": it is not a script library");
}

}  // namespace

std::vector<ScriptEntry> parseSignatureList(const std::string& list) {
    std::vector<ScriptEntry> entries;
    std::string_view rest = list;
    while (!rest.empty()) {
        const auto comma = rest.find(',');
        const std::string_view entry = trimSpaces(rest.substr(0, comma));
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        if (entry.empty()) continue;
        const auto underscore = entry.rfind('_');
        if (underscore == std::string_view::npos) {
            entries.push_back({std::string(entry), {}, nullptr});  // takes no arguments
        } else {
            entries.push_back(
                {std::string(entry.substr(0, underscore)), std::string(entry.substr(underscore + 1)), nullptr});
        }
    }
    return entries;
}

ScriptLibrary::EngineSession::EngineSession(const Lifecycle& lifecycle) : terminate_(lifecycle.terminate) {
    // The engine's own arguments are of no use to the library; it ignores them.
    const char* list = lifecycle.initialize(nullptr, 0);
    if (list == nullptr) {
        terminate_();
        throw RunError("ESInitialize returned no signature list");
    }
    signatureList_ = list;
}

ScriptLibrary::Lifecycle ScriptLibrary::resolveLifecycle() const {
    Lifecycle lifecycle{};
    resolveLifecycleEntry(module_.get(), "ESInitialize", path_, lifecycle.initialize);
    resolveLifecycleEntry(module_.get(), "ESGetVersion", path_, lifecycle.getVersion);
    resolveLifecycleEntry(module_.get(), "ESFreeMem", path_, lifecycle.freeMemory);
    resolveLifecycleEntry(module_.get(), "ESTerminate", path_, lifecycle.terminate);
    return lifecycle;
}

ScriptLibrary::ScriptLibrary(const std::wstring& path)
    : path_(toUtf8(path)),
      module_(loadLibrary(path)),
      lifecycle_(resolveLifecycle()),
      session_(lifecycle_),
      functions_(parseSignatureList(session_.signatureList())) {
    for (ScriptEntry& listed : functions_) {
        listed.function = exported<ScriptFunction>(module_.get(), listed.name.c_str());
        if (listed.function == nullptr) {
            throw RunError("the signature list names " + listed.name + ", which " + path_ + " does not export");
        }
    }
}

std::string ScriptLibrary::fileVersion() const {
    std::wstring modulePath(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module_.get(), modulePath.data(), static_cast<DWORD>(modulePath.size()));
        if (length == 0) return "no module path (Windows error " + std::to_string(GetLastError()) + ")";
        if (length < modulePath.size()) {
            modulePath.resize(length);
            break;
        }
        modulePath.resize(modulePath.size() * 2);  // truncated: try a larger buffer
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(modulePath.c_str(), &ignored);
    std::vector<unsigned char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (size == 0 || !GetFileVersionInfoW(modulePath.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return "no version resource";
    }
    return "file version " + std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." + std::to_string(HIWORD(fixed->dwFileVersionLS)) +
           "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

ScriptFunction ScriptLibrary::function(const std::string& name) const {
    for (const ScriptEntry& listed : functions_) {
        if (listed.name != name) continue;
        if (listed.parameters != "s") {
            throw RunError(name + " takes \"" + listed.parameters + "\"; scriptfonts-run passes exactly one string");
        }
        return listed.function;
    }
    std::string known;
    for (const ScriptEntry& listed : functions_) known += (known.empty() ? "" : ", ") + listed.name;
    throw RunError("unknown function " + name + " (the library offers " + known + ")");
}

}  // namespace scriptfonts::run

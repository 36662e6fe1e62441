#include "script_library.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "image_header.h"
#include "text.h"

namespace scriptfonts::run {
namespace {

constexpr std::int32_t noTag = -1;  // shows whether the library wrote the result record

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// report: null, or where a watched load says what it brought in.
UniqueModule loadLibrary(const std::wstring& path, LoadReport* report) {
    std::optional<LoadWatch> watch;
    if (report != nullptr) watch.emplace(path);
    UniqueModule module(LoadLibraryW(path.c_str()));
    if (!module) {
        const DWORD error = GetLastError();
        std::string message = "cannot load " + toUtf8(path) + ": " + systemMessage(error, toUtf8(path));
        // The bare number is the same for a text file and a 32-bit DLL: say which it is.
        const std::string foreign = describeForeignImage(path);
        if (!foreign.empty()) message += "; " + foreign;
        throw RunError(message);
    }
    if (report != nullptr) *report = watch->report(module.get());
    return module;
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
        // With no underscore, the whole entry is the name of a function that takes no arguments.
        const std::string_view parameters = underscore == std::string_view::npos ? "" : entry.substr(underscore + 1);
        entries.push_back({std::string(entry.substr(0, underscore)), std::string(parameters), nullptr});
    }
    return entries;
}

std::int32_t callWithString(ScriptFunction function, const std::string& utf8, TaggedValue& result) {
    TaggedValue argument{};
    argument.value.string = utf8.c_str();
    argument.tag = tagString;
    result = TaggedValue{};
    result.tag = noTag;
    return function(&argument, 1, &result);
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

ScriptLibrary::ScriptLibrary(const std::wstring& path, bool watchLoad)
    : path_(toUtf8(path)),
      module_(loadLibrary(path, watchLoad ? &loadReport_ : nullptr)),
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

// Read from the loaded module's own resources: no version.dll to import.
std::string ScriptLibrary::fileVersion() const {
    // VS_VERSIONINFO: three 16-bit fields, the key "VS_VERSION_INFO" with its
    // NUL, padding to 32 bits, then VS_FIXEDFILEINFO.
    constexpr std::size_t fixedInfoOffset = (3 * sizeof(WORD) + sizeof(L"VS_VERSION_INFO") + 3) & ~std::size_t{3};
    constexpr DWORD fixedInfoSignature = 0xfeef04bd;
    const HRSRC found = FindResourceW(module_.get(), MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const HGLOBAL loaded = found == nullptr ? nullptr : LoadResource(module_.get(), found);
    const auto* block = loaded == nullptr ? nullptr : static_cast<const unsigned char*>(LockResource(loaded));
    VS_FIXEDFILEINFO fixed{};
    if (block == nullptr || SizeofResource(module_.get(), found) < fixedInfoOffset + sizeof fixed) {
        return "no version resource";
    }
    std::memcpy(&fixed, block + fixedInfoOffset, sizeof fixed);
    if (fixed.dwSignature != fixedInfoSignature) return "no version resource";
    return "file version " + std::to_string(HIWORD(fixed.dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed.dwFileVersionMS)) + "." + std::to_string(HIWORD(fixed.dwFileVersionLS)) +
           "." + std::to_string(LOWORD(fixed.dwFileVersionLS));
}

ScriptFunction ScriptLibrary::function(const std::string& name) const {
    for (const ScriptEntry& listed : functions_) {
        if (listed.name != name) continue;
        if (listed.parameters != "s") {
            throw RunError(name + " takes \"" + listed.parameters + "\"; scriptfonts-run passes exactly one string");
        }
        return listed.function;
    }
    std::vector<std::string> known;
    for (const ScriptEntry& listed : functions_) known.push_back(listed.name);
    throw RunError("unknown function " + name + " (the library offers " + joined(known) + ")");
}

}  // namespace scriptfonts::run

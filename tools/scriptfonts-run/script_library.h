// The DLL as the host's scripting engine holds it: loaded, started with
// ESInitialize, its script functions learnt from the signature list and
// resolved by name, ended with ESTerminate and unloaded.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handle_owners.h"
#include "load_watch.h"
#include "scriptfonts.h"
#include "text.h"

namespace scriptfonts::run {

struct ScriptEntry {
    std::string name;        // "registerFont"
    std::string parameters;  // one letter per argument: "s"
    ScriptFunction function;
};

// "name_s, name_s, ...": each entry's name and parameter letters.
std::vector<ScriptEntry> parseSignatureList(const std::string& list);

// One call as the engine makes it: a single string-tagged argument. The
// result's tag stays -1 unless the library writes the record.
std::int32_t callWithString(ScriptFunction function, const std::string& utf8, TaggedValue& result);

class ScriptLibrary {
public:
    // Throws RunError when the file cannot be loaded (with the system's
    // message, and what the file is when it is no image of this process's
    // machine), lacks a lifecycle entry, or lists a function it does not
    // export. With watchLoad, the DLLs it imports are loaded first and its
    // load is watched (loadReport()).
    ScriptLibrary(const std::wstring& path, bool watchLoad);

    const std::string& path() const { return path_; }
    HMODULE module() const { return module_.get(); }
    const LoadReport& loadReport() const { return loadReport_; }
    // "file version 1.0.0.2" from the DLL's version resource, or "no version resource".
    std::string fileVersion() const;
    const std::string& signatureList() const { return session_.signatureList(); }
    std::int32_t version() const { return lifecycle_.getVersion(); }
    // The listed function taking one string; RunError for any other name.
    ScriptFunction function(const std::string& name) const;

private:
    // The four entries every script library has, whether or not it is used.
    struct Lifecycle {
        const char* (*initialize)(const TaggedValue* arguments, std::int32_t count);
        std::int32_t (*getVersion)();
        void (*freeMemory)(void* block);
        void (*terminate)();
    };

    // ESInitialize to ESTerminate; destroyed before the module is unloaded.
    class EngineSession {
    public:
        explicit EngineSession(const Lifecycle& lifecycle);
        ~EngineSession() { terminate_(); }
        EngineSession(const EngineSession&) = delete;
        EngineSession& operator=(const EngineSession&) = delete;
        const std::string& signatureList() const { return signatureList_; }

    private:
        void (*terminate_)();
        std::string signatureList_;
    };

    Lifecycle resolveLifecycle() const;

    std::string path_;  // UTF-8, for messages
    LoadReport loadReport_;
    UniqueModule module_;
    Lifecycle lifecycle_;
    EngineSession session_;
    std::vector<ScriptEntry> functions_;
};

}  // namespace scriptfonts::run

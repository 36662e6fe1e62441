// What else a library's load brings into the process: the loader's own
// notifications (LdrRegisterDllNotification), watched while one LoadLibraryW
// runs. A DLL whose initialisation loads another does so under the loader
// lock, where a host thread waiting on a lock the loader needs freezes the host.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "handle_owners.h"

namespace scriptfonts::run {

// What a watched load brought into the process besides the library.
struct LoadReport {
    std::string importsLoadedFirst;         // "GDI32.dll, KERNEL32.dll", or "none"
    std::vector<std::string> othersLoaded;  // "bcrypt.dll (unloaded again)"; empty: nothing else
};

class LoadWatch {
public:
    // Loads each DLL that the file at path imports, so that the watched load
    // of it sees only what its own initialisation brings in; each stays loaded
    // while the watch lives. Throws RunError when the system has no DLL notifications.
    explicit LoadWatch(const std::wstring& path);
    ~LoadWatch();
    LoadWatch(const LoadWatch&) = delete;
    LoadWatch& operator=(const LoadWatch&) = delete;

    // The modules loaded since the watch began, other than library, by file
    // name, each followed by " (unloaded again)" when it went before now.
    LoadReport report(HMODULE library) const;

private:
    struct Event;
    static void CALLBACK notified(ULONG reason, const void* data, void* context) noexcept;

    std::vector<std::string> importNames_;
    std::vector<UniqueModule> imports_;
    std::unique_ptr<Event[]> events_;  // room set aside beforehand: the loader lock is held when they come
    std::size_t count_ = 0;
    std::size_t missed_ = 0;
    void* cookie_ = nullptr;
    long (NTAPI* unregister_)(void* cookie) = nullptr;
};

}  // namespace scriptfonts::run

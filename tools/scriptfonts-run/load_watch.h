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

class LoadWatch {
public:
    // Throws RunError when the system has no DLL notifications.
    LoadWatch();
    ~LoadWatch();
    LoadWatch(const LoadWatch&) = delete;
    LoadWatch& operator=(const LoadWatch&) = delete;

    // The modules loaded since the watch began, other than library, by file
    // name, each followed by " (unloaded again)" when it went before now.
    std::vector<std::string> othersLoaded(HMODULE library) const;

private:
    struct Event;
    static void CALLBACK notified(ULONG reason, const void* data, void* context) noexcept;

    std::unique_ptr<Event[]> events_;  // room set aside beforehand: the loader lock is held when they come
    std::size_t count_ = 0;
    std::size_t missed_ = 0;
    void* cookie_ = nullptr;
    long (NTAPI* unregister_)(void* cookie) = nullptr;
};

// Loads each DLL that the file at path imports, so that a watched load of it
// sees only what its own initialisation brings in. Each stays loaded while
// its owner lives.
class ImportsLoaded {
public:
    explicit ImportsLoaded(const std::wstring& path);
    // "GDI32.dll, KERNEL32.dll", or "none" for a file that imports nothing.
    std::string names() const;

private:
    std::vector<std::string> names_;
    std::vector<UniqueModule> modules_;
};

}  // namespace scriptfonts::run

#include "load_watch.h"

#include "image_header.h"
#include "text.h"

namespace scriptfonts::run {
namespace {

// ntdll's types for the notifications, which no SDK header declares.
struct LoaderText {  // UNICODE_STRING
    USHORT bytes;
    USHORT capacity;
    const wchar_t* text;
};
struct LoaderNotification {  // LDR_DLL_LOADED_NOTIFICATION_DATA, the same for an unload
    ULONG flags;
    const LoaderText* fullName;
    const LoaderText* baseName;
    void* base;
    ULONG size;
};
constexpr ULONG reasonLoaded = 1;  // LDR_DLL_NOTIFICATION_REASON_LOADED; 2 is unloaded
using Notified = void(CALLBACK*)(ULONG reason, const void* data, void* context);
using Register = long(NTAPI*)(ULONG flags, Notified callback, void* context, void** cookie);
using Unregister = long(NTAPI*)(void* cookie);

constexpr std::size_t eventRoom = 64;  // far more than any load brings in

}  // namespace

struct LoadWatch::Event {
    bool loaded;
    void* base;
    wchar_t name[MAX_PATH];
};

LoadWatch::LoadWatch(const std::wstring& path) : importNames_(readImportedDlls(path)), events_(new Event[eventRoom]) {
    // One that fails to load fails the library's own load, which says why.
    for (const std::string& name : importNames_) {
        if (const HMODULE module = LoadLibraryA(name.c_str())) imports_.emplace_back(module);  // names are ASCII
    }
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");  // in every process
    const auto registerWatch = exported<Register>(ntdll, "LdrRegisterDllNotification");
    unregister_ = exported<Unregister>(ntdll, "LdrUnregisterDllNotification");
    if (registerWatch == nullptr || unregister_ == nullptr) {
        throw RunError("--load-report: this system has no LdrRegisterDllNotification");
    }
    const long status = registerWatch(0, &LoadWatch::notified, this, &cookie_);
    if (status < 0) {
        throw RunError("--load-report: LdrRegisterDllNotification failed, status " + std::to_string(status));
    }
}

LoadWatch::~LoadWatch() { unregister_(cookie_); }

// Under the loader lock: copies the name into room set aside, nothing more.
void CALLBACK LoadWatch::notified(ULONG reason, const void* data, void* context) noexcept {
    auto& watch = *static_cast<LoadWatch*>(context);
    const auto& notification = *static_cast<const LoaderNotification*>(data);
    if (watch.count_ == eventRoom) {
        ++watch.missed_;
        return;
    }
    Event& event = watch.events_[watch.count_++];
    event.loaded = reason == reasonLoaded;
    event.base = notification.base;
    const std::size_t units = notification.baseName->bytes / sizeof(wchar_t);
    std::size_t i = 0;
    for (; i < units && i + 1 < MAX_PATH; ++i) event.name[i] = notification.baseName->text[i];
    event.name[i] = L'\0';
}

LoadReport LoadWatch::report(HMODULE library) const {
    LoadReport report{importNames_.empty() ? "none" : joined(importNames_), {}};
    for (std::size_t i = 0; i < count_; ++i) {
        const Event& event = events_[i];
        if (!event.loaded || event.base == library) continue;
        std::string name = toUtf8(event.name);
        for (std::size_t later = i + 1; later < count_; ++later) {
            if (!events_[later].loaded && events_[later].base == event.base) {
                name += " (unloaded again)";
                break;
            }
        }
        report.othersLoaded.push_back(name);
    }
    if (missed_ != 0) report.othersLoaded.push_back(std::to_string(missed_) + " more load and unload events");
    return report;
}

}  // namespace scriptfonts::run

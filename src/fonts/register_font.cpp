#include "fonts/font_work.h"

#include <optional>

#include "platform/unique_handle.h"

namespace scriptfonts::fonts {
namespace {

constexpr char16_t photoshopExecutable[] = u"Photoshop.exe";
constexpr char16_t illustratorExecutable[] = u"Illustrator.exe";

std::int32_t registerForHost(const std::u16string& path, const char16_t* hostExecutableName) {
    if (platform::addFontResource(path.c_str()) == 0) return 0;
    if (const platform::ProcessId host = findHostProcess(hostExecutableName); host != 0) {
        notifyHostWindows(host);
    }
    return 1;
}

}  // namespace

std::int32_t registerForPhotoshop(const std::u16string& path) { return registerForHost(path, photoshopExecutable); }

std::int32_t registerForIllustrator(const std::u16string& path) {
    return registerForHost(path, illustratorExecutable);
}

platform::ProcessId findHostProcess(const char16_t* hostExecutableName) {
    const platform::UniqueSnapshot snapshot{platform::createProcessSnapshot()};
    if (!snapshot) return 0;

    // The host whose script made the call is the one to tell, wherever it is
    // listed: with two instances open the first is often the other one. From
    // elsewhere (a script of another program), the first of the name is told.
    const platform::ProcessId caller = platform::currentProcessId();
    std::optional<platform::ProcessId> first;
    platform::ProcessEntry entry{};
    for (bool more = platform::firstProcess(snapshot.get(), entry); more;
         more = platform::nextProcess(snapshot.get(), entry)) {
        if (!platform::sameFileName(entry.exeFile, hostExecutableName)) continue;
        if (entry.id == caller) return caller;  // nothing listed later can win
        if (!first) first = entry.id;
    }
    return first.value_or(0);
}

void notifyHostWindows(platform::ProcessId host) {
    platform::forEachTopLevelWindow(
        [](platform::WindowHandle window, void* context) {
            if (platform::windowProcessId(window) == *static_cast<const platform::ProcessId*>(context)) {
                // A send given up on is lost (Wine drops it, and a hung window is
                // never sent to): the posted copy reaches the window once it pumps.
                if (!platform::sendFontChange(window)) platform::postFontChange(window);
            }
            return true;  // every top-level window is examined
        },
        &host);
}

}  // namespace scriptfonts::fonts

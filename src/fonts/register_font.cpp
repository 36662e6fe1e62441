#include "fonts/font_work.h"

#include <optional>

#include "platform/platform_owners.h"

namespace scriptfonts::fonts {
namespace {

constexpr char16_t photoshopExecutable[] = u"Photoshop.exe";
constexpr char16_t illustratorExecutable[] = u"Illustrator.exe";

// The executable's file name: what follows the path's last separator (Win32
// takes '/' as well as '\\'), compared as a snapshot's entries are.
bool calledFromProcessNamed(const char16_t* executableName) {
    const std::u16string path = platform::currentExecutablePath();
    const std::size_t separator = path.find_last_of(u"\\/");
    const char16_t* const fileName = path.c_str() + (separator == std::u16string::npos ? 0 : separator + 1);
    return *fileName != u'\0' && platform::sameFileName(fileName, executableName);
}

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
    // The host whose script made the call is the one to tell: with two
    // instances open the first listed is often the other one. Nearly every
    // call comes from inside the host, and its own name answers that at once,
    // where a process snapshot costs milliseconds or cannot be had at all.
    if (calledFromProcessNamed(hostExecutableName)) return platform::currentProcessId();

    const platform::UniqueSnapshot snapshot{platform::createProcessSnapshot()};
    if (!snapshot) return 0;

    // The caller is still preferred when listed (when its path could not be
    // read, say); from elsewhere (a script of another program) the first of
    // the name is told.
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
                // A send given up on may never arrive: Wine drops a timed-out
                // send, and a window skipped as hung is never sent to (Windows
                // still delivers a timed-out send once the window pumps, so
                // there it may come twice). The posted copy reaches it then.
                if (!platform::sendFontChange(window)) platform::postFontChange(window);
            }
            return true;  // every top-level window is examined
        },
        &host);
}

}  // namespace scriptfonts::fonts

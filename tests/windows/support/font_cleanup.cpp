#include "support/font_cleanup.h"

#include <windows.h>

#include <filesystem>
#include <utility>

#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

// Far more additions than any test makes of one file; only a guard against a
// platform that never reports the file gone.
constexpr int maximumRemovals = 16;

int removeAdditions(const std::wstring& path) {
    int removed = 0;
    while (removed < maximumRemovals && RemoveFontResourceW(path.c_str())) ++removed;
    return removed;
}

// Every file, whatever its name: copies are made under any name a test needs.
int removeAdditionsOfFilesIn(const std::wstring& directory) {
    int removed = 0;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator file(directory, error), end; !error && file != end;
         file.increment(error)) {
        std::error_code ignored;
        if (file->is_regular_file(ignored)) removed += removeAdditions(file->path().wstring());
    }
    return removed;
}

}  // namespace

FontCleanup::FontCleanup(std::wstring path) : path_(std::move(path)) {
    static const int leftOvers = removeLeftoversOfEndedRuns();  // once a process
    static_cast<void>(leftOvers);
    removeAll();
}

int FontCleanup::removeAll() { return removeAdditions(path_); }

int removeLeftoversOfEndedRuns() {
    int removed = removeAdditionsOfFilesIn(testFontPath(L""));
    for (const std::wstring& folder : temporaryDirectoriesOfEndedProcesses()) {
        removed += removeAdditionsOfFilesIn(folder);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    return removed;
}

}  // namespace scriptfonts::test

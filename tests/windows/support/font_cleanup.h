// Leaves this process's font table as a test found it, whatever the library
// did: on scope exit every addition of the file still there is withdrawn.
#pragma once

#include <string>
#include <utility>

namespace scriptfonts::test {

class FontCleanup {
public:
    explicit FontCleanup(std::wstring path) : path_(std::move(path)) {}
    ~FontCleanup() { removeAll(); }
    FontCleanup(const FontCleanup&) = delete;
    FontCleanup& operator=(const FontCleanup&) = delete;

    // RemoveFontResourceW until it fails; returns how many removals succeeded.
    int removeAll();

private:
    std::wstring path_;
};

}  // namespace scriptfonts::test

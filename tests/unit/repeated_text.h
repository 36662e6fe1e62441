// Texts around the 2 GiB limit without 2 GiB of memory, for the frame's tests
// and the allocation failure test (which links no stand-in platform).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace scriptfonts::test {

// `length` bytes of 'a' and a NUL, readable, without filling that much
// memory: one 16 MiB block of text is mapped again and again, the last time
// as a private copy that takes the terminator.
class RepeatedText {
public:
    explicit RepeatedText(std::size_t length) : size_((length / chunk + 1) * chunk), block_(memfd_create("t", 0)) {
        if (block_ < 0 || ftruncate(block_, chunk) != 0) return;
        void* span = mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (span == MAP_FAILED) return;
        base_ = static_cast<char*>(span);
        // The first view writes the block's text, the last is a private copy for the terminator.
        for (std::size_t offset = 0; offset < size_; offset += chunk) {
            const bool first = offset == 0, last = offset + chunk == size_;
            const int protection = first || last ? PROT_READ | PROT_WRITE : PROT_READ;
            const int sharing = last && !first ? MAP_PRIVATE : MAP_SHARED;
            if (mmap(base_ + offset, chunk, protection, sharing | MAP_FIXED | MAP_POPULATE, block_, 0) == MAP_FAILED)
                return;
            if (first) std::memset(base_, 'a', chunk);
        }
        base_[length] = '\0';
        text_ = base_;
    }
    ~RepeatedText() {
        if (base_ != nullptr) munmap(base_, size_);
        if (block_ >= 0) close(block_);
    }
    RepeatedText(const RepeatedText&) = delete;
    RepeatedText& operator=(const RepeatedText&) = delete;

    const char* text() const { return text_; }  // null when the mapping failed

private:
    static constexpr std::size_t chunk = std::size_t{1} << 24;
    std::size_t size_;
    int block_;
    char* base_ = nullptr;
    const char* text_ = nullptr;
};

}  // namespace scriptfonts::test

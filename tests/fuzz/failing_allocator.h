// The fuzzer's global allocator, which can make one of the library's own
// allocations fail: the n-th that the call makes outside the stand-in
// platform (the frame's copy of the text, a list's piece, a decoded text).
// The stand-in's recording is spared, as the platform it replaces allocates
// nothing of the library's.
#pragma once

namespace scriptfonts::fuzz {

// Armed for its lifetime; one at a time.
class FailingAllocation {
public:
    explicit FailingAllocation(int number) noexcept;  // 0: none fails
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    bool happened() const noexcept;
};

}  // namespace scriptfonts::fuzz

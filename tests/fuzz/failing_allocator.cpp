#include "failing_allocator.h"

#include <cstdlib>
#include <new>

#include "fake_platform.h"

namespace scriptfonts::fuzz {
namespace {

int allocationsBeforeFailure = -1;  // -1: never fail
bool failed = false;

}  // namespace

FailingAllocation::FailingAllocation(int number) noexcept {
    allocationsBeforeFailure = number - 1;
    failed = false;
}

FailingAllocation::~FailingAllocation() { allocationsBeforeFailure = -1; }

bool FailingAllocation::happened() const noexcept { return failed; }

}  // namespace scriptfonts::fuzz

// Every form, so that no block from the sanitizer's own operator new meets
// a free() here; AddressSanitizer still sees each block through malloc.
void* operator new(std::size_t size) {
    using namespace scriptfonts::fuzz;
    if (allocationsBeforeFailure >= 0 && !scriptfonts::fake::insidePlatformCall()) {
        if (allocationsBeforeFailure-- == 0) {
            failed = true;
            throw std::bad_alloc{};
        }
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc{};
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return operator new(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept { return operator new(size, nothrow); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

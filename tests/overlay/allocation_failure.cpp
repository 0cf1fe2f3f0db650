#include "tests/overlay/allocation_failure.hpp"

#include <cstdlib>
#include <new>

namespace {

thread_local std::size_t t_failAtLeast = 0;

void* allocate(std::size_t bytes) {
    if (t_failAtLeast != 0 && bytes >= t_failAtLeast) {
        t_failAtLeast = 0;
        return nullptr;
    }
    return std::malloc(bytes != 0 ? bytes : 1);
}

void* allocateOrThrow(std::size_t bytes) {
    if (void* block = allocate(bytes)) return block;
    throw std::bad_alloc();
}

}  // namespace

namespace pattix::test {

void failNextAllocation(std::size_t bytes) {
    t_failAtLeast = bytes;
}

}  // namespace pattix::test

// The whole unaligned family is replaced, so that every block is made and freed by the same pair
// (malloc and free, which the sanitizers still watch).
void* operator new(std::size_t bytes) {
    return allocateOrThrow(bytes);
}
void* operator new[](std::size_t bytes) {
    return allocateOrThrow(bytes);
}
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return allocate(bytes);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return allocate(bytes);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}

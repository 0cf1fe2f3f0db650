#include "tests/overlay/allocation_failure.hpp"

#include <cstdlib>
#include <new>

namespace {

thread_local std::size_t t_failAtLeast = 0;

}  // namespace

namespace pattix::test {

void failNextAllocation(std::size_t bytes) { t_failAtLeast = bytes; }

}  // namespace pattix::test

// Every other allocation goes to malloc as usual (and through the sanitizers' own malloc).
void* operator new(std::size_t bytes) {
    if (t_failAtLeast != 0 && bytes >= t_failAtLeast) {
        t_failAtLeast = 0;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(bytes != 0 ? bytes : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// Address-sanitized builds only: the leak check that ends every sanitized program must check,
// wherever a dynamic thread-local block of a loaded library lands.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sanitizer/lsan_interface.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// A block 16 bytes into a page is the one the sanitizer's runtime misreads, unless our programs
// start it with its record of those blocks switched off; then its leak check stops with a fatal
// error of its own. Small blocks come one after another from their size's run, so allocating
// until the next one would start there puts the library's block (one pointer) there too.
TEST(LeakCheck, ChecksWhenAThreadLocalBlockStartsSixteenBytesIntoAPage) {
    void* probe = dlopen(PATTIX_PROBE_PATH, RTLD_NOW);
    ASSERT_NE(probe, nullptr) << dlerror();
    const auto touch = reinterpret_cast<void** (*)()>(dlsym(probe, "pattix_probe_touch"));
    ASSERT_NE(touch, nullptr);

    // A pointer's block takes 32 bytes with the sanitizer's 16-byte header before it.
    constexpr std::uintptr_t kStep = 32;
    std::vector<void*> blocks;
    blocks.reserve(4096);
    do {
        blocks.push_back(std::malloc(sizeof(void*)));
    } while (blocks.size() < blocks.capacity() &&
             (reinterpret_cast<std::uintptr_t>(blocks.back()) + kStep) % 4096 != 16);
    void** const pointer = touch();
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(pointer) % 4096, 16u)
        << "the block no longer lands where it was misread; the test checks nothing";

    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0)
        << "what the library's pointer holds was reported";
    for (void* block : blocks) std::free(block);
}

}  // namespace

// A library loaded at run time with one thread-local pointer, as the module's runner flags and
// Mesa's LLVM have: each thread that touches it gets a dynamic thread-local block from malloc.
#include <cstdlib>

namespace {
thread_local void* t_block = nullptr;
}

// Gives the thread's pointer a heap block of its own and answers where the pointer lies.
extern "C" __attribute__((visibility("default"))) void** pattix_probe_touch() {
    if (t_block == nullptr) t_block = std::malloc(40);
    return &t_block;
}

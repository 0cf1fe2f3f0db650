// Linked into every program of an address-sanitized build: the options its runtime starts with.
//
// intercept_tls_get_addr=0: the runtime keeps its own record of each thread's dynamic
// thread-local blocks, and when a block starts 16 bytes into a page it takes the block's extent
// from the 16 bytes before it. With this glibc those bytes are the sanitizer's own chunk
// header, so the record can hold a range such as 0xd18 plus some gigabytes, and the leak check
// at exit stops with "Tracer caught signal 11" instead of checking. Our module's thread-local
// flags and Mesa's LLVM each take such blocks, on the main thread and on worker threads, so a
// run now and then lands on one. Without the record the leak check still sees the blocks: a
// heap block whose only pointer is held in a dynamic thread-local block is not reported.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}

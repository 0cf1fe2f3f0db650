// Reports about the libraries under the tests, not about ours, that the sanitizers must not make.
// fontconfig 2.14 loses a few blocks while it parses its configuration, once per process; it
// is built without frame pointers, so the report's stack ends in its module and names no
// function to match more closely.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
// Mesa's software renderer hands each frame to its own worker threads and waits for them with
// synchronisation the thread sanitizer cannot see inside the uninstrumented driver, so it
// reports the driver's fence objects as raced when a frame is read back.
extern "C" const char* __tsan_default_suppressions() {
    return "race:swrast_dri.so\n";
}

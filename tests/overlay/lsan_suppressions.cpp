// Leaks of the libraries under the tests, not of ours, that LeakSanitizer must not report.
// fontconfig 2.14 loses a few blocks while it parses its configuration, once per process; it
// is built without frame pointers, so the report's stack ends in its module and names no
// function to match more closely.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}

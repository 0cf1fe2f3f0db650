// LeakSanitizer reads every thread's dynamic thread-local blocks when the program ends; with
// the module's runner threads and this glibc, it can meet a stale block and stop with a
// fatal error of its own. The module keeps no heap pointer in thread-local storage, so the
// leak check loses nothing by leaving those blocks out.
extern "C" const char* __lsan_default_options() {
    return "use_tls=0";
}

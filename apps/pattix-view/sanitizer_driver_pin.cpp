// Linked into pattix-view only in address-sanitizer builds. Mesa's DRI driver keeps blocks for
// the life of the process, reachable from its own globals; closing the display unloads it, and
// the leak check at exit then finds those blocks unreachable in a module it can no longer name,
// so no suppression could match them. Here the driver stays loaded until the process ends, as
// a driver that is never unloaded would, and what our own code loses is still reported.
#include <dlfcn.h>
#include <link.h>

#include <cstring>

extern "C" int dlclose(void* handle) {
    using Close = int (*)(void*);
    static const Close realClose = reinterpret_cast<Close>(dlsym(RTLD_NEXT, "dlclose"));
    link_map* library = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &library) == 0 && library != nullptr &&
        library->l_name != nullptr && std::strstr(library->l_name, "_dri.so") != nullptr) {
        return 0;
    }
    return realClose(handle);
}

#include "apps/gst/module_location.hpp"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "apps/host/errors.hpp"
#include "apps/host/module_session.hpp"

namespace pattix::gst {

std::string modulePath() {
    if (const char* chosen = std::getenv(kModuleVariable); chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    Dl_info self{};
    if (dladdr(reinterpret_cast<const void*>(&modulePath), &self) == 0 ||
        self.dli_fname == nullptr) {
        return "libpattix.so";  // the dynamic loader's own search
    }
    const std::filesystem::path plugin(self.dli_fname);
    return (plugin.parent_path().parent_path() / "libpattix.so").string();
}

std::shared_ptr<host::ModuleSession> sharedModule() {
    static std::mutex mutex;
    static std::weak_ptr<host::ModuleSession> shared;
    const std::lock_guard lock(mutex);
    if (auto session = shared.lock()) return session;
    const std::string path = modulePath();
    try {
        auto session = std::make_shared<host::ModuleSession>(path);
        shared = session;
        return session;
    } catch (const host::RunFailure& failure) {
        throw host::RunFailure(std::string(failure.what()) + " (set " + kModuleVariable +
                               " to the module's path)");
    }
}

}  // namespace pattix::gst

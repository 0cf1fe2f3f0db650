// pattix: loads the Pattix module as the host does and reports what it registers.

#include <cstdio>
#include <filesystem>
#include <string>

#include "sdk/host/registration.hpp"
#include "sdk/platform/loader.hpp"

namespace {

std::string defaultModulePath(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = argv0;
    return (self.parent_path().parent_path() / "lib" / "libpattix.so").string();
}

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

int main(int /*argc*/, char** argv) {
    std::string error;
    auto module = sdk::LoadedModule::load(defaultModulePath(argv[0]), error);
    if (!module) {
        std::fprintf(stderr, "pattix: %s\n", error.c_str());
        return 1;
    }
    if (const HRESULT hr = module->registerServer(); FAILED(hr)) {
        std::fprintf(stderr, "pattix: the module refused to register (0x%08X)\n",
                     static_cast<unsigned>(hr));
        return 1;
    }
    std::printf("Module %s registered:\n", module->path().c_str());
    for (const auto& c : sdk::host::registeredClasses()) {
        std::printf("  class  %s  number %u\n", sdk::formatGuid(c.clsid).c_str(), c.number);
    }
    for (const auto& f : sdk::host::registeredFamilies()) {
        std::printf("  family %s  for %s  \"%s\"\n", sdk::formatGuid(f.family).c_str(),
                    sdk::formatGuid(f.clsid).c_str(), narrow(f.name).c_str());
    }
    return 0;
}

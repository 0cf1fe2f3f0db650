#include "apps/host/module_session.hpp"

#include <cstdio>
#include <filesystem>

#include "apps/host/errors.hpp"
#include "apps/host/text.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/platform/resources.hpp"

namespace pattix::host {

std::string installedModulePath(const char* argv0) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) self = argv0;
    return (self.parent_path().parent_path() / "lib" / "libpattix.so").string();
}

std::string refusal(const std::string& what, HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(result));
    return "the module refused " + what + " (" + code + ")";
}

ModuleSession::ModuleSession(const std::string& path) {
    std::string error;
    m_Module = sdk::LoadedModule::load(path, error);
    if (!m_Module) throw RunFailure(error);
    if (const HRESULT hr = m_Module->registerServer(); FAILED(hr)) {
        throw RunFailure(refusal("to register", hr));
    }
}

std::string ModuleSession::string(UINT id) const {
    LPWSTR text = nullptr;
    // With no buffer size LoadStringW answers a pointer into the module's own table.
    const int length = LoadStringW(m_Module->handle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return {};
    return toUtf8(std::wstring_view(text, static_cast<std::size_t>(length)));
}

std::vector<std::string> ModuleSession::patternNames() const {
    std::vector<std::string> names;
    for (int value = 0; value < kPatternCount; ++value) {
        names.push_back(string(IDS_PATTERN_FIRST_VALUE + static_cast<UINT>(value)));
    }
    return names;
}

ComPtr<IDSImageEffect> ModuleSession::createEffect() const {
    IClassFactory* rawFactory = nullptr;
    HRESULT hr = m_Module->getClassObject(CLSID_Bars, IID_IClassFactory,
                                          reinterpret_cast<void**>(&rawFactory));
    if (FAILED(hr) || rawFactory == nullptr) {
        throw RunFailure(refusal("the effect's class factory", FAILED(hr) ? hr : E_POINTER));
    }
    const ComPtr<IClassFactory> factory(rawFactory);
    IDSImageEffect* effect = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IDSImageEffect, reinterpret_cast<void**>(&effect));
    if (FAILED(hr) || effect == nullptr) {
        throw RunFailure(refusal("to create the effect", FAILED(hr) ? hr : E_POINTER));
    }
    return ComPtr<IDSImageEffect>(effect);
}

}  // namespace pattix::host

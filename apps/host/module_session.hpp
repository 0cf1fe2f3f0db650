// The Pattix module loaded as the host loads it: mapped, process-attached, registered with the
// host, and asked for its effect through its class factory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "apps/host/com_ptr.hpp"
#include "sdk/host/image_effect.hpp"
#include "sdk/platform/loader.hpp"

namespace pattix::host {

class ModuleSession {
public:
    // Loads the module and calls DllRegisterServer; throws RunFailure when either fails.
    explicit ModuleSession(const std::string& path);

    const sdk::LoadedModule& module() const { return *m_Module; }

    // Text `id` of the module's string table as UTF-8; empty when it has none.
    std::string string(UINT id) const;
    // The patterns' own names, by Pattern value.
    std::vector<std::string> patternNames() const;

    // A new effect: DllGetClassObject for the effect class, then CreateInstance. Throws
    // RunFailure when the module refuses. Every effect must go before the session.
    ComPtr<IDSImageEffect> createEffect() const;

private:
    std::unique_ptr<sdk::LoadedModule> m_Module;
};

// Where a host program finds the module: installed beside it, <prefix>/bin/<program> and
// <prefix>/lib/libpattix.so.
std::string installedModulePath(const char* argv0);

// "the module refused <what> (0x80004005)": the line for a failed host call.
std::string refusal(const std::string& what, HRESULT result);

}  // namespace pattix::host

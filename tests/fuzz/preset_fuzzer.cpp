// libFuzzer target: any bytes as a preset, loaded into the module's effect through the host, as
// pattix loads one. A preset is applied whole or not at all; a refused one changes nothing and
// is explained in one bounded, printable message; an applied one saves back to the same values.

#include <cstdint>
#include <string>

#include "apps/host/effect_instance.hpp"
#include "apps/host/module_session.hpp"
#include "sdk/platform/call_log.hpp"

namespace {

using namespace pattix;

void require(bool condition) {
    if (!condition) __builtin_trap();
}

host::EffectInstance& effect() {
    static const host::ModuleSession session(PATTIX_MODULE_PATH);
    static host::EffectInstance instance(session.createEffect());
    return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    host::EffectInstance& target = effect();
    sdk::clearCalls();  // the host's log of calls would otherwise grow with every input
    const std::string before = target.savePreset();
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (FAILED(target.host().LoadPreset(text, &error))) {
        require(target.savePreset() == before);
        require(!error.empty() && error.size() < 400);
        for (const char c : error) require(c >= 0x20 && c < 0x7F);
        return 0;
    }
    const std::string after = target.savePreset();
    require(target.host().LoadPreset(after, nullptr) == S_OK && target.savePreset() == after);
    require(target.host().LoadPreset(before, nullptr) == S_OK);
    return 0;
}

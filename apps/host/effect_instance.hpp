// One effect object as the host holds it: its information records asked once, its parameters
// read and written by identifier through the host's property machinery, its presets.
#pragma once

#include <functional>
#include <string>

#include "apps/host/com_ptr.hpp"
#include "apps/host/parameter_choice.hpp"
#include "sdk/host/image_effect.hpp"

namespace pattix::host {

class EffectInstance {
public:
    // Takes the effect and asks GetInfo and GetImageEffectInfo as a generator (an effect that
    // needs only an output image). Throws RunFailure when it refuses.
    explicit EffectInstance(ComPtr<IDSImageEffect> effect);

    IDSImageEffect& effect() { return *m_Effect; }
    CDSImageEffectEx& host() { return *m_Host; }
    const CDSImageEffectEx& host() const { return *m_Host; }

    // The effect's name or description as UTF-8 (empty when it has none).
    std::string name();
    std::string description();

    void setInteger(const GUID& parameter, LONG value);
    // The value of an integer or boolean parameter.
    LONG value(const GUID& parameter) const;

    // Applies a saved preset; `source` names it in the RunFailure thrown for a bad one.
    void loadPreset(const std::string& text, const std::string& source);
    // The parameters as a preset; throws RunFailure when the host will not give a value, since
    // a preset without it would later apply as if it were whole.
    std::string savePreset() const;
    // Reads the preset at `path` ("-": standard input) and applies it; throws RunFailure naming
    // it. `interrupted` runs when a signal interrupts the reading and may throw to stop.
    void loadPresetFile(const std::string& path, const std::function<void()>& interrupted = {});

    // Throws RunFailure when the preset cannot be used or the effect refuses a value.
    void apply(const ParameterChoice& choice, const std::function<void()>& interrupted = {});

private:
    ComPtr<IDSImageEffect> m_Effect;
    CDSImageEffectEx* m_Host;
};

}  // namespace pattix::host

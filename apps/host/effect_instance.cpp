#include "apps/host/effect_instance.hpp"

#include "apps/host/errors.hpp"
#include "apps/host/module_session.hpp"
#include "apps/host/preset_file.hpp"
#include "apps/host/text.hpp"
#include "plugin/pages/parameters.hpp"

namespace pattix::host {
namespace {

std::string parameterName(const GUID& parameter) {
    return "parameter " + sdk::formatGuid(parameter);
}

}  // namespace

EffectInstance::EffectInstance(ComPtr<IDSImageEffect> effect)
    : m_Effect(std::move(effect)), m_Host(sdk::host::effectBase(m_Effect.get())) {
    if (m_Host == nullptr) throw RunFailure(refusal("the host's effect identity", E_NOINTERFACE));
    DSEffectInfo info{};
    info.version = DSEFFECTINFO_VERSION;
    if (const HRESULT hr = m_Effect->GetInfo(&info); FAILED(hr)) {
        throw RunFailure(refusal("its effect information", hr));
    }
    DSImageEffectInfo imageInfo{};
    imageInfo.size = sizeof imageInfo;
    imageInfo.version = DSIMAGEEFFECTINFO_VERSION;
    imageInfo.category = DSCATEGORY_GENERATOR;
    if (const HRESULT hr = m_Effect->GetImageEffectInfo(&imageInfo); FAILED(hr)) {
        throw RunFailure(refusal("its image-effect information", hr));
    }
}

std::string EffectInstance::name() {
    WCHAR text[256] = {};
    return SUCCEEDED(m_Effect->GetName(text, 256)) ? toUtf8(text) : std::string();
}

std::string EffectInstance::description() {
    WCHAR text[1024] = {};
    return SUCCEEDED(m_Effect->GetDescription(text, 1024)) ? toUtf8(text) : std::string();
}

void EffectInstance::setInteger(const GUID& parameter, LONG value) {
    VARIANT variant;
    VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = value;
    if (const HRESULT hr = m_Host->SetPlainProperty(parameter, variant); FAILED(hr)) {
        throw RunFailure(
            refusal("value " + std::to_string(value) + " for " + parameterName(parameter), hr));
    }
}

LONG EffectInstance::value(const GUID& parameter) const {
    return integerValue(*m_Host, parameter);
}

LONG integerValue(const CDSImageEffectEx& effect, const GUID& parameter) {
    VARIANT variant;
    VariantInit(&variant);
    if (const HRESULT hr = effect.GetPlainProperty(parameter, &variant); FAILED(hr)) {
        throw RunFailure(refusal("to read " + parameterName(parameter), hr));
    }
    return variant.vt == VT_BOOL ? (variant.boolVal != VARIANT_FALSE ? 1 : 0) : variant.lVal;
}

void EffectInstance::loadPreset(const std::string& text, const std::string& source) {
    std::string error;
    if (FAILED(m_Host->LoadPreset(text, &error))) {
        throw RunFailure("preset " + source + " cannot be used: " + error);
    }
}

std::string EffectInstance::savePreset() const {
    std::string text;
    if (const HRESULT hr = m_Host->SavePreset(&text); FAILED(hr)) {
        throw RunFailure(refusal("a parameter value for the preset", hr));
    }
    return text;
}

void EffectInstance::loadPresetFile(const std::string& path,
                                    const std::function<void()>& interrupted) {
    loadPreset(readPresetText(path, interrupted), presetSource(path));
}

void EffectInstance::apply(const ParameterChoice& choice,
                           const std::function<void()>& interrupted) {
    const bool preset = !choice.presetPath.empty();
    if (preset) loadPresetFile(choice.presetPath, interrupted);
    if (!preset || choice.patternGiven) setInteger(PARAM_PATTERN, choice.pattern);
    if (!preset || choice.directionGiven) setInteger(PARAM_RAMP_DIRECTION, choice.direction);
}

}  // namespace pattix::host

// A small host for tests: creates effects through the loaded module and renders them into host
// images, as the real host would.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "plugin/effect/bars.hpp"
#include "plugin/module/class_ids.hpp"
#include "plugin/pages/parameters.hpp"
#include "sdk/host/image_effect.hpp"
#include "sdk/host/pixel_formats.hpp"
#include "sdk/host/project.hpp"
#include "sdk/platform/call_log.hpp"
#include "tests/support/loaded_module.hpp"

namespace pattix::testing {

// An effect the test owns one reference to.
class EffectRef {
public:
    EffectRef() = default;
    explicit EffectRef(IDSImageEffect* effect) : m_Effect(effect) {}
    EffectRef(const EffectRef&) = delete;
    EffectRef& operator=(const EffectRef&) = delete;
    EffectRef(EffectRef&& other) noexcept : m_Effect(std::exchange(other.m_Effect, nullptr)) {}
    EffectRef& operator=(EffectRef&& other) noexcept {
        std::swap(m_Effect, other.m_Effect);
        return *this;
    }
    ~EffectRef() {
        if (m_Effect) m_Effect->Release();
    }

    IDSImageEffect* operator->() const { return m_Effect; }
    IDSImageEffect* get() const { return m_Effect; }
    explicit operator bool() const { return m_Effect != nullptr; }
    CDSImageEffectEx& host() const { return *sdk::host::effectBase(m_Effect); }
    // The effect object itself, reached as pages and tools reach it. Calls through base() stay
    // virtual: the compiler cannot see that it is a Bars, whose code is hidden in the module.
    KtDsEffect& base() const {
        void* self = nullptr;
        EXPECT_EQ(m_Effect->QueryInterface(CLSID_Bars, &self), S_OK);
        m_Effect->Release();
        return *static_cast<KtDsEffect*>(self);
    }
    Bars& object() const { return static_cast<Bars&>(base()); }

private:
    IDSImageEffect* m_Effect = nullptr;
};

inline EffectRef createEffect() {
    IClassFactory* factory = factoryFor(CLSID_Bars);
    if (factory == nullptr) return {};
    IDSImageEffect* effect = nullptr;
    EXPECT_EQ(
        factory->CreateInstance(nullptr, IID_IDSImageEffect, reinterpret_cast<void**>(&effect)),
        S_OK);
    factory->Release();
    return EffectRef(effect);
}

// Asks the records as the host does, placing the effect under `category`.
inline HRESULT describe(const EffectRef& effect, const GUID& category = DSCATEGORY_GENERATOR,
                        DSImageEffectInfo* out = nullptr) {
    DSEffectInfo info{};
    if (HRESULT hr = effect->GetInfo(&info); FAILED(hr)) return hr;
    DSImageEffectInfo imageInfo{};
    imageInfo.category = category;
    const HRESULT hr = effect->GetImageEffectInfo(&imageInfo);
    if (out) *out = imageInfo;
    return hr;
}

inline HRESULT setInt(const EffectRef& effect, const GUID& id, LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return effect.host().SetPlainProperty(id, v);
}

inline LONG getInt(const EffectRef& effect, const GUID& id) {
    VARIANT v;
    EXPECT_EQ(effect.host().GetPlainProperty(id, &v), S_OK);
    return v.vt == VT_BOOL ? (v.boolVal != 0) : v.lVal;
}

// A host image, released with the test.
struct ImageRef {
    sdk::host::HostImage* image = nullptr;
    ImageRef(int width, int height, const GUID& format)
        : image(sdk::host::HostImage::create(width, height, format)) {}
    ImageRef(const ImageRef&) = delete;
    ~ImageRef() {
        if (image) image->Release();
    }
    sdk::host::HostImage* operator->() const { return image; }

    // Component c of the pixel at buffer column x of buffer row (memory order) `row`.
    int at(int row, int x, int c) const {
        const std::byte* p = image->data() + static_cast<std::size_t>(row) * image->rowBytes();
        if (image->format() == MFIF_RGBA_RAW_32) return static_cast<int>(p[x * 4 + c]);
        std::int16_t v;
        std::memcpy(&v, p + x * 8 + c * 2, 2);
        return v;
    }
    std::array<int, 4> pixel(int row, int x) const {
        return {at(row, x, 0), at(row, x, 1), at(row, x, 2), at(row, x, 3)};
    }
    bool rowIsZero(int row) const {
        const std::byte* p = image->data() + static_cast<std::size_t>(row) * image->rowBytes();
        return std::all_of(p, p + image->rowBytes(), [](std::byte b) { return b == std::byte{}; });
    }
};

// Host objects for one render.
struct RenderSetup {
    sdk::host::HostCoordinateManager coordinates;
    sdk::host::HostExecutionContext context;
    DSRenderData data;

    explicit RenderSetup(IDSImage* output) {
        data.output = output;
        data.coordinates = &coordinates;
        data.context = &context;
    }
};

inline HRESULT render(const EffectRef& effect, RenderSetup& setup) {
    effect.host().SetRenderData(setup.data);
    return effect->Execute(0.0);
}

}  // namespace pattix::testing

// Pixel and colour value types. One template family serves the stored 8-bit and 16-bit
// fixed-point pixels and the float working colour: the template arguments name the component type,
// its range and the stored number that means 1.0, so no kernel is ever copied per pixel type.
#pragma once

#include <cstdint>
#include <type_traits>

namespace pattix {

// Range and unit of one component type. `Stored` is 1 for the types that live in pixel memory
// and 0 for the float working types. The bounds are integers in every type (the float types
// span 0 to 1), which lets `KtRGBABase<float,0,1,1,0>` be spelt as the framework writes it.
template <class T, int Min, int Max, int Unit, int Stored>
struct KtComponentTraits {
    using Component = T;
    static constexpr T minValue = static_cast<T>(Min);
    static constexpr T maxValue = static_cast<T>(Max);
    static constexpr T unitValue = static_cast<T>(Unit);
    static constexpr bool isStored = Stored != 0;
};

// Four components in memory order R, G, B, A; never premultiplied.
template <class T, int Min, int Max, int Unit, int Stored>
struct KtRGBABase : KtComponentTraits<T, Min, Max, Unit, Stored> {
    static constexpr int componentCount = 4;
    T r, g, b, a;
};

// A single component (matte, luminance).
template <class T, int Min, int Max, int Unit, int Stored>
struct KtChannelBase : KtComponentTraits<T, Min, Max, Unit, Stored> {
    static constexpr int componentCount = 1;
    T v;
};

template <class Base>
struct KtRGBACol : Base {
    using Component = typename Base::Component;

    constexpr KtRGBACol() : Base{{}, Component{}, Component{}, Component{}, Component{}} {}
    constexpr KtRGBACol(Component red, Component green, Component blue, Component alpha)
        : Base{{}, red, green, blue, alpha} {}

    // Component i in memory order; the switch folds away wherever i is a constant.
    constexpr Component component(int i) const {
        switch (i) {
            case 0:
                return this->r;
            case 1:
                return this->g;
            case 2:
                return this->b;
            default:
                return this->a;
        }
    }
    constexpr void setComponent(int i, Component value) {
        switch (i) {
            case 0:
                this->r = value;
                break;
            case 1:
                this->g = value;
                break;
            case 2:
                this->b = value;
                break;
            default:
                this->a = value;
                break;
        }
    }

    friend constexpr bool operator==(const KtRGBACol& p, const KtRGBACol& q) {
        return p.r == q.r && p.g == q.g && p.b == q.b && p.a == q.a;
    }
};

template <class Base>
struct KtChannel : Base {
    using Component = typename Base::Component;

    constexpr KtChannel() : Base{{}, Component{}} {}
    constexpr explicit KtChannel(Component value) : Base{{}, value} {}

    constexpr Component component(int) const { return this->v; }
    constexpr void setComponent(int, Component value) { this->v = value; }

    friend constexpr bool operator==(const KtChannel& p, const KtChannel& q) { return p.v == q.v; }
};

// The four stored types the effect instantiates and the float working colours.
using Rgba8 = KtRGBACol<KtRGBABase<unsigned char, 0, 255, 255, 1>>;
using Rgba16 = KtRGBACol<KtRGBABase<short, -32768, 32767, 16384, 1>>;
using Channel8 = KtChannel<KtChannelBase<unsigned char, 0, 255, 255, 1>>;
using Channel16 = KtChannel<KtChannelBase<short, -32768, 32767, 16384, 1>>;
using WorkColour = KtRGBACol<KtRGBABase<float, 0, 1, 1, 0>>;
using WorkChannel = KtChannel<KtChannelBase<float, 0, 1, 1, 0>>;

// The host reads these straight from its buffers: no padding, plain bytes.
static_assert(sizeof(Rgba8) == 4 && sizeof(Rgba16) == 8);
static_assert(sizeof(Channel8) == 1 && sizeof(Channel16) == 2);
static_assert(std::is_trivially_copyable_v<Rgba8> && std::is_trivially_copyable_v<Rgba16>);
static_assert(std::is_standard_layout_v<Rgba8> && std::is_standard_layout_v<Rgba16>);

}  // namespace pattix

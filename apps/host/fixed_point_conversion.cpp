#include "apps/host/fixed_point_conversion.hpp"

#include <cstring>

namespace pattix::host {
namespace {

// For c in 0..16384, c * 65535 = 4c * 16384 - c, so (c * 65535 + 8192) / 16384 is 4c when
// c <= 8192 and 4c - 1 above: no multiply or divide, and the lanes stay 16 bits wide (4 * 16384
// wraps to 0 and the -1 brings it to 65535). The lanes are wide on purpose: each build below
// splits them into the vector registers of its instruction set.
constexpr std::size_t kLanes = 32;
using SignedLanes = std::int16_t __attribute__((vector_size(kLanes * sizeof(std::int16_t))));
using UnsignedLanes = std::uint16_t __attribute__((vector_size(kLanes * sizeof(std::uint16_t))));

[[gnu::always_inline]] inline void convertLanesThenRest(const std::int16_t* source,
                                                        std::uint16_t* target,
                                                        std::size_t count) noexcept {
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        SignedLanes value;
        std::memcpy(&value, source + i, sizeof value);
        const SignedLanes zero{};
        value = value < zero ? zero : value;
        value = value > zero + 16384 ? zero + 16384 : value;
        const UnsignedLanes converted = (reinterpret_cast<UnsignedLanes>(value) << 2) +
                                        reinterpret_cast<UnsignedLanes>(value > zero + 8192);
        std::memcpy(target + i, &converted, sizeof converted);
    }
    for (; i < count; ++i) target[i] = fixedToUnsigned16(source[i]);
}

using Converter = void (*)(const std::int16_t*, std::uint16_t*, std::size_t) noexcept;

void convertBaseline(const std::int16_t* source, std::uint16_t* target,
                     std::size_t count) noexcept {
    convertLanesThenRest(source, target, count);
}

// A 1080 frame at 16 bits is 16.6 million components: the loop is worth a build per vector
// instruction set, picked once by asking the processor. (Not an ifunc: sanitizers cannot run
// code before the program is relocated.)
#if defined(__x86_64__)
[[gnu::target("avx2")]] void convertAvx2(const std::int16_t* source, std::uint16_t* target,
                                         std::size_t count) noexcept {
    convertLanesThenRest(source, target, count);
}

[[gnu::target("avx512f,avx512bw")]] void convertAvx512(const std::int16_t* source,
                                                       std::uint16_t* target,
                                                       std::size_t count) noexcept {
    convertLanesThenRest(source, target, count);
}

Converter fastestConverter() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw")) return convertAvx512;
    if (__builtin_cpu_supports("avx2")) return convertAvx2;
    return convertBaseline;
}
#else
Converter fastestConverter() {
    return convertBaseline;
}
#endif

void convertNativeOrder(const std::int16_t* source, std::uint16_t* target,
                        std::size_t count) noexcept {
    static const Converter converter = fastestConverter();
    converter(source, target, count);
}

}  // namespace

template <std::endian Order>
void convertFixedToUnsigned16(const std::int16_t* source, std::uint16_t* target,
                              std::size_t count) noexcept {
    convertNativeOrder(source, target, count);
    if constexpr (Order != std::endian::native) {
        for (std::size_t i = 0; i < count; ++i) {
            target[i] = static_cast<std::uint16_t>(target[i] << 8 | target[i] >> 8);
        }
    }
}

template void convertFixedToUnsigned16<std::endian::little>(const std::int16_t*, std::uint16_t*,
                                                            std::size_t) noexcept;
template void convertFixedToUnsigned16<std::endian::big>(const std::int16_t*, std::uint16_t*,
                                                         std::size_t) noexcept;

}  // namespace pattix::host

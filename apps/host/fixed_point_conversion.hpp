// The host's signed 2.14 fixed-point components (16384 = 1.0) as the 16-bit unsigned values of
// image files and rgba64le streams.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace pattix::host {

// One component: (clamp(v, 0, 16384) * 65535 + 8192) / 16384, rounding 1.0 to 65535.
constexpr std::uint16_t fixedToUnsigned16(std::int16_t value) {
    const int clamped = value < 0 ? 0 : (value > 16384 ? 16384 : value);
    return static_cast<std::uint16_t>((clamped * 65535 + 8192) / 16384);
}

// Converts `count` components, writing each in the byte order `Order`. The ranges may not
// overlap, unless they are the same (a conversion in place).
template <std::endian Order>
void convertFixedToUnsigned16(const std::int16_t* source, std::uint16_t* target,
                              std::size_t count) noexcept;

extern template void convertFixedToUnsigned16<std::endian::little>(const std::int16_t*,
                                                                   std::uint16_t*,
                                                                   std::size_t) noexcept;
extern template void convertFixedToUnsigned16<std::endian::big>(const std::int16_t*, std::uint16_t*,
                                                                std::size_t) noexcept;

}  // namespace pattix::host

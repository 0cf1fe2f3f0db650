#include "apps/host/text.hpp"

#include "sdk/platform/wide_text.hpp"

#include <algorithm>
#include <cctype>

namespace pattix::host {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string toUtf8(std::wstring_view text) {
    return sdk::toUtf8(text);
}

namespace {

// The length of the well-formed UTF-8 character at the start of `text` that is not a control
// character, or 0.
std::size_t printableCharacter(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead >= 0x20 && lead < 0x7F) return 1;
    const std::size_t length = lead >= 0xC2 && lead < 0xE0   ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 0;
    if (length == 0 || text.size() < length) return 0;
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        c = c << 6 | (next & 0x3F);
    }
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    const bool control = c >= 0x80 && c < 0xA0;
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    return overlong || control || surrogate || c > 0x10FFFF ? 0 : length;
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::size_t length = printableCharacter(text);
        if (length > 0) {
            out.append(text.substr(0, length));
        } else {
            constexpr char kDigits[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(text[0]);
            out += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
            length = 1;
        }
        text.remove_prefix(length);
    }
    return out;
}

std::string quote(std::string_view text) {
    // Enough for any path or value typed by hand; more only buries the message.
    constexpr std::size_t kLongest = 200;
    if (text.size() <= kLongest) return "'" + printable(text) + "'";
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return "'" + printable(text.substr(0, cut)) + "'...";
}

}  // namespace pattix::host

#include "apps/host/pattern_names.hpp"

#include "apps/host/errors.hpp"
#include "apps/host/text.hpp"

namespace pattix::host {

int resolvePattern(std::string_view text, std::span<const std::string> ownNames) {
    for (int value = 0; value < kPatternCount; ++value) {
        const bool isNumber = text.size() == 1 && text[0] == static_cast<char>('0' + value);
        const bool isOwnName = static_cast<std::size_t>(value) < ownNames.size() &&
                               equalsIgnoringCase(text, ownNames[value]);
        if (isNumber || isOwnName || equalsIgnoringCase(text, kPatternShortNames[value])) {
            return value;
        }
    }
    std::string accepted;
    for (std::string_view name : kPatternShortNames) accepted += std::string(name) + ", ";
    throw UsageError("unknown pattern " + quote(text) + ": use " + accepted +
                     "a number 0-8, or a pattern's own name as --list shows it");
}

}  // namespace pattix::host

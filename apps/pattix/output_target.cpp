#include "apps/pattix/output_target.hpp"

#include <cctype>

#include "apps/host/errors.hpp"
#include "apps/host/text.hpp"

namespace pattix::cli {
namespace {

bool endsWithIgnoringCase(std::string_view text, std::string_view ending) {
    return text.size() >= ending.size() &&
           host::equalsIgnoringCase(text.substr(text.size() - ending.size()), ending);
}

// Splits a PNG path at its one %d conversion; the path is never used as a format string.
void splitAtFrameNumber(std::string_view path, OutputTarget& target) {
    const std::string subject = "output " + host::quote(path);
    std::string* part = &target.prefix;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') {
            *part += path[i];
            continue;
        }
        if (i + 1 < path.size() && path[i + 1] == '%') {
            *part += '%';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        const bool zero = j < path.size() && path[j] == '0';
        std::size_t width = 0;
        while (j < path.size() && std::isdigit(static_cast<unsigned char>(path[j])) &&
               width < 100) {
            width = width * 10 + static_cast<std::size_t>(path[j] - '0');
            ++j;
        }
        if (j >= path.size() || path[j] != 'd' || width > 32) {
            throw host::UsageError(subject +
                                   ": '%' must begin a frame number %d, %4d or %04d (up to 32 "
                                   "digits), or be written %%");
        }
        if (part == &target.suffix) {
            throw host::UsageError(subject + " has more than one frame number %d");
        }
        target.kind = OutputKind::PngSequence;
        target.numberWidth = static_cast<int>(width);
        target.zeroPadded = zero;
        part = &target.suffix;
        i = j;
    }
}

}  // namespace

OutputTarget parseOutputTarget(std::string_view path) {
    OutputTarget target;
    target.path = std::string(path);
    if (path == "-") {
        target.kind = OutputKind::StandardOutput;
    } else if (endsWithIgnoringCase(path, ".rgba") && path.size() > 5) {
        target.kind = OutputKind::RawFile;
    } else if (endsWithIgnoringCase(path, ".png") && path.size() > 4) {
        target.kind = OutputKind::PngFile;
        splitAtFrameNumber(path, target);
        if (target.kind == OutputKind::PngFile) target.path = target.prefix;
    } else {
        throw host::UsageError("output " + host::quote(path) +
                               " is not a .png or .rgba path, or - for standard output");
    }
    return target;
}

std::string frameFileName(const OutputTarget& target, std::int64_t frame) {
    if (target.kind != OutputKind::PngSequence) return target.path;
    std::string number = std::to_string(frame);
    if (number.size() < static_cast<std::size_t>(target.numberWidth)) {
        number.insert(0, target.numberWidth - number.size(), target.zeroPadded ? '0' : ' ');
    }
    return target.prefix + number + target.suffix;
}

}  // namespace pattix::cli

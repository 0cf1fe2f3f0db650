// Where the frames go, as the -o path says: one PNG, a numbered PNG per frame, a raw stream
// into a file, or a raw stream on standard output.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pattix::cli {

enum class OutputKind { PngFile, PngSequence, RawFile, StandardOutput };

struct OutputTarget {
    OutputKind kind = OutputKind::PngFile;
    std::string path;  // as given; for a sequence the name with its %d
    // A sequence's file name around its number, and the number's printf width.
    std::string prefix;
    std::string suffix;
    int numberWidth = 0;
    bool zeroPadded = false;
};

// Reads the -o value: "-", a .rgba path, or a .png path with at most one %d (%4d, %04d; %%
// for a literal percent sign). Throws UsageError for anything else.
OutputTarget parseOutputTarget(std::string_view path);

// The file of frame `frame` (counted from 0) of a sequence; the path itself otherwise.
std::string frameFileName(const OutputTarget& target, std::int64_t frame);

}  // namespace pattix::cli

// The element's frames, apart from GStreamer: the effect with the element's settings applied,
// rendered by the shared host layer into pooled host images, each put into GStreamer's layout
// in place so that it leaves without a copy. Only standard types cross this header, since the
// host SDK's names (TRUE, FALSE, BOOL) and GLib's cannot meet in one file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "apps/host/parameter_choice.hpp"

namespace sdk::host {
class HostImage;
}

namespace pattix::gst {

class ImagePool;

// What the element's properties ask for, as the user set them.
struct SourceSettings {
    host::ParameterChoice parameters;
    int field = 0;       // the host's field indicator: 0 whole frame, 1 first, 2 second
    std::string region;  // "X,Y,W,H", or empty for the whole frame
};

struct StreamFormat {
    int width = 0;
    int height = 0;
    int depth = 8;  // 8: RGBA, 16: RGBA64_LE
};

// A finished frame; its memory goes back to the source's pool when the frame is dropped.
class Frame {
public:
    Frame() = default;
    Frame(Frame&& other) noexcept;
    Frame& operator=(Frame&& other) noexcept;
    ~Frame();

    explicit operator bool() const { return m_Image != nullptr; }
    std::byte* data() const;
    std::size_t size() const;

private:
    friend class FrameSource;
    Frame(sdk::host::HostImage* image, std::shared_ptr<ImagePool> pool);

    sdk::host::HostImage* m_Image = nullptr;  // one reference, owned
    std::shared_ptr<ImagePool> m_Pool;
};

class FrameSource {
public:
    // Creates the effect in the module every element shares. Throws RunFailure when the module
    // cannot be loaded or refuses.
    FrameSource();
    ~FrameSource();

    // Takes `settings` and `format` for the frames that follow. Throws UsageError or
    // RunFailure naming what cannot be done, and then the frames go on as before. Answers a
    // warning for the user, or an empty text.
    std::string configure(const StreamFormat& format, const SourceSettings& settings);
    bool configured() const;

    // Frame `frame` in GStreamer's layout: top row first, 16-bit values as rgba64le. Empty
    // when a stop was requested during the render. Throws RunFailure when the render fails.
    Frame render(std::int64_t frame);

    // From any thread: a render under way ends early, and renders stay empty until resume().
    void requestStop();
    void resume();

private:
    struct State;
    std::unique_ptr<State> m_State;
};

struct PatternName {
    std::string shortName;
    std::string ownName;  // as the module's string table gives it
};

// The patterns by value. Without the module the own names are the short names, and `problem`
// says why.
std::vector<PatternName> patternNames(std::string& problem);

}  // namespace pattix::gst

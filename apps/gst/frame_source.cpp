#include "apps/gst/frame_source.hpp"

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "apps/gst/image_pool.hpp"
#include "apps/gst/module_location.hpp"
#include "apps/host/effect_instance.hpp"
#include "apps/host/errors.hpp"
#include "apps/host/fixed_point_conversion.hpp"
#include "apps/host/frame_renderer.hpp"
#include "apps/host/module_session.hpp"
#include "apps/host/pattern_names.hpp"
#include "apps/host/picture_options.hpp"
#include "apps/host/text.hpp"
#include "sdk/host/pixel_formats.hpp"

namespace pattix::gst {
namespace {

// Swaps two rows 64 bytes at a time. The block of each row is held in named locals, which the
// compiler keeps in registers; blocks copied aside through arrays went by way of the stack and
// made this pass three times slower (measured on a 1080 frame), as slow as the render itself.
void swapRows(std::byte* a, std::byte* b, std::size_t bytes) {
    using Lane = std::uint64_t __attribute__((vector_size(16)));
    constexpr std::size_t kLane = sizeof(Lane);
    std::size_t i = 0;
    for (; i + 4 * kLane <= bytes; i += 4 * kLane) {
        Lane a0, a1, a2, a3, b0, b1, b2, b3;
        std::memcpy(&a0, a + i, kLane);
        std::memcpy(&a1, a + i + kLane, kLane);
        std::memcpy(&a2, a + i + 2 * kLane, kLane);
        std::memcpy(&a3, a + i + 3 * kLane, kLane);
        std::memcpy(&b0, b + i, kLane);
        std::memcpy(&b1, b + i + kLane, kLane);
        std::memcpy(&b2, b + i + 2 * kLane, kLane);
        std::memcpy(&b3, b + i + 3 * kLane, kLane);
        std::memcpy(a + i, &b0, kLane);
        std::memcpy(a + i + kLane, &b1, kLane);
        std::memcpy(a + i + 2 * kLane, &b2, kLane);
        std::memcpy(a + i + 3 * kLane, &b3, kLane);
        std::memcpy(b + i, &a0, kLane);
        std::memcpy(b + i + kLane, &a1, kLane);
        std::memcpy(b + i + 2 * kLane, &a2, kLane);
        std::memcpy(b + i + 3 * kLane, &a3, kLane);
    }
    for (; i < bytes; ++i) std::swap(a[i], b[i]);
}

// The stream carries the top row first, and the rgba64le values pattix writes: 16-bit 2.14
// values are turned into those in place, and a buffer that stores the bottom row first has its
// rows swapped end for end.
void toStreamLayout(sdk::host::HostImage& image) {
    std::byte* const data = image.data();
    if (image.format() == MFIF_RGBA_S2_14) {
        host::convertFixedToUnsigned16<std::endian::little>(
            reinterpret_cast<const std::int16_t*>(data), reinterpret_cast<std::uint16_t*>(data),
            image.sizeBytes() / sizeof(std::int16_t));
    }
    const int height = image.height();
    if (image.row(height - 1) == data) return;
    const std::size_t rowBytes = image.rowBytes();
    for (int row = 0, mirror = height - 1; row < mirror; ++row, --mirror) {
        swapRows(image.row(row), image.row(mirror), rowBytes);
    }
}

}  // namespace

Frame::Frame(sdk::host::HostImage* image, std::shared_ptr<ImagePool> pool)
    : m_Image(image), m_Pool(std::move(pool)) {}

Frame::Frame(Frame&& other) noexcept
    : m_Image(std::exchange(other.m_Image, nullptr)), m_Pool(std::move(other.m_Pool)) {}

Frame& Frame::operator=(Frame&& other) noexcept {
    Frame old(std::move(*this));
    m_Image = std::exchange(other.m_Image, nullptr);
    m_Pool = std::move(other.m_Pool);
    return *this;
}

Frame::~Frame() {
    if (m_Image != nullptr) m_Pool->giveBack(host::ComPtr<sdk::host::HostImage>(m_Image));
}

std::byte* Frame::data() const {
    return m_Image->data();
}
std::size_t Frame::size() const {
    return m_Image->sizeBytes();
}

struct FrameSource::State {
    std::shared_ptr<host::ModuleSession> session = sharedModule();
    sdk::host::HostExecutionContext context;
    host::EffectInstance effect{session->createEffect()};
    std::unique_ptr<host::FrameRenderer> renderer;
    std::shared_ptr<ImagePool> pool;
    // The render may leave pixels untouched (a region, one field, a pattern value outside
    // 0-8): an image used before is cleared again, since its last frame was turned in place
    // and may have been written to downstream.
    bool partialDraw = false;
};

FrameSource::FrameSource() : m_State(std::make_unique<State>()) {}
FrameSource::~FrameSource() = default;

bool FrameSource::configured() const {
    return m_State->renderer != nullptr;
}
void FrameSource::requestStop() {
    m_State->context.requestStop();
}
void FrameSource::resume() {
    m_State->context.reset();
}

std::string FrameSource::configure(const StreamFormat& format, const SourceSettings& settings) {
    State& state = *m_State;
    host::PictureOptions picture;
    picture.size = {format.width, format.height};
    picture.depth = format.depth;
    picture.field = settings.field;
    if (!settings.region.empty()) picture.region = host::parseRegion(settings.region);
    const host::RenderSettings render = host::renderSettings(picture);

    picture.setProjectFrame();
    state.effect.apply(settings.parameters);
    auto renderer = std::make_unique<host::FrameRenderer>(state.effect, render, state.context);
    state.pool = ImagePool::create(*renderer);
    state.renderer = std::move(renderer);
    const LONG pattern = state.effect.value(PARAM_PATTERN);
    const bool knownPattern = pattern >= 0 && pattern < kPatternCount;
    state.partialDraw =
        render.region.has_value() || render.field != DS_FIELD_FRAME || !knownPattern;
    if (knownPattern) return {};
    const std::string& preset = settings.parameters.presetPath;
    return "Pattern " + std::to_string(pattern) +
           (preset.empty() ? "" : " (from preset " + host::quote(preset) + ")") +
           " is none of the nine patterns (0-8); it is drawn as the module draws such a value";
}

Frame FrameSource::render(std::int64_t frame) {
    State& state = *m_State;
    auto [image, used] = state.pool->take();
    if (used && state.partialDraw) {
        std::memset(image->data(), 0, image->sizeBytes());
    }
    if (!state.renderer->render(frame, *image)) {
        state.pool->giveBack(std::move(image));
        return {};
    }
    toStreamLayout(*image);
    return Frame(image.release(), state.pool);
}

std::vector<PatternName> patternNames(std::string& problem) {
    std::vector<std::string> ownNames;
    try {
        ownNames = sharedModule()->patternNames();
    } catch (const std::exception& failure) {
        problem = failure.what();
    }
    std::vector<PatternName> names;
    for (std::size_t value = 0; value < host::kPatternShortNames.size(); ++value) {
        const std::string shortName(host::kPatternShortNames[value]);
        const bool named = value < ownNames.size() && !ownNames[value].empty();
        names.push_back({shortName, named ? ownNames[value] : shortName});
    }
    return names;
}

}  // namespace pattix::gst

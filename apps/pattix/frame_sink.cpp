#include "apps/pattix/frame_sink.hpp"

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "apps/host/text.hpp"
#include "apps/pattix/png_frame_writer.hpp"
#include "apps/pattix/raw_frame_writer.hpp"
#include "apps/pattix/staged_file.hpp"

namespace pattix::cli {
namespace {

// Where a file went, for the closing message: the full path, so it can be found.
std::string shown(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

class RawStreamSink final : public FrameSink {
public:
    RawStreamSink(const OutputTarget& target, const sdk::host::HostImage& image)
        : m_File(target.kind == OutputKind::RawFile
                     ? std::optional<StagedFile>(std::in_place, target.path)
                     : std::nullopt),
          m_Writer(m_File ? m_File->fd() : STDOUT_FILENO,
                   m_File ? host::quote(target.path) : std::string("to standard output"), image) {}

    void frame(std::int64_t) override { m_Writer.write(); }

    std::string finish() override {
        if (!m_File) return {};
        m_File->commit();
        return shown(m_File->target());
    }

private:
    std::optional<StagedFile> m_File;
    RawFrameWriter m_Writer;
};

class PngSink final : public FrameSink {
public:
    PngSink(const OutputTarget& target, const sdk::host::HostImage& image, std::int64_t frameCount)
        : m_Target(target), m_Image(image), m_FrameCount(frameCount) {
        m_File.emplace(frameFileName(m_Target, 0));
    }

    void frame(std::int64_t frame) override {
        const bool sequence = m_Target.kind == OutputKind::PngSequence;
        // A single file holds the last frame; the others would only be overwritten.
        if (!sequence && frame != m_FrameCount - 1) return;
        if (!m_File) m_File.emplace(frameFileName(m_Target, frame));
        writePng(m_File->fd(), host::quote(m_File->target()), m_Image);
        m_File->commit();
        m_File.reset();
        m_Written = frame + 1;
    }

    std::string finish() override {
        if (m_Target.kind != OutputKind::PngSequence || m_Written == 1) {
            return shown(frameFileName(m_Target, m_Written - 1));
        }
        return shown(frameFileName(m_Target, 0)) + " to " +
               shown(frameFileName(m_Target, m_Written - 1));
    }

private:
    OutputTarget m_Target;
    const sdk::host::HostImage& m_Image;
    std::int64_t m_FrameCount;
    std::optional<StagedFile> m_File;
    std::int64_t m_Written = 0;
};

}  // namespace

std::unique_ptr<FrameSink> openFrameSink(const OutputTarget& target,
                                         const sdk::host::HostImage& image,
                                         std::int64_t frameCount) {
    if (target.kind == OutputKind::PngFile || target.kind == OutputKind::PngSequence) {
        return std::make_unique<PngSink>(target, image, frameCount);
    }
    return std::make_unique<RawStreamSink>(target, image);
}

}  // namespace pattix::cli

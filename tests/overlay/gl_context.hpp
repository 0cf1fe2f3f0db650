// An offscreen OpenGL context for drawing tests: EGL on Mesa's surfaceless platform with a
// pbuffer and the llvmpipe software renderer, so it needs no display and no GPU, and draws the
// same pixels on every machine.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace pattix::test {

struct Rgb {
    std::uint8_t r, g, b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class OffscreenContext {
public:
    // Made current, with overlay units mapped one to one onto pixels: (0, 0) is the lower left
    // corner of pixel (0, 0).
    OffscreenContext(int width, int height);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    bool ok() const { return m_Error.empty(); }
    const std::string& error() const { return m_Error; }
    int width() const { return m_nWidth; }
    void makeCurrent();
    void releaseCurrent();
    void clear(Rgb colour);
    std::vector<Rgb> readAll() const;  // row by row from the bottom
    int countDifferent(Rgb background) const {
        const auto pixels = readAll();
        return static_cast<int>(pixels.size() -
                                std::count(pixels.begin(), pixels.end(), background));
    }

private:
    int m_nWidth, m_nHeight;
    void *m_Display = nullptr, *m_Surface = nullptr, *m_Context = nullptr;
    std::string m_Error;  // after the handles: made while they are opened
};

}  // namespace pattix::test

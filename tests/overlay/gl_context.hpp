// An offscreen OpenGL context for drawing tests: EGL on Mesa's surfaceless platform with a
// pbuffer surface and the llvmpipe software renderer, so it needs no display and no GPU, and
// draws the same pixels on every machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pattix::test {

struct Rgb {
    std::uint8_t r;
    std::uint8_t g;
    std::uint8_t b;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class OffscreenContext {
public:
    // Creates the context and makes it current, with a viewport and an orthographic
    // projection that maps overlay units one to one onto pixels: (0, 0) is the lower left
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
    // Every pixel, row by row from the bottom.
    std::vector<Rgb> readAll() const;
    int countDifferent(Rgb background) const;

private:
    int m_nWidth;
    int m_nHeight;
    void* m_Display = nullptr;
    void* m_Surface = nullptr;
    void* m_Context = nullptr;
    std::string m_Error;  // after the handles: made while they are opened
};

}  // namespace pattix::test

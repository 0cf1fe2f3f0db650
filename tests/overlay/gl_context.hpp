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

    bool ok() const { return m_bOk; }
    const std::string& error() const { return m_Error; }
    // The GL renderer's name, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
    std::string renderer() const;
    int width() const { return m_nWidth; }
    int height() const { return m_nHeight; }

    void makeCurrent();
    void releaseCurrent();

    // Clears to a colour given in bytes.
    void clear(Rgb colour);
    // Pixel (x, y), y counting from the bottom row.
    Rgb pixel(int x, int y) const;
    std::vector<Rgb> readAll() const;
    // Pixels that differ from `background`.
    int countDifferent(Rgb background) const;

  private:
    int m_nWidth;
    int m_nHeight;
    bool m_bOk = false;
    std::string m_Error;
    void* m_Display = nullptr;
    void* m_Surface = nullptr;
    void* m_Context = nullptr;
};

}  // namespace pattix::test

#include "tests/overlay/gl_context.hpp"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>

namespace pattix::test {
namespace {

// One display for the whole test program, initialised on first use and never terminated: a
// terminated display unloads the driver, and leak reports would lose its frames.
struct SharedDisplay {
    EGLDisplay display = EGL_NO_DISPLAY;
    std::string error;
};

const SharedDisplay& sharedDisplay() {
    static const SharedDisplay shared = [] {
        SharedDisplay d;
        // The software renderer draws the same pixels on every machine, GPU or not.
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay == nullptr) {
            d.error = "eglGetPlatformDisplayEXT is missing";
            return d;
        }
        d.display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (d.display == EGL_NO_DISPLAY) {
            d.error = "eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA) failed";
        } else if (eglInitialize(d.display, nullptr, nullptr) != EGL_TRUE) {
            d.error = "eglInitialize on the surfaceless platform failed";
            d.display = EGL_NO_DISPLAY;
        }
        return d;
    }();
    return shared;
}

std::string eglFailure(const char* step) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04x)", step, eglGetError());
    return text;
}

}  // namespace

OffscreenContext::OffscreenContext(int width, int height) : m_nWidth(width), m_nHeight(height) {
    const SharedDisplay& shared = sharedDisplay();
    if (shared.display == EGL_NO_DISPLAY) {
        m_Error = shared.error;
        return;
    }
    EGLDisplay display = shared.display;
    m_Display = display;
    // clang-format off
    const EGLint configAttributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_NONE};
    // clang-format on
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (eglChooseConfig(display, configAttributes, &config, 1, &configs) != EGL_TRUE ||
        configs < 1) {
        m_Error = eglFailure("eglChooseConfig");
        return;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    m_Surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (m_Surface == EGL_NO_SURFACE) {
        m_Error = eglFailure("eglCreatePbufferSurface");
        m_Surface = nullptr;
        return;
    }
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        m_Error = eglFailure("eglBindAPI(EGL_OPENGL_API)");
        return;
    }
    // No attributes: a compatibility-profile context, with the fixed-function pipeline.
    m_Context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (m_Context == EGL_NO_CONTEXT) {
        m_Error = eglFailure("eglCreateContext");
        m_Context = nullptr;
        return;
    }
    if (eglMakeCurrent(display, m_Surface, m_Surface, m_Context) != EGL_TRUE) {
        m_Error = eglFailure("eglMakeCurrent");
        return;
    }
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -100.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    m_bOk = true;
}

OffscreenContext::~OffscreenContext() {
    if (m_Display == nullptr)
        return;
    eglMakeCurrent(m_Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (m_Context != nullptr)
        eglDestroyContext(m_Display, m_Context);
    if (m_Surface != nullptr)
        eglDestroySurface(m_Display, m_Surface);
}

std::string OffscreenContext::renderer() const {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return name != nullptr ? name : "";
}

void OffscreenContext::makeCurrent() {
    eglMakeCurrent(m_Display, m_Surface, m_Surface, m_Context);
}

void OffscreenContext::releaseCurrent() {
    eglMakeCurrent(m_Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void OffscreenContext::clear(Rgb colour) {
    glClearColor(colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

Rgb OffscreenContext::pixel(int x, int y) const {
    GLubyte rgba[4] = {};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

std::vector<Rgb> OffscreenContext::readAll() const {
    std::vector<GLubyte> rgba(static_cast<std::size_t>(m_nWidth) * m_nHeight * 4);
    glReadPixels(0, 0, m_nWidth, m_nHeight, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    std::vector<Rgb> pixels(static_cast<std::size_t>(m_nWidth) * m_nHeight);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = {rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]};
    return pixels;
}

int OffscreenContext::countDifferent(Rgb background) const {
    int count = 0;
    for (const Rgb& p : readAll()) {
        if (!(p == background))
            ++count;
    }
    return count;
}

}  // namespace pattix::test

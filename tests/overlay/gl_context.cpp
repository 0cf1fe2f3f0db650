#include "tests/overlay/gl_context.hpp"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace pattix::test {
namespace {

// One display for the whole test program, initialised on first use and never terminated: a
// terminated display unloads the driver, and leak reports would lose its frames.
EGLDisplay sharedDisplay() {
    static const EGLDisplay display = [] {
        // The software renderer draws the same pixels on every machine, GPU or not.
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay == nullptr) return EGL_NO_DISPLAY;
        EGLDisplay d =
            getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        return eglInitialize(d, nullptr, nullptr) == EGL_TRUE ? d : EGL_NO_DISPLAY;
    }();
    return display;
}

std::string failure(const char* step) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04x)", step, eglGetError());
    return text;
}

// Makes a pbuffer surface and a context on the shared display current; answers what failed.
std::string open(int width, int height, EGLDisplay& display, EGLSurface& surface,
                 EGLContext& context) {
    display = sharedDisplay();
    if (display == EGL_NO_DISPLAY) return failure("Opening Mesa's surfaceless EGL display");
    // clang-format off
    const EGLint configAttributes[] = {
        EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
        EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
        EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
        EGL_NONE};
    // clang-format on
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (eglChooseConfig(display, configAttributes, &config, 1, &configs) != EGL_TRUE || configs < 1)
        return failure("eglChooseConfig");
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface == EGL_NO_SURFACE) return failure("eglCreatePbufferSurface");
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) return failure("eglBindAPI(EGL_OPENGL_API)");
    // No attributes: a compatibility-profile context, with the fixed-function pipeline.
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) return failure("eglCreateContext");
    if (eglMakeCurrent(display, surface, surface, context) != EGL_TRUE)
        return failure("eglMakeCurrent");
    return {};
}

}  // namespace

OffscreenContext::OffscreenContext(int width, int height)
    : m_nWidth(width),
      m_nHeight(height),
      m_Error(open(width, height, m_Display, m_Surface, m_Context)) {
    if (!ok()) return;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -100.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
}

OffscreenContext::~OffscreenContext() {
    if (m_Display == EGL_NO_DISPLAY) return;
    releaseCurrent();
    if (m_Context != EGL_NO_CONTEXT) eglDestroyContext(m_Display, m_Context);
    if (m_Surface != EGL_NO_SURFACE) eglDestroySurface(m_Display, m_Surface);
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

std::vector<Rgb> OffscreenContext::readAll() const {
    static_assert(sizeof(Rgb) == 3, "read back as packed GL_RGB bytes");
    std::vector<Rgb> pixels(static_cast<std::size_t>(m_nWidth) * m_nHeight);
    glReadPixels(0, 0, m_nWidth, m_nHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

int OffscreenContext::countDifferent(Rgb background) const {
    const std::vector<Rgb> pixels = readAll();
    return static_cast<int>(
        std::count_if(pixels.begin(), pixels.end(), [&](Rgb p) { return !(p == background); }));
}

}  // namespace pattix::test

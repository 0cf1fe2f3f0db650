#include "tests/overlay/gl_context.hpp"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdlib>

namespace pattix::test {
namespace {

// One display for the whole program, never terminated: terminating it unloads the driver, and
// leak reports would lose its frames.
EGLDisplay sharedDisplay() {
    static const EGLDisplay display = [] {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        const auto getDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        EGLDisplay d = getDisplay != nullptr
                           ? getDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                           : EGL_NO_DISPLAY;
        return eglInitialize(d, nullptr, nullptr) == EGL_TRUE ? d : EGL_NO_DISPLAY;
    }();
    return display;
}

// Makes a pbuffer surface and a compatibility-profile context current; answers what failed.
std::string open(int width, int height, EGLDisplay& display, EGLSurface& surface,
                 EGLContext& context) {
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_ALPHA_SIZE,
                                       8,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_NONE};
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if ((display = sharedDisplay()) == EGL_NO_DISPLAY) return "no surfaceless EGL display";
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1)
        return "no EGL config";
    if ((surface = eglCreatePbufferSurface(display, config, surfaceAttributes)) == EGL_NO_SURFACE ||
        !eglBindAPI(EGL_OPENGL_API) ||
        (context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr)) == EGL_NO_CONTEXT ||
        !eglMakeCurrent(display, surface, surface, context))
        return "EGL error " + std::to_string(eglGetError());
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
    glOrtho(0.0, width, 0.0, height, -100.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
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
    std::vector<Rgb> pixels(static_cast<std::size_t>(m_nWidth) * m_nHeight);
    glReadPixels(0, 0, m_nWidth, m_nHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

}  // namespace pattix::test

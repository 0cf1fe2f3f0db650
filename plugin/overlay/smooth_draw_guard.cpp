#include "plugin/overlay/smooth_draw_guard.hpp"

#include <GL/gl.h>

namespace pattix {
namespace {

constexpr GLenum kSmoothModes[3] = {GL_POINT_SMOOTH, GL_LINE_SMOOTH, GL_POLYGON_SMOOTH};

}  // namespace

SmoothDrawGuard::SmoothDrawGuard(unsigned mask) : m_nMask(mask) {
    m_bBlendWasOn = glIsEnabled(GL_BLEND) == GL_TRUE;
    glGetIntegerv(GL_BLEND_SRC, &m_nBlendSource);
    glGetIntegerv(GL_BLEND_DST, &m_nBlendDestination);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int i = 0; i < 3; ++i) {
        if ((m_nMask & (1u << i)) == 0) continue;
        m_bWasOn[i] = glIsEnabled(kSmoothModes[i]) == GL_TRUE;
        if (!m_bWasOn[i]) glEnable(kSmoothModes[i]);
    }
}

SmoothDrawGuard::~SmoothDrawGuard() {
    if (!m_bActive || m_nMask == 0) return;
    glBlendFunc(static_cast<GLenum>(m_nBlendSource), static_cast<GLenum>(m_nBlendDestination));
    if (!m_bBlendWasOn) glDisable(GL_BLEND);
    for (int i = 0; i < 3; ++i) {
        if ((m_nMask & (1u << i)) != 0 && !m_bWasOn[i]) glDisable(kSmoothModes[i]);
    }
    m_bActive = false;
}

}  // namespace pattix

#include "apps/pattix-view/picture_view.hpp"

#include <algorithm>

namespace pattix::view {

ViewGeometry::ViewGeometry(host::FrameSize picture, host::FrameSize world)
    : m_WorldWidth(world.width),
      m_WorldHeight(world.height),
      m_RowHeight(static_cast<double>(world.height) / picture.height) {
    fit();
}

void ViewGeometry::setViewport(int width, int height) {
    m_ViewportWidth = std::max(width, 1);
    m_ViewportHeight = std::max(height, 1);
    if (m_Fitted) fit();
}

void ViewGeometry::fit() {
    m_Scale = std::max(m_WorldWidth / m_ViewportWidth, m_WorldHeight / m_ViewportHeight);
    m_CentreX = m_WorldWidth / 2;
    m_CentreY = m_WorldHeight / 2;
    m_Fitted = true;
}

void ViewGeometry::actualPixels() {
    m_Scale = m_RowHeight;
    m_Fitted = false;
}

void ViewGeometry::zoomAbout(double factor, double pixelX, double pixelY) {
    // Far enough either way to see one pixel over the whole viewport or the whole picture
    // as a few pixels; beyond that nothing more can be seen.
    const double scale =
        std::clamp(m_Scale / factor, m_RowHeight / 256, std::max(m_WorldWidth, m_WorldHeight));
    const double dx = pixelX - m_ViewportWidth / 2.0, dy = m_ViewportHeight / 2.0 - pixelY;
    m_CentreX += dx * (m_Scale - scale);
    m_CentreY += dy * (m_Scale - scale);
    m_Scale = scale;
    m_Fitted = false;
}

void ViewGeometry::pan(double dx, double dy) {
    m_CentreX -= dx * m_Scale;
    m_CentreY += dy * m_Scale;
    m_Fitted = false;
}

VWSurfaceInfo ViewGeometry::surface() const {
    const double width = m_ViewportWidth * m_Scale, height = m_ViewportHeight * m_Scale;
    return {m_ViewportWidth, m_ViewportHeight, m_CentreX - width / 2, m_CentreY - height / 2, width,
            height};
}

double ViewGeometry::zoomPercent() const {
    return 100.0 * m_RowHeight / m_Scale;
}

PictureTexture::~PictureTexture() {
    release();
}

void PictureTexture::release() {
    if (m_Texture != 0) glDeleteTextures(1, &m_Texture);
    m_Texture = 0;
    m_Width = m_Height = 0;
}

void PictureTexture::upload(const DisplayFrame& frame) {
    if (m_Texture == 0) glGenTextures(1, &m_Texture);
    glBindTexture(GL_TEXTURE_2D, m_Texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (frame.width != m_Width || frame.height != m_Height) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, frame.width, frame.height, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, frame.rgba.data());
        m_Width = frame.width;
        m_Height = frame.height;
    } else {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, frame.width, frame.height, GL_RGBA,
                        GL_UNSIGNED_BYTE, frame.rgba.data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

void PictureTexture::draw(const VWSurfaceInfo& view, double worldWidth, double worldHeight) const {
    if (m_Texture == 0) return;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(view.left, view.left + view.width, view.bottom, view.bottom + view.height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, m_Texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Magnified pixels stay square blocks, so single pixels can be inspected at 1:1 and above.
    const bool magnified = view.width / view.viewportWidth < worldHeight / m_Height;
    const GLint filter = magnified ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glBegin(GL_QUADS);
    glTexCoord2d(0, 0);
    glVertex2d(0, 0);
    glTexCoord2d(1, 0);
    glVertex2d(worldWidth, 0);
    glTexCoord2d(1, 1);
    glVertex2d(worldWidth, worldHeight);
    glTexCoord2d(0, 1);
    glVertex2d(0, worldHeight);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopAttrib();

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace pattix::view

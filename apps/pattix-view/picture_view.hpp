// The viewer's picture: which part of the frame's world rectangle the viewport shows (fit, 1:1,
// zoom about the pointer, pan) and the OpenGL texture that shows it.
#pragma once

#include <GL/gl.h>

#include "apps/host/value_parsers.hpp"
#include "apps/pattix-view/display_frame.hpp"
#include "sdk/host/viewer.hpp"

namespace pattix::view {

// World units are the same size along both axes, so a picture whose world size has another
// shape than its pixel size shows at its world shape. Pixel positions count from the
// viewport's top-left corner.
class ViewGeometry {
public:
    ViewGeometry(host::FrameSize picture, host::FrameSize world);

    // A new viewport size keeps the point at its centre; a fitted view fits again.
    void setViewport(int width, int height);
    // The whole picture, centred.
    void fit();
    // One picture row per screen pixel, keeping the centre.
    void actualPixels();
    // Scales by `factor` (above 1 magnifies), keeping the world point under the pixel in place.
    void zoomAbout(double factor, double pixelX, double pixelY);
    // Moves the picture with the pointer by that many pixels.
    void pan(double dx, double dy);

    VWSurfaceInfo surface() const;
    // Screen pixels per picture row, in percent.
    double zoomPercent() const;
    bool fitted() const { return m_Fitted; }

private:
    double m_WorldWidth;
    double m_WorldHeight;
    double m_RowHeight;  // world units per picture row
    int m_ViewportWidth = 1;
    int m_ViewportHeight = 1;
    double m_Scale = 1.0;  // world units per screen pixel
    double m_CentreX = 0.0;
    double m_CentreY = 0.0;
    bool m_Fitted = true;
};

// The picture as a texture, drawn over its world rectangle.
class PictureTexture {
public:
    PictureTexture() = default;
    PictureTexture(const PictureTexture&) = delete;
    PictureTexture& operator=(const PictureTexture&) = delete;
    ~PictureTexture();

    void upload(const DisplayFrame& frame);
    // Frees the texture while the context is still current.
    void release();
    bool empty() const { return m_Texture == 0; }
    // Draws into the current viewport: the picture over (0, 0)-(width, height) world units,
    // with the view's projection; the matrices are left as they were.
    void draw(const VWSurfaceInfo& view, double worldWidth, double worldHeight) const;

private:
    GLuint m_Texture = 0;
    int m_Width = 0;
    int m_Height = 0;
};

}  // namespace pattix::view

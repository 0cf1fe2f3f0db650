// The overlay's immediate-mode OpenGL drawing (the KtTDraw mix-in), its shared colours, and the
// module-wide resources it draws with: one GLU quadric, one current range of font display lists
// and a stack of 2D transforms. All of it runs on the viewer thread inside a current context.
#pragma once

#include <cstddef>

#include "plugin/overlay/affine2d.hpp"
#include "sdk/platform/font.hpp"

namespace pattix {

struct OverlayColour {
    float r;
    float g;
    float b;
};

inline constexpr OverlayColour OverlayGrey{0.6f, 0.6f, 0.6f};
inline constexpr OverlayColour OverlayShadow{0.1f, 0.1f, 0.1f};
inline constexpr OverlayColour OverlayWhite{1.0f, 1.0f, 1.0f};
inline constexpr OverlayColour OverlayText{1.0f, 1.0f, 0.0f};

// Four pixels on, four off; the second colour of a dashed line fills the gaps.
inline constexpr unsigned short kDashPattern = 0x0F0F;
inline constexpr unsigned short kDashComplement = 0xF0F0;

// The characters the overlay font holds: 32 to 127.
inline constexpr unsigned int kFirstFontCharacter = 32;
inline constexpr unsigned int kFontListCount = 96;

inline constexpr int kTransformStackSize = 32;

// Gives its derived classes the drawing operations; it has no state of its own.
class KtTDraw {
public:
    // Text.
    static unsigned int buildFontLists(HDC deviceContext);
    static void deleteFontLists(unsigned int first);
    static void setFontLists(unsigned int first);
    static unsigned int fontLists();
    static void drawText(const char* text, std::size_t length, float x, float y);
    static void drawLabelText(const char* text, float x, float y);

    // Shapes, in the current overlay units.
    static void setColour(const OverlayColour& colour);
    static void drawRect(float x1, float y1, float x2, float y2);
    static void drawLine(float x1, float y1, float x2, float y2, const OverlayColour& colour);
    static void drawCircle(float x, float y, float r);
    static void drawDisk(float x, float y, float r);
    // Degrees, counterclockwise from the positive x axis.
    static void drawArc(float x, float y, float r, float fromAngle, float toAngle);
    static void drawDashedLine(float x1, float y1, float x2, float y2, const OverlayColour& colourA,
                               const OverlayColour& colourB);
    static void drawDashedArc(float x, float y, float r, float fromAngle, float toAngle,
                              const OverlayColour& colourA, const OverlayColour& colourB);
    static void drawDiskOutlined(float x, float y, float r, const OverlayColour& fillColour,
                                 const OverlayColour& outlineColour);
    // The tip lies at (x, y) and points along (dx, dy).
    static void drawArrowHead(float x, float y, float dx, float dy, float length, float halfWidth,
                              const OverlayColour& fillColour, const OverlayColour& outlineColour);

    // The transform stack: 32 entries, entry 0 the identity. A push at the top and a pop at
    // the bottom change nothing, so unbalanced use cannot leave the array.
    static Affine2D& pushAffine();
    static Affine2D& popAffine();
    static Affine2D& concatAffine(const Affine2D& m);  // top := m x top
    static void applyAffine();
    static Affine2D& topAffine();
    static int affineDepth();  // index of the top entry, 0 to 31
};

// Frees the shared quadric; the next disk or arc creates it again. Called at module detach.
void releaseQuadric();
// Whether the shared quadric exists now.
bool quadricExists();

}  // namespace pattix

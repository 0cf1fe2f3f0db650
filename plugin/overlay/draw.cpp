#include "plugin/overlay/draw.hpp"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

namespace pattix {
namespace {

// Module-wide drawing state, reached only from the viewer thread.
struct OverlayDrawState {
    GLUquadric* quadric = nullptr;
    unsigned int fontLists = 0;
    Affine2D transforms[kTransformStackSize];
    int top = 0;
    GLint savedStipplePattern = 0xFFFF;
    GLint savedStippleRepeat = 1;
};

OverlayDrawState g_draw;

// The 18-pixel bold face the viewer shows its labels in.
constexpr int kFontHeight = 18;
constexpr int kFontWeight = 700;
constexpr char kFontFace[] = "helv";

constexpr float kPi = 3.1415927f;

GLUquadric* quadric() {
    if (g_draw.quadric == nullptr) {
        g_draw.quadric = gluNewQuadric();
        if (g_draw.quadric != nullptr) gluQuadricNormals(g_draw.quadric, GLU_NONE);
    }
    return g_draw.quadric;
}

void saveStipple() {
    glGetIntegerv(GL_LINE_STIPPLE_PATTERN, &g_draw.savedStipplePattern);
    glGetIntegerv(GL_LINE_STIPPLE_REPEAT, &g_draw.savedStippleRepeat);
}

void restoreStipple() {
    glLineStipple(g_draw.savedStippleRepeat, static_cast<GLushort>(g_draw.savedStipplePattern));
}

void segment(float x1, float y1, float x2, float y2) {
    glBegin(GL_LINE_STRIP);
    glVertex2f(x1, y1);
    glVertex2f(x2, y2);
    glEnd();
}

}  // namespace

void releaseQuadric() {
    if (g_draw.quadric == nullptr) return;
    gluDeleteQuadric(g_draw.quadric);
    g_draw.quadric = nullptr;
}

bool quadricExists() {
    return g_draw.quadric != nullptr;
}

unsigned int KtTDraw::buildFontLists(HDC deviceContext) {
    if (deviceContext == nullptr) return 0;
    const HFONT font =
        CreateFontA(kFontHeight, 0, 0, 0, kFontWeight, 0, 0, 0, 0, 0, 0, 0, 0, kFontFace);
    if (font == nullptr) return 0;
    const HGDIOBJ previous = SelectObject(deviceContext, font);
    const unsigned int first = glGenLists(kFontListCount);
    // The range stays reserved even when the bitmaps cannot be made: its lists are then empty.
    if (first != 0) wglUseFontBitmapsW(deviceContext, kFirstFontCharacter, kFontListCount, first);
    SelectObject(deviceContext, previous);
    DeleteObject(font);
    return first;
}

void KtTDraw::deleteFontLists(unsigned int first) {
    if (first == 0) return;
    glDeleteLists(first, kFontListCount);
    // Text must not call into lists that are gone, or into a range reusing their names.
    if (g_draw.fontLists == first) g_draw.fontLists = 0;
}

void KtTDraw::setFontLists(unsigned int first) {
    g_draw.fontLists = first;
}

unsigned int KtTDraw::fontLists() {
    return g_draw.fontLists;
}

void KtTDraw::drawText(const char* text, std::size_t length, float x, float y) {
    if (g_draw.fontLists == 0 || text == nullptr) return;
    glRasterPos2f(x, y);
    glPushAttrib(GL_LIST_BIT);
    glListBase(g_draw.fontLists - kFirstFontCharacter);
    glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

void KtTDraw::drawLabelText(const char* text, float x, float y) {
    if (text == nullptr) return;
    const std::size_t length = std::strlen(text);
    // The raster colour is taken when the position is set, so the colour goes first.
    setColour(OverlayShadow);
    drawText(text, length, x, y);
    setColour(OverlayText);
    drawText(text, length, x + 1.0f, y + 1.0f);
}

void KtTDraw::setColour(const OverlayColour& colour) {
    glColor3f(colour.r, colour.g, colour.b);
}

void KtTDraw::drawRect(float x1, float y1, float x2, float y2) {
    glRectf(x1, y1, x2, y2);
}

void KtTDraw::drawLine(float x1, float y1, float x2, float y2, const OverlayColour& colour) {
    setColour(colour);
    segment(x1, y1, x2, y2);
}

namespace {

// A ring (inner == outer drawn as lines) or a filled disk about (x, y); r <= 0 draws nothing.
void quadricDisk(float x, float y, double inner, float r, GLenum style) {
    if (!(r > 0.0f)) return;
    GLUquadric* q = quadric();
    if (q == nullptr) return;
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    gluQuadricDrawStyle(q, style);
    gluDisk(q, inner, r, 180, 1);
    glPopMatrix();
}

}  // namespace

void KtTDraw::drawCircle(float x, float y, float r) {
    quadricDisk(x, y, r, r, GLU_LINE);
}

void KtTDraw::drawDisk(float x, float y, float r) {
    quadricDisk(x, y, 0.0, r, GLU_FILL);
}

void KtTDraw::drawArc(float x, float y, float r, float fromAngle, float toAngle) {
    glPushMatrix();
    if (r > 0.0f) {
        if (GLUquadric* q = quadric()) {
            glTranslatef(x, y, 0.0f);
            gluQuadricDrawStyle(q, GLU_LINE);
            gluQuadricNormals(q, GLU_NONE);
            // GLU measures clockwise from the positive y axis.
            const float start = 90.0f - fromAngle;
            const float end = 90.0f - toAngle;
            gluPartialDisk(q, r, r, 360, 1, start, end - start);
        }
    }
    glPopMatrix();
}

void KtTDraw::drawDashedLine(float x1, float y1, float x2, float y2, const OverlayColour& colourA,
                             const OverlayColour& colourB) {
    saveStipple();
    glLineStipple(1, kDashPattern);
    drawLine(x1, y1, x2, y2, colourA);
    glLineStipple(1, kDashComplement);
    drawLine(x1, y1, x2, y2, colourB);
    restoreStipple();
}

void KtTDraw::drawDashedArc(float x, float y, float r, float fromAngle, float toAngle,
                            const OverlayColour& colourA, const OverlayColour& colourB) {
    saveStipple();
    glLineStipple(1, kDashPattern);
    setColour(colourA);
    drawArc(x, y, r, fromAngle, toAngle);
    glLineStipple(1, kDashComplement);
    setColour(colourB);
    drawArc(x, y, r, fromAngle, toAngle);
    restoreStipple();
}

void KtTDraw::drawDiskOutlined(float x, float y, float r, const OverlayColour& fillColour,
                               const OverlayColour& outlineColour) {
    setColour(fillColour);
    drawDisk(x, y, r);
    setColour(outlineColour);
    drawCircle(x, y, r);
}

void KtTDraw::drawArrowHead(float x, float y, float dx, float dy, float length, float halfWidth,
                            const OverlayColour& fillColour, const OverlayColour& outlineColour) {
    glPushMatrix();
    glTranslatef(x, y, 0.0f);
    glRotatef(std::atan2(dy, dx) * 180.0f / kPi, 0.0f, 0.0f, 1.0f);
    setColour(fillColour);
    glBegin(GL_TRIANGLES);
    glVertex2f(-length, halfWidth);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(-length, -halfWidth);
    glEnd();
    setColour(outlineColour);
    glBegin(GL_LINE_LOOP);
    glVertex2f(-length, halfWidth);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(-length, -halfWidth);
    glEnd();
    glPopMatrix();
}

Affine2D& KtTDraw::pushAffine() {
    if (g_draw.top < kTransformStackSize - 1) {
        g_draw.transforms[g_draw.top + 1] = g_draw.transforms[g_draw.top];
        ++g_draw.top;
    }
    return g_draw.transforms[g_draw.top];
}

Affine2D& KtTDraw::popAffine() {
    if (g_draw.top > 0) --g_draw.top;
    return g_draw.transforms[g_draw.top];
}

Affine2D& KtTDraw::concatAffine(const Affine2D& m) {
    Affine2D& top = g_draw.transforms[g_draw.top];
    top.multiply(m, top);
    return top;
}

void KtTDraw::applyAffine() {
    g_draw.transforms[g_draw.top].loadIntoGL();
}

Affine2D& KtTDraw::topAffine() {
    return g_draw.transforms[g_draw.top];
}

int KtTDraw::affineDepth() {
    return g_draw.top;
}

}  // namespace pattix

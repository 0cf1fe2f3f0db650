#include "plugin/overlay/affine2d.hpp"

#include <GL/gl.h>

#include <cmath>

namespace pattix {
namespace {

// 2^-50: below it the matrix counts as singular.
constexpr float kSingularDeterminant = 8.881784197001252e-16f;

}  // namespace

void Affine2D::multiply(const Affine2D& a, const Affine2D& b) {
    Affine2D product;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            product.m[row * 3 + column] = a.m[row * 3] * b.m[column] +
                                          a.m[row * 3 + 1] * b.m[3 + column] +
                                          a.m[row * 3 + 2] * b.m[6 + column];
        }
    }
    *this = product;
}

void Affine2D::rotate(float angle) {
    const float s = std::sin(angle);
    const float c = std::cos(angle);
    Affine2D r;
    r.m[0] = c;
    r.m[1] = s;
    r.m[3] = -s;
    r.m[4] = c;
    multiply(*this, r);
}

void Affine2D::scale(float sx, float sy) {
    Affine2D s;
    s.m[0] = sx;
    s.m[4] = sy;
    multiply(*this, s);
}

void Affine2D::translate(float tx, float ty) {
    Affine2D t;
    t.m[6] = tx;
    t.m[7] = ty;
    multiply(*this, t);
}

void Affine2D::invert() {
    const float* a = m;
    const float det = (a[4] * a[8] - a[5] * a[7]) * a[0] - (a[1] * a[8] - a[2] * a[7]) * a[3] +
                      (a[1] * a[5] - a[2] * a[4]) * a[6];
    if (std::isnan(det) || std::fabs(det) < kSingularDeterminant) {
        *this = identity();
        return;
    }
    // The inverse is the adjugate (transposed cofactors) over the determinant.
    Affine2D inverse;
    inverse.m[0] = (a[4] * a[8] - a[5] * a[7]) / det;
    inverse.m[1] = (a[2] * a[7] - a[1] * a[8]) / det;
    inverse.m[2] = (a[1] * a[5] - a[2] * a[4]) / det;
    inverse.m[3] = (a[5] * a[6] - a[3] * a[8]) / det;
    inverse.m[4] = (a[0] * a[8] - a[2] * a[6]) / det;
    inverse.m[5] = (a[2] * a[3] - a[0] * a[5]) / det;
    inverse.m[6] = (a[3] * a[7] - a[4] * a[6]) / det;
    inverse.m[7] = (a[1] * a[6] - a[0] * a[7]) / det;
    inverse.m[8] = (a[0] * a[4] - a[1] * a[3]) / det;
    *this = inverse;
}

void Affine2D::inverseOf(const Affine2D& source) {
    *this = source;
    invert();
}

void Affine2D::loadIntoGL() const {
    const GLfloat columns[16] = {m[0], m[1], 0.0f, 0.0f, m[3], m[4], 0.0f, 0.0f,
                                 0.0f, 0.0f, 1.0f, 0.0f, m[6], m[7], 0.0f, 1.0f};
    glMultMatrixf(columns);
}

}  // namespace pattix

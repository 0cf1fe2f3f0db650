// The overlay's 2D transform: a 3 x 3 matrix applied to row vectors, [x' y' 1] = [x y 1] x M,
// so that in a product A x B the transform A acts first.
#pragma once

namespace pattix {

struct KtPoint {
    float x = 0.0f;
    float y = 0.0f;
};

struct Affine2D {
    // Row by row: m0 m1 m2 / m3 m4 m5 / m6 m7 m8; m6, m7 hold the translation.
    float m[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};

    static Affine2D identity() { return {}; }

    // M := a x b (a and b may be M itself).
    void multiply(const Affine2D& a, const Affine2D& b);
    // M := M x R, R turning counterclockwise by `angle` radians.
    void rotate(float angle);
    void scale(float sx, float sy);
    void translate(float tx, float ty);
    // Inverse by cofactors; the identity when the determinant is below 2^-50 in size or NaN.
    void invert();
    void inverseOf(const Affine2D& source);
    // glMultMatrixf with the matrix widened to 4 x 4 (z passes through).
    void loadIntoGL() const;

    KtPoint map(KtPoint p) const {
        return {p.x * m[0] + p.y * m[3] + m[6], p.x * m[1] + p.y * m[4] + m[7]};
    }
};

}  // namespace pattix

#include "plugin/overlay/affine2d.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "plugin/overlay/draw.hpp"

namespace pattix {
namespace {

void expectNear(KtPoint actual, KtPoint expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f);
    EXPECT_NEAR(actual.y, expected.y, 1e-4f);
}

void expectIdentity(const Affine2D& a) {
    const Affine2D identity;
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(a.m[i], identity.m[i]) << "m" << i;
}

TEST(Affine2D, OperationsApplyInTheOrderTheyAreGiven) {
    // Scale, then rotate a quarter turn, then translate: (1, 0) -> (2, 0) -> (0, 2) -> (10, 22).
    Affine2D a;
    a.scale(2.0f, 3.0f);
    a.rotate(1.5707964f);
    a.translate(10.0f, 20.0f);
    expectNear(a.map({1.0f, 0.0f}), {10.0f, 22.0f});
    expectNear(a.map({0.0f, 1.0f}), {7.0f, 20.0f});
    EXPECT_EQ(a.m[2], 0.0f);
    EXPECT_EQ(a.m[5], 0.0f);
    EXPECT_EQ(a.m[8], 1.0f);
}

TEST(Affine2D, RotationTurnsCounterclockwise) {
    Affine2D a;
    a.rotate(1.5707964f);
    expectNear(a.map({1.0f, 0.0f}), {0.0f, 1.0f});
}

TEST(Affine2D, MultiplyLetsTheLeftFactorActFirst) {
    Affine2D scale;
    scale.scale(2.0f, 2.0f);
    Affine2D shift;
    shift.translate(5.0f, 0.0f);
    Affine2D product;
    product.multiply(scale, shift);
    expectNear(product.map({1.0f, 1.0f}), {7.0f, 2.0f});
    product.multiply(product, product);  // aliasing both factors
    expectNear(product.map({1.0f, 1.0f}), {19.0f, 4.0f});
}

TEST(Affine2D, InverseUndoesTheTransform) {
    Affine2D a;
    a.scale(0.5f, -4.0f);
    a.rotate(0.3f);
    a.translate(-7.0f, 11.0f);
    Affine2D inverse;
    inverse.inverseOf(a);
    for (KtPoint p : {KtPoint{0, 0}, KtPoint{3, -2}, KtPoint{-100, 45}})
        expectNear(inverse.map(a.map(p)), p);
}

TEST(Affine2D, ANearSingularMatrixInvertsToTheIdentity) {
    Affine2D a;
    a.scale(1e-8f, 1e-8f);  // determinant 1e-16, below 2^-50
    a.translate(3.0f, 4.0f);
    a.invert();
    expectIdentity(a);

    Affine2D flat;
    flat.scale(0.0f, 1.0f);
    flat.invert();
    expectIdentity(flat);

    Affine2D broken;
    broken.m[0] = std::numeric_limits<float>::quiet_NaN();
    broken.invert();
    expectIdentity(broken);
}

TEST(Affine2D, ASmallButRegularMatrixStillInverts) {
    Affine2D a;
    a.scale(1e-7f, 1e-7f);  // determinant 1e-14, above 2^-50
    a.invert();
    EXPECT_NEAR(a.m[0], 1e7f, 1.0f);
    EXPECT_NEAR(a.m[4], 1e7f, 1.0f);
}

TEST(TransformStack, Holds32EntriesAndNeverLeavesThem) {
    while (KtTDraw::affineDepth() > 0)
        KtTDraw::popAffine();
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    for (int i = 0; i < 33; ++i)
        KtTDraw::pushAffine();
    EXPECT_EQ(KtTDraw::affineDepth(), 31);
    for (int i = 0; i < 40; ++i)
        KtTDraw::popAffine();
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    expectIdentity(KtTDraw::topAffine());
}

TEST(TransformStack, APushCopiesTheEntryBelowAndConcatActsInTheLocalFrame) {
    while (KtTDraw::affineDepth() > 0)
        KtTDraw::popAffine();
    Affine2D shift;
    shift.translate(10.0f, 0.0f);
    Affine2D scale;
    scale.scale(2.0f, 2.0f);
    KtTDraw::pushAffine();
    KtTDraw::concatAffine(shift);
    KtTDraw::pushAffine();
    expectNear(KtTDraw::topAffine().map({1, 1}), {11, 1});
    KtTDraw::concatAffine(scale);  // the scale acts first, inside the shifted frame
    expectNear(KtTDraw::topAffine().map({1, 1}), {12, 2});
    KtTDraw::popAffine();
    expectNear(KtTDraw::topAffine().map({1, 1}), {11, 1});
    KtTDraw::popAffine();
    expectIdentity(KtTDraw::topAffine());
}

TEST(TransformStack, AtTheTopAPushKeepsTheTopEntry) {
    while (KtTDraw::affineDepth() > 0)
        KtTDraw::popAffine();
    for (int i = 0; i < 31; ++i)
        KtTDraw::pushAffine();
    Affine2D shift;
    shift.translate(1.0f, 2.0f);
    KtTDraw::concatAffine(shift);
    KtTDraw::pushAffine();
    expectNear(KtTDraw::topAffine().map({0, 0}), {1, 2});
    KtTDraw::popAffine();
    expectNear(KtTDraw::topAffine().map({0, 0}), {0, 0});
    while (KtTDraw::affineDepth() > 0)
        KtTDraw::popAffine();
}

}  // namespace
}  // namespace pattix

#include "plugin/overlay/affine2d.hpp"

#include <gtest/gtest.h>

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
    for (int i = 0; i < 9; ++i) EXPECT_EQ(a.m[i], identity.m[i]) << "m" << i;
}

TEST(Affine2D, OperationsApplyInTheOrderTheyAreGivenAndRotateCounterclockwise) {
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

// A determinant below 2^-50 (or not a number) inverts to the identity; above, it inverts.
TEST(Affine2D, ANearSingularMatrixInvertsToTheIdentity) {
    Affine2D tiny;
    tiny.scale(1e-8f, 1e-8f);  // determinant 1e-16
    tiny.translate(3.0f, 4.0f);
    tiny.invert();
    expectIdentity(tiny);
    Affine2D flat;
    flat.scale(0.0f, 1.0f);
    flat.invert();
    expectIdentity(flat);
    Affine2D broken;
    broken.m[0] = std::numeric_limits<float>::quiet_NaN();
    broken.invert();
    expectIdentity(broken);

    Affine2D small;
    small.scale(1e-7f, 1e-7f);  // determinant 1e-14
    small.invert();
    EXPECT_NEAR(small.m[0], 1e7f, 1.0f);
    EXPECT_NEAR(small.m[4], 1e7f, 1.0f);
}

class TransformStack : public testing::Test {
protected:
    void SetUp() override {
        while (KtTDraw::affineDepth() > 0) KtTDraw::popAffine();
    }
    void TearDown() override { SetUp(); }
};

// 32 entries: a push at the top keeps the top entry, a pop at the bottom keeps the identity.
TEST_F(TransformStack, Holds32EntriesAndNeverLeavesThem) {
    for (int i = 0; i < 31; ++i) KtTDraw::pushAffine();
    Affine2D shift;
    shift.translate(1.0f, 2.0f);
    KtTDraw::concatAffine(shift);
    KtTDraw::pushAffine();
    KtTDraw::pushAffine();
    EXPECT_EQ(KtTDraw::affineDepth(), 31);
    expectNear(KtTDraw::topAffine().map({0, 0}), {1, 2});
    KtTDraw::popAffine();
    expectNear(KtTDraw::topAffine().map({0, 0}), {0, 0});
    for (int i = 0; i < 40; ++i) KtTDraw::popAffine();
    EXPECT_EQ(KtTDraw::affineDepth(), 0);
    expectIdentity(KtTDraw::topAffine());
}

TEST_F(TransformStack, APushCopiesTheEntryBelowAndConcatActsInTheLocalFrame) {
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

}  // namespace
}  // namespace pattix

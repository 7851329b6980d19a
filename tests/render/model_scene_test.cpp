// Key interpolation and weighted blending of the model's animations.
#include <gtest/gtest.h>

#include <cmath>

#include "port/math.h"
#include "render/ModelScene.h"

namespace {

using port::Matrix;

constexpr float kPi = 3.14159265f;

port::Quat FileRotationZ(float degrees) {
  // As read from a file key (w, x, y, z).
  const float h = degrees * kPi / 360.0f;
  return {0, 0, std::sin(h), std::cos(h)};
}

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float eps = 1e-5f) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "element " << r << "," << c;
  }
}

struct Fixture : ::testing::Test {
  ModelFrame frame{"Target"};
  ModelAnimation anim;
  void SetUp() override {
    frame.file = frame.local = port::MatrixTranslation(0, 1, 0);
    anim.target = &frame;
  }
};

using KeyInterpolation = Fixture;

TEST_F(KeyInterpolation, RotationKeysAreSquadBetweenTheirKeysAndTurnTheFileWay) {
  // Evenly spaced turns about one axis: squad keeps the even pace.
  anim.rotationKeys = {{0, FileRotationZ(0)},
                       {10, FileRotationZ(45)},
                       {20, FileRotationZ(90)},
                       {30, FileRotationZ(135)}};
  anim.Apply(0.0f, 1.0f, nullptr);
  // No position keys: the translation comes from the file matrix.
  ExpectMatrixNear(frame.local, port::MatrixTranslation(0, 1, 0));

  // The file's rotations turn the other way from the matrix builder's.
  const float degree = kPi / 180.0f;
  anim.Apply(10.0f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local,
                   port::MatrixRotationZ(-45 * degree) * port::MatrixTranslation(0, 1, 0));
  anim.Apply(12.5f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local,
                   port::MatrixRotationZ(-56.25f * degree) * port::MatrixTranslation(0, 1, 0));
  anim.Apply(15.0f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local,
                   port::MatrixRotationZ(-67.5f * degree) * port::MatrixTranslation(0, 1, 0));
}

TEST_F(KeyInterpolation, PastTheLastKeyTheLastKeyHolds) {
  anim.positionKeys = {{0, {0, 0, 0}}, {10, {4, 0, 0}}};
  anim.Apply(25.0f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local, port::MatrixTranslation(4, 0, 0));
  // Before the first key: the first key.
  anim.positionKeys = {{5, {1, 0, 0}}, {10, {4, 0, 0}}};
  anim.Apply(2.0f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local, port::MatrixTranslation(1, 0, 0));
}

TEST_F(KeyInterpolation, ScaleRotationPositionComposeInThatOrder) {
  anim.scaleKeys = {{0, {1, 1, 1}}, {10, {3, 3, 3}}};
  anim.positionKeys = {{0, {0, 0, 0}}, {10, {10, 0, 0}}};
  anim.Apply(5.0f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local, port::MatrixScaling(2, 2, 2) * port::MatrixTranslation(5, 0, 0));

  anim.rotationKeys = {{0, FileRotationZ(90)}, {10, FileRotationZ(90)}};
  anim.Apply(10.0f, 1.0f, nullptr);
  // (1, 0, 0) scaled by 3, turned a quarter (to -y), then moved by 10 in x.
  const port::Vec3 p = port::Vec3TransformCoord({1, 0, 0}, frame.local);
  EXPECT_NEAR(p.x, 10.0f, 1e-5f);
  EXPECT_NEAR(p.y, -3.0f, 1e-5f);
  EXPECT_NEAR(p.z, 0.0f, 1e-5f);
}

TEST_F(KeyInterpolation, MatrixKeysTakeTheNearerKeyAndIgnoreTheWeight) {
  anim.matrixKeys = {{0, port::MatrixTranslation(1, 0, 0)}, {10, port::MatrixTranslation(2, 0, 0)}};
  anim.Apply(5.0f, 0.3f, nullptr);  // exactly half way: the earlier key
  ExpectMatrixNear(frame.local, port::MatrixTranslation(1, 0, 0));
  anim.Apply(5.1f, 0.3f, nullptr);
  ExpectMatrixNear(frame.local, port::MatrixTranslation(2, 0, 0));
  // Matrix keys win over the other kinds.
  anim.positionKeys = {{0, {7, 7, 7}}};
  anim.Apply(1.0f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local, port::MatrixTranslation(1, 0, 0));
}

TEST_F(KeyInterpolation, NoKeysOrNoTargetChangeNothing) {
  const Matrix before = frame.local = port::MatrixScaling(2, 3, 4);
  anim.Apply(3.0f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local, before);
  ModelAnimation orphan;
  orphan.positionKeys = {{0, {1, 1, 1}}};
  orphan.Apply(0.0f, 1.0f, nullptr);  // must not touch anything
}

TEST_F(KeyInterpolation, RepeatedKeysGiveNoNaN) {
  anim.rotationKeys = {{0, FileRotationZ(30)}, {5, FileRotationZ(30)}, {10, FileRotationZ(30)}};
  anim.Apply(2.5f, 1.0f, nullptr);
  ExpectMatrixNear(frame.local, port::MatrixRotationZ(-kPi / 6) * port::MatrixTranslation(0, 1, 0));
}

using WeightedBlending = Fixture;

TEST_F(WeightedBlending, WeightZeroChangesNothingAndHalfTwiceGivesAQuarterLeft) {
  anim.positionKeys = {{0, {8, 0, 0}}};
  const Matrix old = frame.local = port::MatrixScaling(2, 2, 2);
  anim.Apply(0.0f, 0.0f, nullptr);
  ExpectMatrixNear(frame.local, old);

  anim.Apply(0.0f, 0.5f, nullptr);
  anim.Apply(0.0f, 0.5f, nullptr);
  const Matrix pose = port::MatrixTranslation(8, 0, 0);
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) {
      EXPECT_NEAR(frame.local.m[r][c], 0.25f * old.m[r][c] + 0.75f * pose.m[r][c], 1e-6f);
    }
  }
}

TEST_F(WeightedBlending, AFrameFilterLimitsThePoseToThatFrame) {
  ModelFrame other("Other");
  anim.positionKeys = {{0, {8, 0, 0}}};
  const Matrix old = frame.local;
  anim.Apply(0.0f, 1.0f, &other);
  ExpectMatrixNear(frame.local, old);
  anim.Apply(0.0f, 1.0f, &frame);
  ExpectMatrixNear(frame.local, port::MatrixTranslation(8, 0, 0));
}

TEST(ModelAnimationSet, TheLastReadAnimationGivesTheLengthAndAnEmptySetNone) {
  ModelAnimationSet set;
  AnimTrack track;
  track.length = 42.0f;
  set.GetLength(&track);
  EXPECT_EQ(track.length, 42.0f);
  auto a = std::make_unique<ModelAnimation>();
  a->positionKeys = {{0, {}}, {30, {}}};
  set.AddAnimation(std::move(a));
  auto b = std::make_unique<ModelAnimation>();
  b->rotationKeys = {{0, {}}, {12, {}}};
  b->scaleKeys = {{0, {}}, {16, {}}};  // scale keys come before rotation keys
  set.AddAnimation(std::move(b));
  set.GetLength(&track);
  EXPECT_EQ(track.length, 16.0f);
}

TEST(ModelFrameTree, ChildrenAreVisitedFirstAddedThenNewestFirst) {
  ModelFrame root;
  root.AddChild(std::make_unique<ModelFrame>("A"));
  root.AddChild(std::make_unique<ModelFrame>("B"));
  root.AddChild(std::make_unique<ModelFrame>("C"));
  std::string order;
  root.ForEachChild([&](const ModelFrame& f) { order += f.name; });
  EXPECT_EQ(order, "ACB");
  EXPECT_EQ(root.Find(nullptr), nullptr);
  EXPECT_EQ(root.Find(""), nullptr);  // the nameless root never matches
}

}  // namespace

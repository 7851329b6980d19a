// Loading, posing and the bad-input rules of the skinned model, without a device.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "port/resource.h"
#include "render/SkinnedModel.h"
#include "support/model_files.h"

namespace {

using modeltest::ArmModel;
using modeltest::ArmOptions;
using modeltest::BendFile;
using modeltest::WriteFile;
using port::Matrix;
using port::Status;

constexpr float kPi = 3.14159265f;

void ExpectMatrixNear(const Matrix& a, const Matrix& b, float eps = 1e-5f) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c)
      EXPECT_NEAR(a.m[r][c], b.m[r][c], eps) << "element " << r << "," << c;
  }
}

// One animation set of one animation on the targets, with key blocks given
// as runs of integers and floats.
std::string AnimationFile(
    const std::vector<std::string>& targets,
    const std::vector<std::vector<std::pair<std::vector<uint32_t>, std::vector<float>>>>& keys) {
  xtest::TextWriter w;
  w.Begin("AnimationSet", "Bad");
  w.Begin("Animation", "");
  for (const std::string& t : targets) w.Ref(t);
  for (const auto& block : keys) {
    w.Begin("AnimationKey", "");
    for (const auto& [ints, floats] : block) {
      w.Ints(ints);
      w.Floats(floats);
    }
    w.End();
  }
  w.End();
  w.End();
  return w.Finish();
}

struct Model : ::testing::Test {
  SkinnedModel model;
  void SetUp() override { model.Init(nullptr, nullptr); }
  void LoadArm(const ArmOptions& o = {}, int method = SkinnedModel::kMethodSoftware) {
    ASSERT_EQ(model.Load(WriteFile("arm.x", ArmModel(o)).c_str(), method), port::kOk);
  }
  // The world position of Bone2's tip (a point 1 above the bone).
  port::Vec3 Tip() {
    model.UpdateFrameMatrices();
    return port::Vec3TransformCoord({0, 1, 0}, model.FindFrame("Bone2")->combined);
  }
};

TEST_F(Model, LoadsFramesMeshesAndItsOwnSets) {
  LoadArm({.ownAnimation = true});
  EXPECT_TRUE(model.IsLoaded());
  EXPECT_EQ(model.GetMaxBones(), 2u);
  EXPECT_EQ(model.GetAnimationSetCount(), 1u);
  ASSERT_NE(model.FindFrame("Bone1"), nullptr);
  EXPECT_EQ(model.FindFrame("Nowhere"), nullptr);
  EXPECT_EQ(model.FindFrame(nullptr), nullptr);
  // Bounding sphere of the slab's vertices except the one at the origin-free rows.
  EXPECT_GT(model.GetRadius(), 1.0f);
  EXPECT_LT(model.GetRadius(), 1.2f);
  std::vector<AnimTrack> tracks(1);
  EXPECT_EQ(model.GetAnimationLengths(tracks), port::kOk);
  EXPECT_EQ(tracks[0].length, 20.0f);

  model.SetWorld(port::MatrixTranslation(5, 0, 0));
  const port::Vec3 tip = Tip();
  EXPECT_NEAR(tip.x, 5.0f, 1e-5f);
  EXPECT_NEAR(tip.y, 2.0f, 1e-5f);
}

TEST_F(Model, LoopingWrapsTheTimeAndOneShotsHoldTheirLastPose) {
  LoadArm();
  ASSERT_EQ(model.AddAnimation(WriteFile("bend.x", BendFile(90, 10)).c_str()), port::kOk);
  std::vector<AnimTrack> tracks(1);
  model.GetAnimationLengths(tracks);
  ASSERT_EQ(tracks[0].length, 10.0f);
  tracks[0].weight = 1.0f;

  // 15 frames looping is 5 frames in: the middle key, 45 degrees (turning clockwise).
  tracks[0].time = 15.0f;
  model.Animate(tracks, true, nullptr);
  port::Vec3 tip = Tip();
  EXPECT_NEAR(tip.x, std::sin(kPi / 4), 1e-4f);
  EXPECT_NEAR(tip.y, 1 + std::cos(kPi / 4), 1e-4f);

  // Not looping, 1.5 lengths in holds the end of the bend.
  model.Animate(tracks, false, nullptr);
  tip = Tip();
  EXPECT_NEAR(tip.x, 1.0f, 1e-4f);
  EXPECT_NEAR(tip.y, 1.0f, 1e-4f);

  // The track's own time is the owner's to advance.
  EXPECT_EQ(tracks[0].time, 15.0f);
}

TEST_F(Model, SetsMixInLoadOrderAndAZeroWeightSetDoesNothing) {
  LoadArm();
  ASSERT_EQ(model.AddAnimation(WriteFile("a.x", BendFile(90, 10)).c_str()), port::kOk);
  ASSERT_EQ(model.AddAnimation(WriteFile("b.x", BendFile(-90, 10)).c_str()), port::kOk);
  std::vector<AnimTrack> tracks(2);
  model.GetAnimationLengths(tracks);
  tracks[0] = {10.0f, 10.0f, 1.0f};
  tracks[1] = {10.0f, 10.0f, 0.0f};
  model.Animate(tracks, false, nullptr);
  const Matrix bent = model.FindFrame("Bone2")->local;
  tracks[1].time = 3.0f;  // a set of weight 0 changes nothing whatever its time
  model.Animate(tracks, false, nullptr);
  ExpectMatrixNear(model.FindFrame("Bone2")->local, bent);
  tracks[1].weight = 1.0f;  // a later set of weight 1 overrides
  tracks[1].time = 10.0f;
  model.Animate(tracks, false, nullptr);
  const port::Vec3 tip = Tip();
  EXPECT_NEAR(tip.x, -1.0f, 1e-4f);
}

TEST_F(Model, AFrameFilterPosesOnlyThatFrame) {
  LoadArm();
  ASSERT_EQ(model.AddAnimation(WriteFile("bend.x", BendFile(90, 10)).c_str()), port::kOk);
  std::vector<AnimTrack> tracks{{10.0f, 10.0f, 1.0f}};
  model.Animate(tracks, false, model.FindFrame("Bone1"));
  ExpectMatrixNear(model.FindFrame("Bone2")->local, port::MatrixTranslation(0, 1, 0));
  model.Animate(tracks, false, model.FindFrame("Bone2"));
  EXPECT_NEAR(Tip().x, 1.0f, 1e-4f);
}

TEST_F(Model, FrameSearchIsDepthFirstInVisitingOrder) {
  // P's children are visited C1, C3, C2; each of C2 and C3 holds a "Same".
  xtest::TextWriter w;
  modeltest::Frame(w, "P", modeltest::kIdentity);
  modeltest::Frame(w, "C1", modeltest::kIdentity);
  w.End();
  modeltest::Frame(w, "C2", modeltest::kIdentity);
  modeltest::Frame(w, "Same", modeltest::Translation(2, 0, 0));
  w.End();
  w.End();
  modeltest::Frame(w, "C3", modeltest::kIdentity);
  modeltest::Frame(w, "Same", modeltest::Translation(3, 0, 0));
  w.End();
  w.End();
  w.End();
  modeltest::Frame(w, "Same", modeltest::Translation(9, 0, 0));  // a later top-level frame
  w.End();
  ASSERT_EQ(model.Load(WriteFile("tree.x", w.Finish()).c_str(), 2), port::kOk);
  ModelFrame* same = model.FindFrame("Same");
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->file.m[3][0], 3.0f);
  EXPECT_EQ(model.GetRadius(), 0.0f);  // no mesh, no vertex counted
}

TEST_F(Model, AddAnimationBeforeLoadDoesNothing) {
  EXPECT_EQ(model.AddAnimation(WriteFile("bend.x", BendFile(90, 10)).c_str()), port::kOk);
  EXPECT_FALSE(model.IsLoaded());
  EXPECT_EQ(model.GetAnimationSetCount(), 0u);
  std::vector<AnimTrack> tracks(1);
  EXPECT_EQ(model.Animate(tracks, true, nullptr), port::kOk);
  EXPECT_EQ(model.Render(1), port::kOk);
  EXPECT_EQ(model.GetRadius(), 0.0f);
}

// Every failing animation file still takes one track slot, keeps the sets
// read before it, and leaves later files on their own indices.
TEST_F(Model, BadAnimationFilesKeepTheirSlotAndFail) {
  LoadArm();
  ASSERT_EQ(model.AddAnimation(WriteFile("good.x", BendFile(90, 10)).c_str()), port::kOk);

  const std::string good = BendFile(45, 30);
  using Key = std::pair<std::vector<uint32_t>, std::vector<float>>;
  const Key rotation{{0, 1, 0, 4}, {1, 0, 0, 0}}, position{{2, 1, 0, 3}, {1, 0, 0}};
  const std::pair<const char*, std::string> bad[] = {
      {"truncated", good.substr(0, good.size() / 2)},
      {"missing frame", BendFile(90, 10, "NoSuchFrame")},
      {"repeated keys", AnimationFile({"Bone2"}, {{rotation}, {rotation}})},
      {"key type 3", AnimationFile({"Bone2"}, {{{{3, 1, 0, 3}, {1, 0, 0}}}})},
      {"value count",
       AnimationFile({"Bone2"}, {{{{0, 2, 0, 3}, {1, 0, 0}}, {{10, 3}, {1, 0, 0}}}})},
      {"key count", AnimationFile({"Bone2"}, {{{{2, 1000000, 0, 3}, {1, 0, 0}}}})},
      {"no target", AnimationFile({}, {{position}})},
      {"two targets", AnimationFile({"Bone1", "Bone2"}, {})},
  };
  size_t sets = model.GetAnimationSetCount();
  for (const auto& [name, text] : bad) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(port::Failed(model.AddAnimation(WriteFile("bad.x", text).c_str())));
    ++sets;
    ASSERT_EQ(model.GetAnimationSetCount(), sets);
    // The failed slot poses nothing.
    EXPECT_EQ(model.GetScene()->sets.back()->AnimationCount(), 0u);
  }
  EXPECT_TRUE(port::Failed(model.AddAnimation("no/such/file.x")));
  EXPECT_EQ(model.AddAnimation(nullptr), port::kInvalidArg);
  EXPECT_EQ(model.AddAnimation("x"), port::kFail);
  sets += 3;
  ASSERT_EQ(model.GetAnimationSetCount(), sets);

  // A good file after them lands on the next index; the first set is intact.
  ASSERT_EQ(model.AddAnimation(WriteFile("late.x", BendFile(-90, 40)).c_str()), port::kOk);
  std::vector<AnimTrack> tracks(sets + 1);
  EXPECT_EQ(model.GetAnimationLengths(tracks), port::kOk);
  EXPECT_EQ(tracks[0].length, 10.0f);
  EXPECT_EQ(tracks[sets].length, 40.0f);
  tracks[sets] = {40.0f, 40.0f, 1.0f};
  for (size_t i = 1; i < sets; ++i) tracks[i].weight = 1.0f;  // empty slots pose nothing
  model.Animate(tracks, false, nullptr);
  EXPECT_NEAR(Tip().x, -1.0f, 1e-4f);
}

TEST_F(Model, AFailedSetKeepsTheSetsBeforeIt) {
  LoadArm();
  xtest::TextWriter w;
  w.Begin("AnimationSet", "First");
  modeltest::WriteBend(w, "Bone2", {0, 10}, {0, 90});
  w.End();
  w.Begin("AnimationSet", "Broken");
  modeltest::WriteBend(w, "Bone2", {0, 10}, {0, 90});
  modeltest::WriteBend(w, "Missing", {0, 10}, {0, 90});
  w.End();
  w.Begin("AnimationSet", "NeverRead");
  modeltest::WriteBend(w, "Bone2", {0, 10}, {0, 90});
  w.End();
  EXPECT_EQ(model.AddAnimation(WriteFile("two.x", w.Finish()).c_str()), port::kInvalidArg);
  ASSERT_EQ(model.GetAnimationSetCount(), 2u);
  EXPECT_EQ(model.GetScene()->sets[0]->AnimationCount(), 1u);
  EXPECT_EQ(model.GetScene()->sets[1]->AnimationCount(), 0u);
}

TEST_F(Model, FewerTracksThanSetsAreRefusedWithoutOverrun) {
  LoadArm({.ownAnimation = true});
  ASSERT_EQ(model.AddAnimation(WriteFile("bend.x", BendFile(90, 10)).c_str()), port::kOk);
  std::vector<AnimTrack> tracks(1, AnimTrack{5.0f, 20.0f, 1.0f});
  EXPECT_EQ(model.Animate(tracks, true, nullptr), port::kInvalidArg);
  EXPECT_EQ(model.GetAnimationLengths(tracks), port::kInvalidArg);
  EXPECT_EQ(tracks[0].length, 20.0f);
  std::vector<AnimTrack> none;
  EXPECT_EQ(model.Animate(none, true, nullptr), port::kInvalidArg);
  // A zero length loops to the first key instead of dividing by zero.
  std::vector<AnimTrack> zero(2, AnimTrack{5.0f, 0.0f, 1.0f});
  EXPECT_EQ(model.Animate(zero, true, nullptr), port::kOk);
  EXPECT_FALSE(std::isnan(model.FindFrame("Bone2")->local.m[0][0]));
}

TEST_F(Model, BadModelFilesLeaveNoModel) {
  const std::string good = ArmModel();
  std::vector<std::pair<const char*, std::string>> bad = {
      {"truncated", good.substr(0, good.size() * 2 / 3)},
      {"header", "xof 0303txt 00"},
      {"empty", ""},
      {"animation of a missing frame", good + BendFile(90, 10, "Nobody")},
  };
  auto edited = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    return s.replace(s.find(from), from.size(), to);
  };
  bad.push_back(
      {"index past the vertices", edited("4,5,6,7,8,9;", "4,5,6,7,8,99;")});  // of a mesh of 10
  bad.push_back({"face index", edited("3,0,2,3,", "3,0,2,77,")});
  bad.push_back({"weight count",
                 edited("6;\n0,1,2,3,4,5;", "7;\n0,1,2,3,4,5;")});  // more promised than given
  bad.push_back({"more bones than weights", ArmModel({.headerBones = 3})});
  for (const auto& [name, text] : bad) {
    SCOPED_TRACE(name);
    LoadArm();  // a model already there is released by the failed load
    EXPECT_TRUE(port::Failed(model.Load(WriteFile("bad.x", text).c_str(), 2)));
    EXPECT_FALSE(model.IsLoaded());
    EXPECT_EQ(model.GetRadius(), 0.0f);
    EXPECT_EQ(model.FindFrame("Bone1"), nullptr);
    EXPECT_EQ(model.GetMaxBones(), 0u);
  }
  EXPECT_EQ(model.Load(nullptr, 2), port::kInvalidArg);
  EXPECT_EQ(model.Load("a", 2), port::kFail);
  EXPECT_TRUE(port::Failed(model.Load("no/such/model.x", 3)));
}

// Every cut of a model and of an animation file either loads or fails cleanly.
TEST_F(Model, TruncatedFilesNeverCrash) {
  const std::string model_text = ArmModel({.ownAnimation = true});
  for (size_t n = 0; n < model_text.size(); n += 5) {
    const Status s = model.Load(WriteFile("cut.x", model_text.substr(0, n)).c_str(), 3);
    EXPECT_EQ(model.IsLoaded(), !port::Failed(s));
  }
  LoadArm();
  const std::string anim = BendFile(90, 10);
  size_t sets = model.GetAnimationSetCount();
  for (size_t n = 0; n < anim.size(); n += 3) {
    model.AddAnimation(WriteFile("cut_anim.x", anim.substr(0, n)).c_str());
    EXPECT_EQ(model.GetAnimationSetCount(), ++sets);
  }
  std::vector<AnimTrack> tracks(sets, AnimTrack{4.0f, 10.0f, 0.5f});
  EXPECT_EQ(model.Animate(tracks, true, nullptr), port::kOk);
}

TEST_F(Model, AMeshWithoutDataIsSkippedAndAStrayAnimationIgnored) {
  xtest::TextWriter w;
  w.Begin("Animation", "Stray");  // before any set: no set to go into
  w.Ref("Root");
  w.End();
  modeltest::Frame(w, "Root", modeltest::kIdentity);
  w.Begin("Mesh", "Nothing");
  w.Ints({0, 0});
  w.End();
  w.End();
  ASSERT_EQ(model.Load(WriteFile("empty_mesh.x", w.Finish()).c_str(), 2), port::kOk);
  EXPECT_TRUE(model.IsLoaded());
  EXPECT_FALSE(model.FindFrame("Root")->HasContainers());
  EXPECT_EQ(model.GetAnimationSetCount(), 0u);
}

TEST_F(Model, ABoneWithoutAFrameFollowsTheModelRoot) {
  LoadArm({.bone2Name = "Elsewhere"});
  const ModelMeshContainer* body = nullptr;
  model.FindFrame("Root")->ForEachContainer([&](const ModelMeshContainer& c) { body = &c; });
  ASSERT_NE(body, nullptr);
  ASSERT_EQ(body->boneMatrices.size(), 2u);
  EXPECT_NE(body->boneMatrices[0], nullptr);
  EXPECT_EQ(body->boneMatrices[1], nullptr);
}

TEST_F(Model, ThePaletteMeshIsBuiltForTheToonMethod) {
  LoadArm({}, SkinnedModel::kMethodToon);
  const ModelMeshContainer* body = nullptr;
  model.FindFrame("Root")->ForEachContainer([&](const ModelMeshContainer& c) { body = &c; });
  ASSERT_NE(body, nullptr);
  ASSERT_NE(body->drawMesh, nullptr);
  EXPECT_EQ(body->paletteSize, 2u);
  EXPECT_EQ(body->maxFaceInfluences, 2u);
  ASSERT_EQ(body->boneCombinations.size(), 1u);
  // Position, one weight, the indices read as a colour, normal, one uv pair.
  const port::gpu::VertexLayout& layout = body->drawMesh->GetDeclaration();
  const port::gpu::VertexElement* indices = layout.Find(port::gpu::DeclUsage::BlendIndices);
  ASSERT_NE(indices, nullptr);
  EXPECT_EQ(indices->type, port::gpu::DeclType::Color);
  EXPECT_EQ(layout.stride, 12u + 4u + 4u + 12u + 8u);
  ASSERT_EQ(model.Release(), port::kOk);
  EXPECT_FALSE(model.IsLoaded());
  EXPECT_EQ(model.Release(), port::kOk);
}

}  // namespace

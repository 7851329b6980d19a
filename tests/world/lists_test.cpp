#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "support/recording_device.h"
#include "world/CharacterList.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"

namespace {

std::vector<std::string>* g_trace = nullptr;

class TestCharacter : public Character {
 public:
  TestCharacter(int k, bool isAlive, int tag_ = 0) : tag(tag_) {
    kind = k;
    alive = isAlive ? 1 : 0;
  }
  ~TestCharacter() override { ++destroyed; }
  void Update() override { ++updates; }
  void Draw(port::Matrix, port::Matrix, port::Vec4) override {
    if (g_trace) g_trace->push_back("c" + std::to_string(tag));
  }
  int tag;
  int updates = 0;
  static inline int destroyed = 0;
};

class TestObject : public DynamicObject {
 public:
  TestObject(int t, bool isAlive, int tag_ = 0) : tag(tag_) {
    type = t;
    alive = isAlive ? 1 : 0;
  }
  void Update() override {
    ++updates;
    for (int i = 0; i < spawnPerUpdate; ++i) g_objects.Add(std::make_unique<TestObject>(2, true));
  }
  void Draw() override {
    if (g_trace) g_trace->push_back("d" + std::to_string(tag));
  }
  void DrawSecondPass() override {
    if (g_trace) g_trace->push_back("s" + std::to_string(tag));
  }
  int tag;
  int updates = 0;
  int spawnPerUpdate = 0;
};

class TestEffect : public Effect {
 public:
  TestEffect(int t, bool isActive) {
    type = t;
    active = isActive ? 1 : 0;
  }
  void Update() override {
    if (active) ++age;
  }
};

TEST(CharacterList, FindReusableOnlyReturnsDeadOfTheSameKind) {
  CharacterList list;
  EXPECT_EQ(list.FindReusable(kCharacterZako1), -1);
  list.Add(std::make_unique<TestCharacter>(kCharacterZako1, true));
  list.Add(std::make_unique<TestCharacter>(kCharacterZako2, false));
  EXPECT_EQ(list.FindReusable(kCharacterZako1), -1) << "all of the kind alive";
  EXPECT_EQ(list.FindReusable(kCharacterZako3), -1) << "a dead one of another kind is not offered";
  list.Add(std::make_unique<TestCharacter>(kCharacterZako1, false));
  list.Add(std::make_unique<TestCharacter>(kCharacterZako1, false));
  EXPECT_EQ(list.FindReusable(kCharacterZako1), 2) << "the first dead one";
  EXPECT_EQ(list.FindReusable(kCharacterZako2), 1);
  EXPECT_EQ(list.CountAlive(), 1);
}

TEST(CharacterList, ClearDestroysEveryCharacterAndAddStartsAgainAtZero) {
  CharacterList list;
  TestCharacter::destroyed = 0;
  for (int i = 0; i < 3; ++i) list.Add(std::make_unique<TestCharacter>(kCharacterZako1, true));
  list.Clear();
  EXPECT_EQ(TestCharacter::destroyed, 3);
  EXPECT_EQ(list.Size(), 0u);
  list.Add(std::make_unique<TestCharacter>(kCharacterZako4, false));
  EXPECT_EQ(list.FindReusable(kCharacterZako4), 0);
  list.Clear();
  list.Clear();  // a second clear is harmless
  EXPECT_EQ(list.CountAlive(), 0);
}

TEST(CharacterList, UpdateAllReachesDeadCharactersToo) {
  CharacterList list;
  list.Add(std::make_unique<TestCharacter>(kCharacterZako1, true));
  list.Add(std::make_unique<TestCharacter>(kCharacterZako1, false));
  list.UpdateAll();
  EXPECT_EQ(static_cast<TestCharacter*>(list.At(0))->updates, 1);
  EXPECT_EQ(static_cast<TestCharacter*>(list.At(1))->updates, 1);
  EXPECT_FALSE(list.At(1)->IsAlive());
  EXPECT_EQ(list.At(5), nullptr);
}

TEST(CharacterList, DrawSliceDrawsItsShareOfTheSlots) {
  std::vector<std::string> trace;
  g_trace = &trace;
  RecordingDevice device;
  CharacterList list;
  list.SetDevice(&device);
  for (int i = 0; i < 5; ++i) list.Add(std::make_unique<TestCharacter>(kCharacterZako1, true, i));
  port::Matrix m;
  port::Vec4 light;

  list.DrawSlice(2.0f, 1.0f, m, m, light);
  EXPECT_EQ(trace, (std::vector<std::string>{"c0", "c1"}));
  EXPECT_EQ(device.GetRenderState(port::gpu::RenderState::Lighting), 0u);
  trace.clear();
  list.DrawSlice(2.0f, 2.0f, m, m, light);
  EXPECT_EQ(trace, (std::vector<std::string>{"c2", "c3", "c4"}));

  trace.clear();
  device.log.clear();
  list.DrawSlice(2.0f, 3.0f, m, m, light);
  list.DrawSlice(0.0f, 1.0f, m, m, light);
  list.DrawSlice(2.0f, 0.0f, m, m, light);
  list.DrawSlice(std::nanf(""), 1.0f, m, m, light);
  EXPECT_TRUE(trace.empty());
  EXPECT_TRUE(device.log.empty()) << "an out-of-range share changes no state";

  // A share too thin to count still stays inside the slots.
  list.DrawSlice(1e-40f, 1e-40f, m, m, light);
  EXPECT_LE(trace.size(), 5u);
  trace.clear();

  list.DrawAll(m, m, light);
  EXPECT_EQ(trace.size(), 5u);
  EXPECT_TRUE(device.lightEnabled);
  EXPECT_EQ(device.GetRenderState(port::gpu::RenderState::Lighting), 1u);
  g_trace = nullptr;
}

TEST(CharacterList, DrawsNothingWithoutADevice) {
  std::vector<std::string> trace;
  g_trace = &trace;
  CharacterList list;
  list.Add(std::make_unique<TestCharacter>(kCharacterZako1, true));
  list.DrawAll({}, {}, {});
  list.DrawSlice(1.0f, 1.0f, {}, {}, {});
  EXPECT_TRUE(trace.empty());
  g_trace = nullptr;
}

TEST(ObjectList, ObjectsSpawnedDuringAnUpdateFirstUpdateNextFrame) {
  g_objects.Clear();
  auto spawner = std::make_unique<TestObject>(1, true);
  spawner->spawnPerUpdate = 40;  // enough to make the vector grow mid-walk
  TestObject* first = spawner.get();
  g_objects.Add(std::move(spawner));
  g_objects.UpdateAll();
  ASSERT_EQ(g_objects.Size(), 41u);
  EXPECT_EQ(first->updates, 1);
  for (size_t i = 1; i < g_objects.Size(); ++i) {
    EXPECT_EQ(static_cast<TestObject*>(g_objects.At(i))->updates, 0) << i;
  }
  first->spawnPerUpdate = 0;
  g_objects.UpdateAll();
  EXPECT_EQ(static_cast<TestObject*>(g_objects.At(40))->updates, 1);
  EXPECT_EQ(g_objects.CountAlive(), 41);
  g_objects.Clear();
  EXPECT_EQ(g_objects.Size(), 0u);
}

TEST(ObjectList, ReuseByTypeAndTheTwoDrawPasses) {
  std::vector<std::string> trace;
  g_trace = &trace;
  RecordingDevice device;
  ObjectList list;
  list.SetDevice(&device);
  EXPECT_EQ(list.Add(std::make_unique<TestObject>(kObjectTama, true, 0)), 0);
  EXPECT_EQ(list.Add(std::make_unique<TestObject>(kObjectEnemyTama, false, 1)), 1);
  EXPECT_EQ(list.Add(std::make_unique<TestObject>(kObjectTama, false, 2)), 2);
  EXPECT_EQ(list.FindReusable(kObjectTama), 2);
  EXPECT_EQ(list.FindReusable(kObjectEnemyTama), 1);
  EXPECT_EQ(list.FindReusable(kObjectHammer), -1);
  EXPECT_EQ(list.Add(nullptr), -1);

  list.DrawAll();
  EXPECT_EQ(trace, (std::vector<std::string>{"d0", "d1", "d2", "s0", "s1", "s2"}));
  ASSERT_FALSE(device.log.empty());
  EXPECT_EQ(device.log.front(), "light0=off");
  EXPECT_EQ(device.log.back(), "light0=on");
  EXPECT_EQ(device.GetRenderState(port::gpu::RenderState::Lighting), 1u);
  g_trace = nullptr;
}

// A list whose slots can be emptied from outside, as no game code does.
class HoleyObjectList : public ObjectList {
 public:
  void Empty(size_t i) { slots_[i].reset(); }
};

TEST(ObjectList, AddFillsTheFirstEmptySlot) {
  HoleyObjectList list;
  for (int i = 0; i < 4; ++i) list.Add(std::make_unique<TestObject>(kObjectTama, true, i));
  list.Empty(2);
  list.Empty(1);
  EXPECT_EQ(list.CountAlive(), 2);
  EXPECT_EQ(list.FindReusable(kObjectTama), -1) << "empty slots are skipped";
  list.UpdateAll();  // and walked past
  EXPECT_EQ(list.Add(std::make_unique<TestObject>(kObjectTama, false, 9)), 1);
  EXPECT_EQ(list.Add(std::make_unique<TestObject>(kObjectTama, false, 9)), 2);
  EXPECT_EQ(list.Add(std::make_unique<TestObject>(kObjectTama, false, 9)), 4);
  EXPECT_EQ(list.FindReusable(kObjectTama), 1);
}

TEST(EffectList, DrawAllLeavesBlendingAndDepthWritesBack) {
  RecordingDevice device;
  EffectList list;
  list.SetDevice(&device);
  list.Add(std::make_unique<TestEffect>(kEffectParticle, true));
  device.SetRenderState(port::gpu::RenderState::Lighting, 1);
  list.DrawAll({}, {});
  using port::gpu::RenderState;
  EXPECT_EQ(device.GetRenderState(RenderState::Lighting), 0u);
  EXPECT_EQ(device.GetRenderState(RenderState::SrcBlend), port::gpu::BlendSrcAlpha);
  EXPECT_EQ(device.GetRenderState(RenderState::DestBlend), port::gpu::BlendInvSrcAlpha);
  EXPECT_EQ(device.GetRenderState(RenderState::ZWriteEnable), 1u);
}

TEST(EffectList, FindReusableWantsAnInactiveEffectOfTheType) {
  EffectList list;
  EXPECT_EQ(list.FindReusable(kEffectThunder), -1);
  list.Add(std::make_unique<TestEffect>(kEffectThunder, true));
  list.Add(std::make_unique<TestEffect>(kEffectLine, false));
  EXPECT_EQ(list.FindReusable(kEffectThunder), -1);
  EXPECT_EQ(list.FindReusable(kEffectLine), 1);
  list.UpdateAll();
  EXPECT_EQ(list.At(0)->IsActive(), true);
  EXPECT_EQ(static_cast<TestEffect*>(list.At(1))->age, 0) << "an inactive effect stays as it is";
}

}  // namespace

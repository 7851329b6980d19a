// The pieces of the enemy scheme that the later enemies build on, through a
// test enemy of their shape: the hit-point reaction with its damage and
// dying states and the gauge report, walk B with the ceiling, the tint, and
// the second pass.
#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "actors/Enemy.h"
#include "actors/SokaiCounters.h"
#include "actors/Zako1b.h"
#include "support/stage_fixture.h"
#include "support/temp_dir.h"
#include "world/DynamicObject.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"
#include "world/StageField.h"

namespace {

using gltest::Channel;
using gltest::Rgb;
using stagetest::EnemyObject;
using stagetest::StageFixture;

constexpr const char* kFiles[] = {"Xfile/zako1/stop.X", "Xfile/zako1/run.X"};

enum TestState : int32_t { kStand = 1, kJump = 2, kDying = 5, kDamage = 7 };

constexpr EnemyAnimRow kAnims[] = {{kAnimRun, 1, 1.0f, 0.05f, 0.05f, false}};

// A two-hit enemy on walk B, as Zako2 to Zako4 are built.
constexpr EnemyTraits kTraits = {
    .kind = 77,
    .records = 2,
    .anims = kAnims,
    .stand = {kAnimStop, 0, 0.0f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kB,
    .hitPoints = 2.0f,
    .gaugeMax = 2.0f,
    .damageState = kDamage,
    .dyingState = kDying,
    .wallTurn = 3.0f,
};

EnemyModel& TestModel() {
  static EnemyModel* model = new EnemyModel(kFiles);
  return *model;
}

class Sturdy : public Enemy {
 public:
  explicit Sturdy(EnemyModel& model = TestModel()) : Enemy(kTraits, model) {}
  static bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                   EffectHolder* effect, Texture* toonRamp) {
    return TestModel().Load(method, device, caps, effect, toonRamp);
  }
  static void Unload() { TestModel().Unload(); }
  bool tinted = false;
  std::vector<int32_t> states;  // the state each frame ran

 protected:
  void RunState() override {
    ++stateFrame;
    states.push_back(state);
    switch (state) {
      case kDamage:
      case kDying:
        guard = 1;
        break;
      case kJump:
        if (stateFrame == 1) {
          verticalSpeed += 0.4f;
          airborne = 1;
        }
        break;
      default:
        guard = 0;
        break;
    }
  }
  bool Tint(port::Vec4* colour) const override {
    if (tinted) *colour = {0.2f, 1.0f, 0.2f, 1.0f};
    return tinted;
  }
};

// A floor at y = 0 and a ceiling at y = 3 over it, 20 by 20.
constexpr char kLowRoom[] =
    "xof 0303txt 0032\n"
    "Mesh room {\n"
    " 8;\n"
    " -10;0;-10;, 10;0;-10;, 10;0;10;, -10;0;10;,\n"
    " -10;3;-10;, 10;3;-10;, 10;3;10;, -10;3;10;;\n"
    " 4;\n"
    " 3;0,2,1;, 3;0,3,2;, 3;4,5,6;, 3;4,6,7;;\n"
    "}\n";

class EnemyScheme : public StageFixture {
 protected:
  void SetUp() override {
    StageFixture::SetUp();
    if (HasFatalFailure()) return;
    LoadEnemyClass<Sturdy>();
  }
  Sturdy* Add(port::Vec3 at) {
    Sturdy* s = SpawnEnemy<Sturdy>(kTraits.kind, {.at = at});
    Step();  // settled
    return s;
  }
  EnemyObject* Shot(port::Vec3 at, float damage) {
    EnemyObject* o = AddEnemyObject(at, 0.7f, damage);
    o->owner = kOwnerPlayer;
    return o;
  }
};

// Two ordinary shots: 2.0 -> 1.0 with the damage state (no hit test in it),
// then 0.0 and the dying state; the gauge shows each, full at 2.0, and
// the spent one with the cross's timer.
TEST_F(EnemyScheme, HitPointsFallByATenthOfTheDamageAndTheLastHitStartsTheDying) {
  Sturdy* s = Add({0.0f, 1.0f, 6.0f});
  EXPECT_EQ(s->hitPoints, 2.0f);
  EnemyObject* first = Shot(s->position, 10.0f);
  Step();
  EXPECT_EQ(first->hits, 1);
  EXPECT_FLOAT_EQ(s->hitPoints, 1.0f);
  EXPECT_EQ(s->state, kDamage);
  EXPECT_EQ(player.gaugeKind, kTraits.kind);
  EXPECT_FLOAT_EQ(player.gaugeValue, 1.0f);
  EXPECT_EQ(player.gaugeMax, 2.0f);
  EXPECT_EQ(player.gaugeTimer, 0);
  first->alive = 0;  // spent, as a tama is

  // In the damage state the next shot passes.
  EnemyObject* second = Shot(s->position, 10.0f);
  Step(3);
  EXPECT_EQ(second->hits, 0);
  s->SetState(kStand);
  Step(2);
  EXPECT_EQ(second->hits, 1);
  EXPECT_NEAR(s->hitPoints, 0.0f, 1e-6f);
  EXPECT_EQ(s->state, kDying);
  EXPECT_EQ(player.gaugeValue, 0.0f);
  EXPECT_EQ(player.gaugeTimer, 90);

  // A heavier hit overshoots: the gauge shows 0, not less.
  g_characters.Clear();
  Sturdy* t = Add({3.0f, 1.0f, 6.0f});
  Shot(t->position, 25.0f);
  Step();
  EXPECT_FLOAT_EQ(t->hitPoints, -0.5f);
  EXPECT_EQ(t->state, kDying);
  EXPECT_EQ(player.gaugeValue, 0.0f);
}

// Walk B under a low ceiling: a jump is stopped where the ceiling comes
// within 1 of the origin, and falls back; a thrown zako1b turns back down.
TEST_F(EnemyScheme, ALowCeilingStopsAJumpAndTurnsAThrownZako1bBack) {
  testsupport::TempDir dir;
  g_stageField.LoadCollision(dir.Write("room.x", kLowRoom).c_str());
  Sturdy* s = Add({0.0f, 1.0f, 0.0f});
  ASSERT_FLOAT_EQ(s->position.y, 1.0f);
  s->SetState(kJump);
  float top = 0.0f;
  bool stopped = false;
  for (int f = 0; f < 60; ++f) {
    const float before = s->verticalSpeed;
    Step();
    if (s->position.y > top) top = s->position.y;
    if (before > 0.0f && s->verticalSpeed == 0.0f) stopped = true;
  }
  EXPECT_TRUE(stopped);
  EXPECT_LT(top, 2.0f + 0.4f);  // stopped within one rise of 1 below the ceiling
  EXPECT_EQ(s->airborne, 0);
  EXPECT_FLOAT_EQ(s->position.y, 1.0f);

  SokaiCounters counters;
  Zako1b::Load(setup.method, device, g_graphics.GetCaps(), g_characters.GetToonEffect(),
               g_characters.GetToonRamp(), &counters);
  AtTearDown(&Zako1b::Unload);
  Zako1b* z = Zako1b::Spawn({.at = {4.0f, 1.0f, 0.0f}});
  Shot({4.0f, 1.0f, -0.5f}, 10.0f);
  Step();
  ASSERT_EQ(z->state, kZako1bBlown);
  z->verticalSpeed = 0.3f;
  z->speed = 0.0f;
  const int stars = CountParticles(kParticleStar);
  const int turned = StepUntil([&] { return z->verticalSpeed < 0.0f; }, 20);
  ASSERT_GT(turned, 0);
  EXPECT_FLOAT_EQ(z->verticalSpeed, -0.3f);
  EXPECT_EQ(z->position, z->previousPosition);
  EXPECT_LT(z->position.y, 2.0f + 0.3f + 1e-4f);
  EXPECT_GE(CountParticles(kParticleStar), stars + 10);
}

// A class whose files are missing or broken says so, keeps its tracks in
// place, and its enemies still live and draw (what loaded, or nothing).
TEST_F(EnemyScheme, AClassWithMissingFilesSaysSoAndItsEnemiesStillLiveAndDraw) {
  static constexpr const char* kGap[] = {"Xfile/zako1/stop.X", "Xfile/zako1/none.X"};
  static constexpr const char* kNothing[] = {"Xfile/none/stop.X", "Xfile/zako1/run.X"};
  struct Case {
    const char* name;
    std::span<const char* const> files;
    size_t sets;
  };
  const Case cases[] = {{"a missing animation", kGap, 2}, {"a missing model", kNothing, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EnemyModel model(c.files);
    EXPECT_FALSE(model.Load(setup.method, device, g_graphics.GetCaps(),
                            g_characters.GetToonEffect(), g_characters.GetToonRamp()));
    EXPECT_EQ(model.model.GetAnimationSetCount(), c.sets);
    auto made = std::make_unique<Sturdy>(model);
    Sturdy* e = made.get();
    e->Init(0.0f, 1.0f, 5.0f, 0.0f);
    g_characters.Add(std::move(made));
    e->SetAnimation(kAnimRun);
    Step(10);
    DrawFrame();
    EXPECT_TRUE(e->IsAlive());
    EXPECT_FLOAT_EQ(e->position.y, 1.0f);
    g_characters.Clear();
    model.Unload();
    model.Unload();
  }
  // The class of the test enemy, loaded whole.
  EXPECT_TRUE(Sturdy::Load(setup.method, device, g_graphics.GetCaps(), g_characters.GetToonEffect(),
                           g_characters.GetToonRamp()));
}

// The tint the armoured and blinking enemies show: the whole figure in one
// colour, in either draw method; and the second pass draws the figure too.
TEST_F(EnemyScheme, ATintedFigureShowsInItsOneColourAndTheSecondPassDrawsIt) {
  Step(30);
  Sturdy* s = Add({0.0f, 1.0f, 5.0f});
  const port::Vec3 at = ScreenOf(s->position);
  const int x = static_cast<int>(at.x), y = static_cast<int>(at.y);
  s->tinted = true;
  const std::vector<uint32_t> green = DrawFrame();
  s->tinted = false;
  const std::vector<uint32_t> plain = DrawFrame();
  int greener = 0;
  for (int dy = -20; dy <= 20; ++dy) {
    for (int dx = -15; dx <= 15; ++dx) {
      const uint32_t g = Rgb(green, x + dx, y + dy), p = Rgb(plain, x + dx, y + dy);
      if (g != p && Channel(g, 8) > Channel(g, 16) + 60) ++greener;
    }
  }
  EXPECT_GT(greener, 100);

  device->Clear(port::gpu::ClearTarget | port::gpu::ClearZBuffer, 0xFF0000FFu, 1.0f);
  s->DrawSecondPass(g_camera.GetView(), g_camera.GetProjection());
  EXPECT_NE(Rgb(device->ReadBackBuffer(), x, y), 0x0000FFu);
}

}  // namespace

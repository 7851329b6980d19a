// The battle players' large attacks on the small stage: every character's two
// sequences started by the release of a charge, their shots, sounds and
// particles frame by frame, the moves and the hop, the hand points against
// the drawn model, the countdowns that run on, and knock-backs that cut a
// sequence short.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "actors/Player3Shots.h"
#include "actors/PlayerShot.h"
#include "actors/StageSounds.h"
#include "platform/InputDevice.h"
#include "platform/MathHelpers.h"
#include "port/random.h"
#include "render/ModelScene.h"
#include "support/battle_fixture.h"
#include "world/EffectList.h"
#include "world/ObjectList.h"
#include "world/ParticleEffect.h"

namespace {

using battletest::BattleFixture;

struct Spawned {
  int frame;  // frame of the sequence
  int32_t type;
  int32_t owner;
  port::Vec3 at;
  float heading;
  port::Vec3 shooter;  // where the owner stood in that frame, before its move
};

struct NewParticle {
  int frame;
  int32_t kind;
  port::Vec3 at;
  float scale;
};

class BattleAttacksTest : public BattleFixture {
 protected:
  void SetUp() override {
    BattleFixture::SetUp();
    if (HasFatalFailure()) return;
    port::CrtSrand(7);
    PlaceAll();
    BattleStep(30);  // everyone lands and stands
  }

  // Starts player i's large attack 1 or 2 the way the fight does: a charge
  // let go. The next AttackStep is frame 1 of the sequence.
  void Release(int i, int attack) {
    players[i].charge = attack == 1 ? 81 : 241;
    players[i].shotHeld = 1;
    AttackStep();
    ASSERT_EQ(players[i].mode, attack == 1 ? kBattleLargeAttack1 : kBattleLargeAttack2);
    ASSERT_EQ(players[i].modeFrame, 0);
    sequenceFrame = 0;
    spawned.clear();
    particles.clear();
    ClearSounds();
  }

  // One battle frame. What the players' updates spawn is recorded as it was
  // spawned, before the lists move it.
  void AttackStep() {
    std::set<const void*> before;
    for (size_t k = 0; k < g_objects.Size(); ++k)
      if (g_objects.At(k) && g_objects.At(k)->IsAlive()) before.insert(g_objects.At(k));
    for (size_t k = 0; k < g_effects.Size(); ++k)
      if (g_effects.At(k) && g_effects.At(k)->IsActive()) before.insert(g_effects.At(k));
    ++sequenceFrame;
    g_input.PollKeyboard();
    g_input.PollJoysticks();
    for (int i = 0; i < battle.playerCount; ++i) players[i].Update();
    for (size_t k = 0; k < g_objects.Size(); ++k) {
      const DynamicObject* o = g_objects.At(k);
      if (!o || !o->IsAlive() || before.count(o)) continue;
      port::Vec3 at;
      o->GetPosition(&at);
      port::Vec3 shooter;
      for (const BattlePlayer& p : players)
        if (p.id == o->GetOwner()) shooter = p.previousPosition;
      spawned.push_back({sequenceFrame, o->GetType(), o->GetOwner(), at, o->rotation.y, shooter});
    }
    for (size_t k = 0; k < g_effects.Size(); ++k) {
      const auto* p = dynamic_cast<const ParticleEffect*>(g_effects.At(k));
      if (!p || !p->IsActive() || before.count(p)) continue;
      particles.push_back({sequenceFrame, p->kind, p->position, p->scale});
    }
    Step();
  }

  // Ends every shot and effect of the rows before.
  void ClearField() {
    for (size_t k = 0; k < g_objects.Size(); ++k)
      if (DynamicObject* o = g_objects.At(k)) o->alive = 0;
    for (size_t k = 0; k < g_effects.Size(); ++k)
      if (Effect* e = g_effects.At(k)) e->active = 0;
  }

  void AttackSteps(int n) {
    for (int k = 0; k < n; ++k) AttackStep();
  }

  std::vector<Spawned> SpawnedOfType(int32_t type) const {
    std::vector<Spawned> out;
    for (const Spawned& s : spawned)
      if (s.type == type) out.push_back(s);
    return out;
  }

  // A hand's point as the last drawn picture posed it.
  port::Vec3 DrawnHand(int player, const char* frameName, float reach) {
    const ModelFrame* hand = players[player].model.FindFrame(frameName);
    EXPECT_NE(hand, nullptr) << frameName;
    port::Vec3 p;
    if (hand) MatrixOrigin(port::MatrixTranslation(0.0f, 0.0f, reach) * hand->combined, &p);
    return p;
  }

  int sequenceFrame = 0;
  std::vector<Spawned> spawned;
  std::vector<NewParticle> particles;
};

float AngleGap(float a, float b) {
  float d = std::fmod(a - b, 360.0f);
  if (d > 180.0f) d -= 360.0f;
  if (d < -180.0f) d += 360.0f;
  return std::fabs(d);
}

// ---- Every sequence's timeline ----

struct AttackRow {
  int character;
  int attack;
  int length;
  int32_t shotType;
  int fireFrom, fireUntil;      // frames of the sequence that spawn shots
  std::vector<float> headings;  // each frame's shots, from the player's heading
  int sound;                    // -1: none
  int32_t soundVolume;
  int soundFrame;
};

const std::vector<AttackRow>& AttackRows() {
  static const std::vector<AttackRow> rows = {
      {1, 1, 60, kObjectPlayer1LargeTama1, 35, 35, {0.0f}, kSoundLargeShot, -1000, 35},
      {2, 1, 60, kObjectPlayer2LargeTama1, 35, 35, {15.0f, 5.0f, -5.0f, -15.0f}, kSoundFan, 0, 35},
      {3, 1, 70, kObjectPlayer3LargeTama1, 60, 60, {180.0f}, -1, 0, 0},
      {4, 1, 20, kObjectPlayer4LargeTama1, 15, 15, {0.0f}, kSoundMine, -1000, 15},
      {1, 2, 60, kObjectPlayer1LargeTama2, 30, 30, {0.0f}, kSoundJump, -1000, 1},
      {2, 2, 60, kObjectPlayer2HitBox, 31, 56, {0.0f}, kSoundBurst, -1000, 30},
      {3, 2, 80, kObjectPlayer3LargeTama2, 60, 60, {30, 90, 150, 210, 270, 330}, -1, 0, 0},
      {4, 2, 100, kObjectPlayer4LargeTama2, 70, 70, {0.0f}, kSoundCharge4, 0, 1},
  };
  return rows;
}

TEST_F(BattleAttacksTest, EachSequenceSpawnsItsShotsAndSoundsAtItsFramesAndEndsOnTime) {
  for (const AttackRow& row : AttackRows()) {
    SCOPED_TRACE("character " + std::to_string(row.character) + " attack " +
                 std::to_string(row.attack));
    ClearField();
    PlaceAll();
    BattleStep(30);
    const int i = row.character - 1;  // the fixture's players are characters 1 to 4
    BattlePlayer& p = players[i];
    const float heading = p.angle.y;
    Release(i, row.attack);
    EXPECT_EQ(p.animId, kBattleAnimStop);
    AttackStep();
    EXPECT_EQ(p.animId, row.attack == 1 ? kBattleAnimLargeAttack1 : kBattleAnimLargeAttack2);
    AttackSteps(row.length - 2);
    EXPECT_EQ(p.mode, row.attack == 1 ? kBattleLargeAttack1 : kBattleLargeAttack2);
    AttackStep();  // the last frame
    EXPECT_EQ(p.mode, kBattleFight);
    EXPECT_EQ(p.modeFrame, 0);

    // The shots: each firing frame spawns the row's set from the player's
    // position (hit boxes: from the hand), owned by the player.
    const std::vector<Spawned> shots = SpawnedOfType(row.shotType);
    const size_t perFrame = row.headings.size();
    ASSERT_EQ(shots.size(), perFrame * static_cast<size_t>(row.fireUntil - row.fireFrom + 1));
    for (size_t k = 0; k < shots.size(); ++k) {
      const Spawned& s = shots[k];
      EXPECT_EQ(s.frame, row.fireFrom + static_cast<int>(k / perFrame)) << k;
      EXPECT_EQ(s.owner, p.id) << k;
      EXPECT_LT(AngleGap(s.heading, heading + row.headings[k % perFrame]), 1e-3f) << k;
      if (row.shotType != kObjectPlayer2HitBox) {
        EXPECT_NEAR(s.at.x, s.shooter.x, 1e-4f) << k;
        EXPECT_NEAR(s.at.z, s.shooter.z, 1e-4f) << k;
      }
    }
    // Nothing else was thrown.
    EXPECT_EQ(spawned.size(), shots.size());

    if (row.sound >= 0) {
      ASSERT_NE(FirstSound(row.sound), nullptr);
      EXPECT_EQ(FirstSound(row.sound)->frame - (frame - row.length), row.soundFrame);
      EXPECT_EQ(FirstSound(row.sound)->volume, row.soundVolume);
      EXPECT_EQ(CountSound(row.sound), 1);
    }
    for (int id : {kSoundLargeShot, kSoundFan, kSoundMine, kSoundBurst, kSoundCharge4}) {
      if (id != row.sound) {
        EXPECT_EQ(CountSound(id), 0) << id;
      }
    }
  }
}

TEST_F(BattleAttacksTest, CharacterTwosFanFiresFourCurvesInOneFrameWithIndexesZeroToThree) {
  Release(1, 1);
  AttackSteps(35);
  const std::vector<Spawned> fan = SpawnedOfType(kObjectPlayer2LargeTama1);
  ASSERT_EQ(fan.size(), 4u);
  // The curves turn +1.0, +0.3, -0.3, -1.0 degrees a frame: each shot's index.
  std::vector<float> turned;
  for (size_t k = 0; k < g_objects.Size(); ++k) {
    const DynamicObject* o = g_objects.At(k);
    if (o && o->IsAlive() && o->GetType() == kObjectPlayer2LargeTama1)
      turned.push_back(o->rotation.y);
  }
  ASSERT_EQ(turned.size(), 4u);
  const float kTurn[4] = {1.0f, 0.3f, -0.3f, -1.0f};
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(turned[k] - fan[k].heading, kTurn[k], 1e-3f) << k;
}

// On purpose the homing shot of character 3's first attack homes on its own
// shooter: it flies off backwards and comes round again, never hitting him.
TEST_F(BattleAttacksTest, CharacterThreesHomingShotCirclesItsOwner) {
  BattlePlayer& p = players[2];
  Release(2, 1);
  AttackSteps(60);
  Player3LargeTama1* shot = nullptr;
  for (size_t k = 0; k < g_objects.Size(); ++k) {
    auto* o = dynamic_cast<Player3LargeTama1*>(g_objects.At(k));
    if (o && o->IsAlive()) shot = o;
  }
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->target, &p);
  EXPECT_EQ(shot->owner, p.id);
  const int32_t points = p.points;
  float farthest = 0.0f, nearestAfter = 1e9f;
  for (int f = 0; f < 200; ++f) {
    BattleStep();
    const float d = std::hypot(shot->position.x - p.position.x, shot->position.z - p.position.z);
    farthest = std::max(farthest, d);
    if (f > 60) nearestAfter = std::min(nearestAfter, d);
  }
  EXPECT_GT(farthest, 1.0f);
  EXPECT_LT(nearestAfter, farthest);  // it came back round
  EXPECT_TRUE(shot->IsAlive());
  EXPECT_NE(p.mode, kBattleKnockBack);
  EXPECT_GE(p.points, points);
}

// ---- Moves ----

TEST_F(BattleAttacksTest, CharacterOneSlidesToAStandThenStepsBack) {
  BattlePlayer& p = players[0];
  const struct {
    int attack;
    float back;  // units a frame, frames 31 to 50
  } kCases[] = {{1, 0.05f}, {2, 0.2f}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.attack);
    PlaceAll();
    BattleStep(30);
    Release(0, c.attack);
    p.speed = 0.2f;  // was running
    p.moveHeading = p.angle.y;
    const port::Vec3 start = p.position;
    AttackSteps(10);
    EXPECT_NEAR(p.speed, 0.0f, 1e-6f);        // 0.2 less 0.02 a frame
    EXPECT_GT(p.position.z - start.z, 0.5f);  // slid on forwards
    AttackSteps(20);
    const port::Vec3 beforeBack = p.position;
    AttackSteps(20);  // frames 31 to 50
    EXPECT_NEAR(beforeBack.z - p.position.z, 20 * c.back, 1e-3f);
    AttackStep();
    EXPECT_EQ(p.speed, 0.0f);
  }
}

TEST_F(BattleAttacksTest, CharacterOnesHopRisesHangsUntilFrameFiftyAndComesDown) {
  BattlePlayer& p = players[0];
  const float ground = p.position.y;
  Release(0, 2);
  float highest = ground;
  float lastY = ground;
  for (int f = 1; f <= 49; ++f) {
    AttackStep();
    EXPECT_GE(p.position.y, lastY - 1e-5f) << f;  // never falls while it hangs
    lastY = p.position.y;
    highest = std::max(highest, p.position.y);
  }
  EXPECT_GT(highest - ground, 0.5f);
  EXPECT_EQ(CountSound(kSoundJump), 1);
  AttackStep();
  EXPECT_EQ(p.animId, kBattleAnimStop);  // frame 50
  AttackSteps(10);
  EXPECT_LT(p.position.y, highest);  // falling again
  EXPECT_EQ(p.mode, kBattleFight);
  BattleStep(60);
  EXPECT_NEAR(p.position.y, ground, 1e-4f);

  // Already in the air: no hop and no sound, but it hangs all the same.
  PlaceAll();
  BattleStep(30);
  p.position.y += 2.0f;
  p.airborne = 1;
  p.verticalSpeed = -0.05f;
  Release(0, 2);
  const float air = p.position.y;
  AttackSteps(49);
  EXPECT_EQ(CountSound(kSoundJump), 0);
  EXPECT_NEAR(p.position.y, air, 0.05f);
  EXPECT_LE(p.verticalSpeed, 0.0f);
}

TEST_F(BattleAttacksTest, CharacterTwoDashesForwardGuardedForThirtySixFrames) {
  BattlePlayer& p = players[1];
  const float heading = p.angle.y;
  const port::Vec3 start = p.position;
  Release(1, 2);
  for (int f = 1; f <= 60; ++f) {
    AttackStep();
    // Invulnerable from frame 1 through frame 36.
    EXPECT_EQ(p.invulnerable, f <= 36 ? 1 : 0) << f;
  }
  const port::Vec3 d = p.position - start;
  EXPECT_NEAR(std::hypot(d.x, d.z), 29 * 0.3f, 1e-3f);  // frames 1 to 29
  EXPECT_LT(AngleGap(YawTo(start.x, start.z, p.position.x, p.position.z), heading), 0.01f);
}

// ---- Hand points ----

// The thunder fist's hit boxes and sparks leave from the right hand as the
// model stands in that frame: the point the drawn picture of the frame before
// holds, and it follows the hand from frame to frame without a picture.
TEST_F(BattleAttacksTest, HitBoxesAndGlowsLeaveFromTheHandsOfThePosedModel) {
  BattlePlayer& two = players[1];
  Release(1, 2);
  AttackSteps(40);
  DrawFrom(1);
  const port::Vec3 drawn = DrawnHand(1, "Frame18_right_arm1", 0.25f);
  AttackStep();  // frame 41
  std::vector<Spawned> boxes = SpawnedOfType(kObjectPlayer2HitBox);
  ASSERT_FALSE(boxes.empty());
  const Spawned& box = boxes.back();
  EXPECT_EQ(box.frame, 41);
  EXPECT_NEAR(box.at.x, drawn.x, 1e-4f);
  EXPECT_NEAR(box.at.y, drawn.y, 1e-4f);
  EXPECT_NEAR(box.at.z, drawn.z, 1e-4f);
  // The spark of kind 5 at scale 2 at the same point.
  int sparks = 0;
  for (const NewParticle& n : particles) {
    if (n.frame != 41 || n.kind != kParticleDust) continue;
    ++sparks;
    EXPECT_FLOAT_EQ(n.scale, 2.0f);
    EXPECT_NEAR(n.at.x, box.at.x, 1e-4f);
  }
  EXPECT_EQ(sparks, 1);

  // Undrawn frames still read the hand: off the body to the right, in reach.
  AttackSteps(15);  // to frame 56
  boxes = SpawnedOfType(kObjectPlayer2HitBox);
  ASSERT_EQ(boxes.size(), 26u);
  const port::Vec3 right = DirectionFromAngles(0.0f, two.angle.y + 90.0f, 0.0f);
  for (const Spawned& b : boxes) {
    const port::Vec3 d = b.at - two.position;
    const float reach = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    EXPECT_GT(reach, 0.2f) << b.frame;
    EXPECT_LT(reach, 1.2f) << b.frame;
    EXPECT_GT(d.x * right.x + d.z * right.z, 0.0f) << b.frame;
  }
  // The arm swings back down through those frames: the points follow it.
  const port::Vec3 swing = boxes.back().at - boxes[10].at;
  EXPECT_GT(std::sqrt(swing.x * swing.x + swing.y * swing.y + swing.z * swing.z), 0.05f);

  // Character 4's glows: two a frame, one in each hand, for 69 frames.
  BattlePlayer& four = players[3];
  Release(3, 2);
  AttackSteps(68);
  DrawFrom(3);
  const port::Vec3 left = DrawnHand(3, "Frame15_left_arm1", 0.3f);
  const port::Vec3 rightHand = DrawnHand(3, "Frame18_right_arm1", 0.3f);
  AttackStep();
  ASSERT_EQ(particles.size(), 2u * 69u);
  for (int f = 1; f <= 69; ++f) {
    int n = 0;
    for (const NewParticle& g : particles) {
      if (g.frame != f) continue;
      ++n;
      EXPECT_EQ(g.kind, kParticleSparkShrink);
      EXPECT_FLOAT_EQ(g.scale, 0.5f);
    }
    EXPECT_EQ(n, 2) << f;
  }
  // The glows of frame 69, left hand first, where the picture of frame 68
  // shows the hands.
  const NewParticle& l = particles[particles.size() - 2];
  const NewParticle& r = particles.back();
  for (const auto& [glow, hand] : {std::pair{l.at, left}, std::pair{r.at, rightHand}}) {
    EXPECT_NEAR(glow.x, hand.x, 1e-4f);
    EXPECT_NEAR(glow.y, hand.y, 1e-4f);
    EXPECT_NEAR(glow.z, hand.z, 1e-4f);
  }
  const port::Vec3 side = DirectionFromAngles(0.0f, four.angle.y + 90.0f, 0.0f);
  EXPECT_GT((r.at - l.at).x * side.x + (r.at - l.at).z * side.z, 0.1f);
  AttackStep();
  EXPECT_EQ(particles.size(), 2u * 69u);  // frame 70: no more
}

// A model set that failed to load has no hands: the glows and the hit boxes
// are left out and the sequence still ends on time.
TEST_F(BattleAttacksTest, APlayerWithoutAModelStrikesNothingFromItsHandsAndStillEnds) {
  for (int i : {1, 3}) {
    SCOPED_TRACE(i);
    BattlePlayer& p = players[i];
    const int32_t character = p.character;
    p.model.Release();
    for (ModelFrame*& f : p.upperFrames) f = nullptr;
    Release(i, 2);
    AttackSteps(character == 2 ? 60 : 100);
    EXPECT_EQ(p.mode, kBattleFight);
    EXPECT_EQ(SpawnedOfType(kObjectPlayer2HitBox).size(), 0u);
    EXPECT_TRUE(particles.empty());
    // The shot that leaves from the feet still goes.
    if (character == 4) {
      EXPECT_EQ(SpawnedOfType(kObjectPlayer4LargeTama2).size(), 1u);
    }
  }
  // No character at all: the attacks stand for character 1's length.
  players[0].character = BattlePlayer::kNoCharacter;
  Release(0, 1);
  AttackSteps(59);
  EXPECT_EQ(players[0].mode, kBattleLargeAttack1);
  AttackStep();
  EXPECT_EQ(players[0].mode, kBattleFight);
  EXPECT_TRUE(spawned.empty());
}

// ---- What runs on during an attack ----

TEST_F(BattleAttacksTest, InvulnerabilityCountsDownAndTheStunGaugeDecays) {
  for (int attack : {1, 2}) {
    SCOPED_TRACE(attack);
    BattlePlayer& p = players[2];  // character 3: no guard of its own
    PlaceAll();
    BattleStep(30);
    Release(2, attack);
    p.invulnerableFrames = 5;
    p.stunGauge = 10.0f;
    AttackSteps(6);
    EXPECT_EQ(p.invulnerable, 1);
    EXPECT_EQ(p.invulnerableFrames, -1);
    AttackStep();
    EXPECT_EQ(p.invulnerable, 0);
    EXPECT_NEAR(p.stunGauge, 10.0f - 7 * 0.003f, 1e-4f);
    p.stunGauge = 0.001f;
    AttackSteps(2);
    EXPECT_EQ(p.stunGauge, 0.0f);
  }
}

// ---- Knock-backs ----

struct CutRow {
  int character;
  int attack;
  int hitFrame;  // the frame the enemy object touches the player
  bool cut;      // false: the guard holds and the sequence plays out
  int32_t shotType;
  int shotsIfCut;  // shots already thrown before the hit
};

TEST_F(BattleAttacksTest, AKnockBackCutsTheSequenceShortUnlessGuarded) {
  const CutRow kRows[] = {
      {1, 1, 30, true, kObjectPlayer1LargeTama1, 0},
      {2, 1, 34, true, kObjectPlayer2LargeTama1, 0},
      {3, 1, 59, true, kObjectPlayer3LargeTama1, 0},
      {4, 1, 10, true, kObjectPlayer4LargeTama1, 0},
      {1, 2, 20, true, kObjectPlayer1LargeTama2, 0},
      {2, 2, 20, false, kObjectPlayer2HitBox, 0},  // guarded through frame 36
      {2, 2, 40, true, kObjectPlayer2HitBox, 10},  // frames 31 to 40 struck: the hit comes after
      {3, 2, 50, true, kObjectPlayer3LargeTama2, 0},
      {4, 2, 60, true, kObjectPlayer4LargeTama2, 0},
  };
  for (const CutRow& row : kRows) {
    SCOPED_TRACE("character " + std::to_string(row.character) + " attack " +
                 std::to_string(row.attack) + " hit " + std::to_string(row.hitFrame));
    ClearField();
    PlaceAll();
    BattleStep(30);
    const int i = row.character - 1;
    BattlePlayer& p = players[i];
    Release(i, row.attack);
    AttackSteps(row.hitFrame - 1);
    // The enemy side's object stands behind the player.
    const port::Vec3 behind = p.position - DirectionFromAngles(0.0f, p.angle.y, 0.0f) * 0.4f;
    auto* enemy = AddEnemyObject(behind, 0.5f, 10.0f);
    AttackStep();
    enemy->alive = 0;
    if (row.cut) {
      EXPECT_EQ(p.mode, kBattleKnockBack);
    } else {
      EXPECT_EQ(p.mode, kBattleLargeAttack2);
    }
    ClearSounds();
    const size_t thrown = SpawnedOfType(row.shotType).size();
    AttackSteps(120);
    EXPECT_EQ(p.mode, kBattleFight);
    if (row.cut) {
      EXPECT_EQ(thrown, static_cast<size_t>(row.shotsIfCut));
      EXPECT_EQ(SpawnedOfType(row.shotType).size(), thrown);  // the rest never comes
      for (int id : {kSoundLargeShot, kSoundFan, kSoundMine, kSoundBurst})
        EXPECT_EQ(CountSound(id), 0) << id;
    } else {
      EXPECT_EQ(SpawnedOfType(row.shotType).size(), 26u);
    }
  }
}

// ---- Pictures ----

// Checkpoints of every attack from its player's camera: its shots and
// effects show (the picture changes when they are hidden). With
// POMELVANE_CHECKPOINTS set the pictures are written there.
TEST_F(BattleAttacksTest, EachAttackShowsOnScreen) {
  const struct {
    int character, attack, frame;
  } kShots[] = {{1, 1, 45}, {2, 1, 45}, {3, 1, 70}, {4, 1, 19},
                {1, 2, 40}, {2, 2, 45}, {3, 2, 75}, {4, 2, 60}};
  for (const auto& s : kShots) {
    const std::string name =
        "attack_c" + std::to_string(s.character) + "_" + std::to_string(s.attack);
    SCOPED_TRACE(name);
    ClearField();
    PlaceAll();
    const int i = s.character - 1;
    // Turned away from the others, so the camera sees the attack ahead.
    players[i].angle.y += 180.0f;
    BattleStep(40);
    Release(i, s.attack);
    AttackSteps(s.frame);
    const std::vector<uint32_t> attacking = DrawFrom(i);
    if (const char* dir = std::getenv("POMELVANE_CHECKPOINTS"))
      SavePng(attacking, std::string(dir) + "/" + name + ".png");
    ClearField();
    const std::vector<uint32_t> bare = DrawFrom(i);
    EXPECT_GT(CountDiffering(attacking, bare), 100);
  }
}

}  // namespace

#pragma once
// A small stage without the stage scenes: the offscreen device, a stage field
// from the data set, the character, object and effect lists, and g_player
// loaded and placed. Tests hold keys and pad buttons, step frames (updating
// the player and the three lists as a stage does) and draw checkpoints to read
// the picture back. Sounds queued by the actors are recorded per frame.
// Everything the fixture changes is put back at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actors/EnemyTama.h"
#include "actors/Player.h"
#include "platform/GraphicsDevice.h"
#include "platform/SoundManager.h"
#include "port/math.h"
#include "render/Camera.h"
#include "support/gl_context.h"
#include "world/Character.h"
#include "world/CharacterList.h"
#include "world/DynamicObject.h"

namespace stagetest {

// The stage fields of the data set.
struct FieldFiles {
  const char* ground;
  const char* round;  // may be empty
  const char* collision;
};
inline constexpr FieldFiles kStage1Field = {"Xfile/stage1/stage1.X", "Xfile/stage1/round.X",
                                            "Xfile/stage1/stage1_collision.X"};
inline constexpr FieldFiles kStage2Field = {"Xfile/stage2/stage2.X", "Xfile/stage2/stage2_round.X",
                                            "Xfile/stage2/stage2_collision.X"};
inline constexpr FieldFiles kSokaiField = {"Xfile/sokai_stage/sokai_stage.X",
                                           "Xfile/sokai_stage/sokai_round.X",
                                           "Xfile/sokai_stage/sokai_stage_collision.X"};
inline constexpr FieldFiles kStage3Field = {"Xfile/stage3/stage3.X", "",
                                            "Xfile/stage3/collision.X"};

// The stage1 field's features the gameplay tests use: an 80 by 80 floor at
// y = 0 walled in at +-40, and three blocks standing on it.
inline constexpr float kFloorY = 0.0f;
inline constexpr float kStandY = 1.0f;       // the player's origin on the floor
inline constexpr float kNorthWallZ = 40.0f;  // faces -z
inline constexpr float kLowBlockTop = 2.0f;  // x -24..-16, z 10..14
// The stage3 field: the same floor and walls, with a pillar 10 high in each
// corner (x and z 33..37 from the centre).
inline constexpr float kStage3PillarTop = 10.0f;
inline constexpr float kStage3PillarNear = 33.0f;

struct StageSetup {
  FieldFiles field = kStage1Field;
  int method = 2;  // the player's draw method: 2 software skinning, 3 toon
  uint32_t seed = 1;
  port::Vec3 start{0.0f, 1.0f, 0.0f};
  float heading = 0.0f;
};

struct SoundEvent {
  int frame;
  int id;
  int32_t volume;  // hundredths of a decibel, as queued
};

// An object of the enemy side that just sits there and records hits.
class EnemyObject : public DynamicObject {
 public:
  EnemyObject(port::Vec3 at, float radius_, float damage_);
  void SetHit(int32_t value) override;
  int hits = 0;
};

// A character standing still, alive, that runs the enemies' hit test against
// the player's objects (radius + 0.6) and reports each hit to g_player's
// enemy gauge with its kind.
class DummyEnemy : public Character {
 public:
  DummyEnemy(port::Vec3 at, int32_t kind_, float hp_, float maxHp_);
  void Update() override;
  float hp, maxHp;
  int hits = 0;
};

// Writes a read-back 640 by 480 picture as a PNG, opaque (for looking at a
// checkpoint).
bool WritePicture(const std::vector<uint32_t>& picture, const std::string& path);

class StageFixture : public gltest::GameDeviceTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // One stage frame, n times: the player, the characters, the objects, the
  // effects; the sounds queued are recorded.
  void Step(int frames = 1);
  // Steps until pred() holds or the limit passes; the frames taken, or -1.
  template <typename Pred>
  int StepUntil(Pred pred, int limit) {
    for (int i = 1; i <= limit; ++i) {
      Step();
      if (pred()) return i;
    }
    return -1;
  }
  // Draws one stage picture (field, characters, player, objects, effects,
  // gauge) from g_camera and reads it back.
  std::vector<uint32_t> DrawFrame();
  // Writes a read-back picture as a PNG (for looking at a checkpoint).
  static bool SavePng(const std::vector<uint32_t>& picture, const std::string& path);

  // Keys by scan code; pad 0 (a virtual pad, attached on first use).
  void Hold(int key);
  void Let(int key);
  void LetAll();
  void HoldPadButton(int button);
  void LetPadButton(int button);
  void HoldPadDirection(int direction);  // 0 up, 1 down, 2 left, 3 right
  void LetPadDirections();

  // Things to meet in the field.
  EnemyObject* AddEnemyObject(port::Vec3 at, float radius, float damage);
  DummyEnemy* AddEnemy(port::Vec3 at, int32_t kind = kCharacterZako1, float hp = 10.0f,
                       float maxHp = 10.0f);
  // An object of the player's side at `at`, as a shot would be (it stays
  // alive after a hit until the test ends it).
  EnemyObject* AddPlayerShot(port::Vec3 at, float radius = 0.7f, float damage = 10.0f);
  // The live enemy bullets, in list order.
  std::vector<EnemyTama*> EnemyBullets() const;
  // The first seed from which `draws` (a run of the game's random draws)
  // returns true; the generator is left seeded with it. For the rare draws a
  // test cannot wait for.
  static uint32_t SeedWhere(const std::function<bool()>& draws);

  // Loads an enemy class (a class with the stage loader Load(method, device,
  // caps, effect, ramp) and Unload) as a stage's enter routine does, with
  // the fixture's device and draw method and the list's toon effect. The
  // class is unloaded at TearDown, before the device goes.
  template <typename T>
  void LoadEnemyClass() {
    T::Load(setup.method, device, g_graphics.GetCaps(), g_characters.GetToonEffect(),
            g_characters.GetToonRamp());
    AtTearDown(&T::Unload);
  }
  // Runs undo at TearDown (last registered first), before the lists and the
  // device are released.
  void AtTearDown(void (*undo)());
  // Where a world point shows on the 640 by 480 picture from g_camera (z:
  // the undivided depth).
  static port::Vec3 ScreenOf(const port::Vec3& p);

  // The player's heading (YawTo) and distance from a character.
  static float YawToPlayer(const Character& c);
  static double DistanceToPlayer(const Character& c);

  // Sounds recorded so far.
  int CountSound(int id) const;
  const SoundEvent* FirstSound(int id) const;
  void ClearSounds() { sounds.clear(); }

  // Counts objects of the list by type (alive ones only, or all).
  int CountObjects(int type, bool aliveOnly = true) const;
  // Counts the active particles of a kind (every active effect for -1).
  int CountParticles(int kind = -1) const;
  // The particles of a kind spawned during the last frame (the effects update
  // after everything that spawns them, so those are one frame old).
  int CountNewParticles(int kind) const;
  // The pixels that differ between two read-back pictures (all of them when
  // the sizes differ): what a draw added at a checkpoint.
  static int CountDiffering(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);
  // The pixels an object adds to the stage picture: drawn alive, then not.
  int PixelsDrawnBy(DynamicObject* object);
  // Runs load with every file missing (an empty scratch folder as the
  // working folder), then comes back.
  static void WithoutFiles(const std::function<void()>& load);

  // Set in a derived fixture's constructor to change the stage.
  StageSetup setup;
  int frame = 0;
  std::vector<SoundEvent> sounds;
  Player& player = g_player;
  port::Vec4 light{0.4f, -0.8f, 0.45f, 0.0f};

 private:
  bool EnsurePad();
  void RecordSounds();

  std::vector<void (*)()> undo_;
  bool inputStarted_ = false;
  int pad_ = -1;
  Camera savedCamera_;
  std::vector<SoundClip> savedClips_;
  int32_t savedMasterVolume_ = 0;
  int32_t savedButtons_[Player::kActionCount] = {};
  int32_t padX_ = 0, padY_ = 0;
};

}  // namespace stagetest

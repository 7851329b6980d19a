#pragma once
// What the three bosses share beyond the enemy scheme (Enemy.h):
// - the entrance, counted in life frames: the announcement and the close-up
//   picture from the first, the levy pose from the 80th, the announcement
//   gone from the 240th;
// - the invulnerability: the guard is the invulnerable flag, kept up by a
//   countdown in invulnerableFrames that most states run once a frame;
//   while it is up with frames left the figure blinks cyan;
// - the armour: a hit costs 0.02 of its damage instead of 0.1, leaves the
//   state alone and raises the guard for 10 countdown frames;
// - the hit test in every state but the final one, with the report to the
//   stage player's enemy gauge; the final state ends the boss;
// - the walks: A (boss 1: ground, then the two side probes of the move
//   made) or B (bosses 2 and 3: three probes along the move heading, then
//   the ground), without the ceiling test;
// - the close-up: the boss posed at the origin and drawn from the front into
//   a 128 by 128 render target of its class, shown beside the announcement.
//
// A boss class derives from EnemyClassOf<Class, Boss>, which keeps its
// BossClass (model, announcement, close-up target), hands its BossParts to
// that base, and implements RunState as the enemy scheme says; the hit, the
// start of an armoured attack and the charge are written here once
// (HitFrame, ArmourUp, Charge).
#include <cstdint>
#include <span>

#include "actors/Enemy.h"
#include "render/Texture.h"

namespace port::gpu {
class RenderTarget;
}

// The class-wide part of a boss class: the shared model, the announcement
// picture and the close-up target. Never destroyed, so nothing of it runs at
// exit after the device is gone.
class BossClass {
 public:
  static constexpr uint32_t kCloseUpSize = 128;

  explicit BossClass(std::span<const char* const> files) : enemy(files) {}

  // The model (EnemyModel::Load), then the announcement and the close-up
  // target, each released before it is made again. A target that cannot be
  // made leaves the close-up out; a missing picture is not drawn. False when
  // the model did not load whole.
  bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
            EffectHolder* effect, Texture* toonRamp);
  // The target, the picture and the model; a second call does nothing.
  void Unload();
  // False while the model is not loaded: a boss nobody could see is not
  // spawned (a missing animation file only leaves its track still).
  bool HasFigure() const { return enemy.model.IsLoaded(); }

  EnemyModel enemy;
  Texture announcement;
  port::gpu::RenderTarget* closeUp = nullptr;

 private:
  void MakeCloseUpTarget(port::gpu::Device* device);
  void ReleaseCloseUpTarget();
};

// What the shared mechanics need to know of a boss beyond its enemy traits.
struct BossParts {
  int32_t levyState;  // the standing pose the entrance shows at life frame 80
  // Boss 1 plays its sounds, the landing included, alike everywhere; the
  // others from where they stand.
  bool plainSounds = false;
};

class Boss : public Enemy {
 public:
  // What EnemyClassOf keeps for the class; a boss nobody could see is not
  // spawned (BossClass::HasFigure).
  using ClassModel = BossClass;
  static bool CanSpawn(const BossClass& c) { return c.HasFigure(); }

  static constexpr int32_t kThinkState = 1;
  static constexpr int32_t kFirstInvulnerableFrames = 120;

  Boss(const EnemyTraits& traits, const BossParts& parts, BossClass& shared);

  // The scheme's Init, then: life frames 0, invulnerable for 120 frames,
  // armour off, calm. The announcement is left to the first Update.
  void Init(float x, float y, float z, float heading) override;
  // Nothing while dead; else one life frame: the entrance, the state and
  // the walk, the cross-fade, and the hit test unless in the final state.
  void Update() override;
  // The figure (blinking while invulnerable), the shadow, and the close-up
  // while the announcement shows.
  void Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) override;
  // The announcement and the close-up picture, each blinking, while the
  // announcement flag is up.
  void Draw2D(port::Sprite* sprite) override;

  // The invulnerability countdown of one frame.
  void Countdown();
  // True while the figure shows in the blink colour.
  bool Blinking() const;

  const BossParts parts;
  BossClass& bossClass;
  int32_t lifeFrames = 0;
  uint8_t armour = 0;
  uint8_t announcement = 0;
  uint8_t roused = 0;  // bosses 1 and 2: they have noticed the player
  // A close-up was drawn since Init: until then the class's picture may hold
  // another boss or nothing at all.
  uint8_t closeUpDrawn = 0;

 protected:
  void Move() override;
  void OnHit(DynamicObject& object) override;
  bool KeepsHeading() const override { return roused != 0; }
  bool Tint(port::Vec4* colour) const override;
  void ApplyGravity(float ground) override;

  // Boss 2's upper-body action, after the state routine.
  virtual void AfterState() {}
  // What a blocking wall means to the boss (a wall step that probed).
  virtual void OnWallStep(const WallStepResult& result) {}
  // The cross-fade of one frame (the scheme's by default).
  virtual void Blend() { BlendAnimation(); }
  // The figure: on screen it is posed once a frame and drawn.
  virtual void DrawFigure(const port::Matrix& world, const port::Matrix& view,
                          const port::Matrix& projection);
  // What the boss draws after its figure (boss 3's effects).
  virtual void DrawExtras(const port::Matrix& view, const port::Matrix& projection) {}
  // What the boss adds to its close-up, drawn with the close-up's view.
  virtual void DrawCloseUpExtras(const port::Matrix& closeView, const port::Matrix& projection) {}
  // The close-up: the boss at the origin, drawn into the class's target;
  // the caller's target, viewport and textures are put back.
  void DrawCloseUp(const port::Matrix& projection);
  // The close-up picture on the screen at (400, 150), when one was drawn.
  void DrawCloseUpPicture(port::Sprite* sprite) const;

  // Heading and move heading turned toward the player by at most `step`.
  void FacePlayer(float step);
  // A stage sound, plain or from the boss's place as the boss plays them.
  void Sound(SoundId id, int32_t offset) const;
  // A star of the charge, somewhere over the boss.
  void SpawnChargeStar() const;
  // The start of an armoured attack: armour on, hits let through to it,
  // the pose `anim` and the cry `voice` (at `offset`).
  void ArmourUp(int32_t anim, SoundId voice, int32_t offset);
  // The levy state's frame f after its cries: on frame `end` it thinks
  // again, a calm boss facing a random way; before, it stands turning to
  // the player.
  void LevyFrame(int32_t f, int32_t end, float turn);
  // The hit state's frame: the damage pose and cry (at `offset`) first;
  // guarded, calm and still until frame `end`, where it enters `next`
  // invulnerable for 120 frames.
  void HitFrame(int32_t end, int32_t next, int32_t offset);
  // A charge on state frame f: before frame `until` no hit lands, the boss
  // blinks and a star rises every `starEvery` frames; from it on hits land.
  void Charge(int32_t f, int32_t until, int32_t starEvery);

 private:
  bool inCloseUp_ = false;  // the close-up never blinks
};

#pragma once
// The scheme every enemy is built to, the small enemies and the bosses alike:
// a class-wide skinned model loaded once per scene; pooled instances in
// g_characters that a spawn initialises again instead of freeing; a state
// number with a frame counter that drives the class's state routines; a
// table-driven cross-fade over the model's animation sets; a walk on the
// stage field with gravity, landing and wall probes; a hit test against the
// players' objects in g_objects with a report to the stage player's enemy
// gauge; an on-screen test; a toon-shaded draw with a circle shadow.
//
// A new enemy class is the whole of this:
// - its CharacterKind (world/GameNumbering.h) and, if placement files name
//   it, its AppearKind (EnemyClasses.h);
// - one constexpr EnemyTraits, `static const EnemyTraits kTraits` in the
//   class, defined constexpr in its .cpp: kind and placement kind, gauge
//   face, model files in track order, animation records and table, walk,
//   hit points, gauge maximum, damage and dying states, wall turn, and the
//   numbers of the shared states it uses;
// - the class derives from EnemyClassOf<Class> (a boss from
//   EnemyClassOf<Class, Boss>), which gives it the class-wide model and the
//   static Shared, Load, Unload and Spawn; it extends Init for its own
//   fields (calling the base's Init first) and implements RunState: a
//   switch on `state` calling one routine per state, each of which begins
//   with ++stateFrame and acts on exact frame numbers. The states the small
//   enemies share are here (WanderFrame, WatchFrame, PauseFrame,
//   DamageFrame, DyingFrame, JumpFrame, IdleVoice), their numbers in the
//   traits;
// - its row in kEnemyClasses (EnemyClasses.cpp): through it the stages load
//   and unload it, the placement records of its kind spawn it and the
//   stage player's enemy gauge shows its face;
// - its placement kind in the class list of each stage that loads it
//   (scenes/StageScene.cpp), and its records in that stage's placement
//   files;
// - OnHit only when a hit does more than cost hit points (the default takes
//   damage x 0.1, reports to the gauge and enters the damage state, or the
//   dying state at 0), Move only for a walk of its own, and the hooks below
//   where it differs (KeepsHeading, Tint, TimeStep, AfterBlend,
//   ApplyGravity).
// The dying state ends with `alive = 0`; the instance then waits in the list
// for the next spawn of its kind.
#include <cstdint>
#include <memory>
#include <new>
#include <span>

#include "actors/StageSounds.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"
#include "port/math.h"
#include "render/SkinnedModel.h"
#include "world/Character.h"
#include "world/CharacterList.h"

class DynamicObject;
class EffectHolder;
class Texture;

// One row of an enemy class's animation table: what an animation id plays.
struct EnemyAnimRow {
  int32_t animId;
  int32_t track;     // the record it plays on: the model files' load order
  float timeStep;    // track time a frame; 0 holds the pose
  float weightStep;  // weight gained a frame, up to 1
  float fadeRate;    // weight every other track loses a frame
  bool oneShot;      // the time is held at 0.99 of the track's length
};

// The two walks of the small enemies.
enum class EnemyWalk {
  // State, step along the move heading, ground and gravity, then the walls
  // from the two side probes of the move actually made (Zako1, Zako2).
  kA,
  // State, step, the walls from three probes along the move heading, ground
  // and gravity, then the ceiling while rising (Zako3, Zako4).
  kB,
};

// The numbers of the states the small enemies share (Enemy::WanderFrame and
// the others); a class sets those of the states it uses.
struct EnemyStateNumbers {
  int32_t voiceOdds = 250;  // the idle voice: 1 in this a frame
  // Wander.
  int32_t newTargetOdds = 50;
  float wanderTurn = 1.0f;  // degrees a frame
  float wanderSpeed = 0.1f;
  // Watch: it looks about until watchEnd and spots the player within
  // sightAngle degrees of its facing and sightRange.
  int32_t watchEnd = 120;
  float lookAbout = 3.0f;  // degrees a frame
  float sightAngle = 30.0f;
  float sightRange = 20.0f;
  // Pause.
  int32_t pauseVoiceFrame = 30;
  int32_t pauseEnd = 150;
  float pauseTurn = 2.0f;  // degrees a frame, toward the player
  // Jump.
  float jumpSpeed = 0.4f;  // upward, added at take-off
  // Damage and dying.
  SoundId damageSound = kSoundEnemyHurt;
  int32_t damageEnd = 30;
  int32_t dyingEnd = 120;
};

// What one enemy class is made of; one constexpr value per class.
struct EnemyTraits {
  int32_t kind;  // CharacterKind: the pool's key
  // The AppearKind its placement records name, and the key the scenes load,
  // unload and spawn the class by (EnemyClasses.h); below 1 no record
  // places it.
  int32_t appearKind = 0;
  // The enemy gauge's picture of it; null: the picture of the class the
  // unlisted placement kinds spawn.
  const char* face = nullptr;
  int32_t records;  // animation records: at least the model's files
  // The model ("stop.X", whose own set is track 0), then one animation
  // file per further track.
  std::span<const char* const> files = {};
  std::span<const EnemyAnimRow> anims;
  EnemyAnimRow stand;  // what ids the table does not list play
  EnemyWalk walk = EnemyWalk::kA;
  bool startsAirborne = true;  // a fresh enemy falls (or snaps) to the ground
  float hitPoints = 0.0f;      // at Init
  float gaugeMax = 1.0f;       // the gauge's full bar for this enemy
  int32_t damageState = 0;     // entered by a hit that leaves hit points; 0: none
  int32_t dyingState = 0;      // entered by a hit that spends them
  // Degrees a frame the heading turns toward the way out of a wall after a
  // free slide; 0 leaves the heading as it was.
  float wallTurn = 0.0f;
  float hitMargin = 0.6f;  // added to an object's radius by the hit test
  float shadowSize = 0.6f;
  EnemyStateNumbers states = {};
};

// The class-wide part of an enemy class: the shared model and what its Load
// was given. Each class keeps one, never destroyed, so nothing of it runs at
// exit after the device is gone.
class EnemyModel {
 public:
  // files: the model ("stop.X", whose own set is track 0), then one
  // animation file per further track.
  explicit EnemyModel(std::span<const char* const> files) : files_(files) {}

  // Keeps the device, effect and ramp; reads the files into the model unless
  // it is loaded already (file i becomes track i); unless the method is 2
  // hands the model the effect and binds its six parameters (on every call).
  // False when the model did not load whole: what did load still draws.
  bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
            EffectHolder* effect, Texture* toonRamp);
  // The model; a second call does nothing.
  void Unload();

  SkinnedModel model;
  port::gpu::Device* device = nullptr;
  EffectHolder* effect = nullptr;
  Texture* toonRamp = nullptr;

 private:
  std::span<const char* const> files_;
};

class Enemy : public Character {
 public:
  // What EnemyClassOf keeps for the class, and whether it may spawn.
  using ClassModel = EnemyModel;
  static bool CanSpawn(const EnemyModel&) { return true; }

  Enemy(const EnemyTraits& traits, EnemyModel& shared);

  // Alive at (x, y, z) facing `heading` (degrees), airborne as the class
  // says, in state 1 with a random target heading, standing, hit points
  // full, guard clear, the first track at full weight and the others at
  // none, lengths from the model. The move heading and the animation id keep
  // what they held. Classes extend it for their own fields.
  virtual void Init(float x, float y, float z, float heading);

  // Nothing while dead; else the walk (state routine included), the
  // cross-fade, and the hit test unless the guard is up.
  void Update() override;
  // The figure when on screen (posed once a frame), and the shadow always.
  void Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) override;
  // The figure through the effect's third pass: no on-screen test, no shadow.
  void DrawSecondPass(port::Matrix view, port::Matrix projection) override;
  // The class's hit-test guard: while up, shots pass through.
  bool IsInvulnerable() const override { return guard != 0; }

  void SetState(int32_t newState);
  // Starts an animation: its track's time from 0.
  virtual void SetAnimation(int32_t id);
  // One frame of the cross-fade: the current id's track runs and gains
  // weight, every other track fades.
  void BlendAnimation();
  // The state routine and the walk of the class's variant.
  virtual void Move();
  // The first live object of the players that touches: it is marked hit and
  // OnHit reacts. One hit a frame.
  void HitTest();
  // Whether the figure at `world` can show on screen; kept in onScreen.
  bool TestOnScreen(port::Matrix world, port::Matrix view, port::Matrix projection);
  // Scaling 1, then the angles plus the extra rotation, then the position.
  port::Matrix WorldMatrix() const;

  const EnemyTraits& traits;
  EnemyModel& shared;

  float shadowHeight = 0.0f;  // ground + 0.05
  uint8_t onScreen = 1;
  uint8_t animated = 0;        // posed since the last Update
  float moveHeading = 0.0f;    // degrees: the way it walks
  float targetHeading = 0.0f;  // degrees: the way the states turn it
  float speed = 0.0f;          // along the move heading, units a frame
  float verticalSpeed = 0.0f;  // up is positive
  int32_t animId = kAnimStop;
  int32_t animFrame = 0;  // frames since SetAnimation
  int32_t state = 1;
  int32_t stateFrame = 0;    // counted from 1 by the state routines
  port::Vec3 extraRotation;  // degrees, added to the angles when drawn
  uint8_t guard = 0;         // the hit-test guard (dying, damaged, blown away...)
  float hitPoints = 0.0f;
  // The last ground found under the enemy (origin height), for a frame whose
  // ground ray misses.
  float lastGround = 0.0f;
  uint8_t groundKnown = 0;

 protected:
  // The routine of the current state; numbers without one run state 1's.
  virtual void RunState() = 0;
  // The reaction to a hit by `object` (already marked hit).
  virtual void OnHit(DynamicObject& object);
  // True while the walls may not turn the enemy (an aggressive chase).
  virtual bool KeepsHeading() const { return false; }
  // True, with the colour (0 to 1), while the figure is drawn in one colour.
  virtual bool Tint(port::Vec4* colour) const { return false; }
  // The time step of the current row this frame.
  virtual float TimeStep(const EnemyAnimRow& row, const AnimTrack& track) const {
    return row.timeStep;
  }
  // After each cross-fade frame: the class's own animated extras.
  virtual void AfterBlend(const EnemyAnimRow& row) {}
  // One gravity step against `ground` (the origin's resting height): the
  // small enemies' fall with a positional landing sound and dust.
  virtual void ApplyGravity(float ground);

  // Hit points -= damage x factor and the report to the gauge; true when
  // they are spent.
  bool TakeDamage(float damage, float factor = 0.1f);

  // The walk's pieces, for classes with a walk of their own.
  port::Vec3 Forward() const;           // along the move heading
  void StepAlong(const port::Vec3& d);  // x and z by d x speed
  // The ground straight below: the shadow and a gravity step against it.
  // With no ground below the enemy stays where it was (and, when airborne,
  // comes down on the last ground it knew). False when there is no ground.
  bool FollowGround();
  // The walls: what the probes found, and whether they ran.
  struct WallStepResult {
    bool probed = false;   // the enemy had moved, so the probes ran
    bool blocked = false;  // one of them met a wall
  };
  WallStepResult WallStep(const port::Vec3& m);
  // While rising, a ceiling within 1 puts the enemy back and stops the rise.
  void StopAtCeiling();

  // How far the wall probes reach.
  static constexpr float kWallReach = 1.5f;

  const EnemyAnimRow& RowOf(int32_t id) const;
  // The player's place (the chase target), its heading and distance from here.
  const port::Vec3& PlayerPosition() const;
  float YawToPlayer() const;
  double DistanceToPlayer() const;
  // A stage sound from the enemy's place.
  void PlaySound(SoundId id, int32_t offset) const;
  // A chance of 1 in n this frame.
  static bool OneIn(int n);

  // One frame of each state the small enemies share, numbers from
  // traits.states. The wander: the run pose, a new random target now and
  // then, the heading and the move heading turned toward it, the wander
  // speed while on the ground.
  void WanderFrame();
  // The idle voice, 1 in voiceOdds a frame.
  void IdleVoice();
  // The watch: it stands looking about, with the idle voice; at watchEnd it
  // enters `ended`. Spotting the player it enters `spotted` and answers true.
  bool WatchFrame(int32_t ended, int32_t spotted);
  // The pause: the levy pose, the pause voice, turning to the player
  // standing. True on the pauseEnd frame, where the class picks what follows.
  bool PauseFrame();
  // The damage: guarded and still, the damage sound and pose first. True on
  // the damageEnd frame, where the class picks what follows.
  bool DamageFrame();
  // The dying: guarded and still, the dying sound and pose first, dead at
  // dyingEnd.
  void DyingFrame();
  // The jump: the take-off on the first frame; true on a later frame once
  // it has landed, where the class picks what follows.
  bool JumpFrame();
  // A take-off: the jump sound and pose, jumpSpeed added upward, airborne.
  void TakeOff();

  // Hands the model this draw's view, projection, light and the enemy's
  // world matrix, which it returns.
  port::Matrix PrepareModel(const port::Matrix& view, const port::Matrix& projection,
                            const port::Vec4& light);
  // The circle shadow on the ground under the enemy.
  void DrawShadow(int32_t alpha) const;
  // Poses the model from the records once a frame (the animated flag).
  void Pose(bool loop);
  // The figure as the model's method draws it, posed already: the outline
  // and shaded passes of the toon effect, tinted while Tint says so.
  void Render();
};

// The class-wide part every enemy class has, written once: the class's
// model (Base::ClassModel: EnemyModel, or a boss's BossClass) made from
// Derived::kTraits.files and never destroyed, so nothing of it runs at exit
// after the device is gone; the static Load, Unload and Spawn the table of
// classes calls; the constructor that hands the traits and the model to the
// base (a boss passes its BossParts).
template <typename Derived, typename Base = Enemy>
class EnemyClassOf : public Base {
 public:
  using ClassModel = typename Base::ClassModel;

  static ClassModel& Shared() {
    static ClassModel* shared = new ClassModel(Derived::kTraits.files);
    return *shared;
  }
  // The class-wide model (see EnemyModel::Load, BossClass::Load).
  static bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                   EffectHolder* effect, Texture* toonRamp) {
    return Shared().Load(method, device, caps, effect, toonRamp);
  }
  static void Unload() { Shared().Unload(); }
  // One at (x, y, z) facing `heading` degrees: a dead one reused, or a new
  // one (SpawnEnemy); null when the class may not spawn (Base::CanSpawn).
  static Derived* Spawn(float x, float y, float z, float heading);

 protected:
  template <typename... Parts>
  explicit EnemyClassOf(const Parts&... parts) : Base(Derived::kTraits, parts..., Shared()) {}
};

// The spawn every enemy class shares: a dead enemy of the kind in
// g_characters is initialised again; else a new one is initialised and
// added. Null when neither can be had.
template <typename T>
T* SpawnEnemy(int32_t kind, float x, float y, float z, float heading) {
  const int i = g_characters.FindReusable(kind);
  if (i >= 0) {
    if (T* reused = dynamic_cast<T*>(g_characters.At(static_cast<size_t>(i)))) {
      reused->Init(x, y, z, heading);
      return reused;
    }
  }
  std::unique_ptr<T> made(new (std::nothrow) T);
  if (!made) return nullptr;
  made->Init(x, y, z, heading);
  T* enemy = made.get();
  g_characters.Add(std::move(made));
  return enemy;
}

template <typename Derived, typename Base>
Derived* EnemyClassOf<Derived, Base>::Spawn(float x, float y, float z, float heading) {
  if (!Base::CanSpawn(Shared())) return nullptr;
  return SpawnEnemy<Derived>(Derived::kTraits.kind, x, y, z, heading);
}

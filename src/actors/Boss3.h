#pragma once
// The boss of stage 3: it runs round the middle of the arena, keeps the
// field supplied with ball launchers, fires fans of glowing bullets and lays
// chains of target markers that end in explosions. While it runs a spinning
// twist shows under it; in its levy pose it holds a prop in each hand.
#include <cstdint>

#include "actors/Boss.h"

class ModelFrame;

// Any number without a routine thinks.
enum Boss3State : int32_t {
  kBoss3Think = 1,
  kBoss3Stand = 2,
  kBoss3Fire = 3,  // armoured
  kBoss3Markers = 4,
  kBoss3Hit = 5,
  kBoss3Levy = 6,
  kBoss3Defeated = 7,
};

class Boss3 : public EnemyClassOf<Boss3, Boss> {
 public:
  static constexpr int kRecords = 7;
  static constexpr int kDirections = 4;
  static const EnemyTraits kTraits;

  Boss3();

  // The class from "Xfile/3boss/" with the announcement, the close-up
  // target, the twist picture and the two props, then the boss-3 bullet's
  // and the marker's classes.
  static bool Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                   EffectHolder* effect, Texture* toonRamp);
  // All that Load made; a second call does nothing.
  static void Unload();

  void Init(float x, float y, float z, float heading) override;

  // A launcher at one of the four fixed places round the arena's centre
  // (0 east, 1 west, 2 north, 3 south), facing out; any other value drops
  // nothing.
  static void DropLauncher(int direction);

  uint8_t leftProp = 0;
  uint8_t rightProp = 0;
  uint8_t twist = 0;
  ModelFrame* rightArm = nullptr;
  ModelFrame* leftArm = nullptr;
  // Frames since Init, one per direction; nothing reads them.
  int32_t directionCounters[kDirections] = {};

 protected:
  void RunState() override;
  // A wall always turns boss 3 away.
  bool KeepsHeading() const override { return false; }
  void DrawExtras(const port::Matrix& view, const port::Matrix& projection) override;
  void DrawCloseUpExtras(const port::Matrix& closeView, const port::Matrix& projection) override;

 private:
  void StateThink();
  void StateStand();
  void StateFire();
  void StatePlaceMarkers();
  void StateHit();
  void StateLevy();
  void StateDefeated();
  void EffectsOff();
  void DrawProp(int which, const ModelFrame* arm) const;
};

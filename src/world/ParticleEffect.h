#pragma once
// Screen-facing billboard particles: dust, sparks, hits, explosions, charge
// glows, stars and smoke.
#include <cstdint>

#include "world/Effect.h"

namespace port::gpu {
class Device;
}

// A particle's kind: its texture, growth and life.
enum ParticleKind : int32_t {
  kParticleGlow = 1,         // particle1, 20 frames
  kParticleGlowShrink = 2,   // particle1, shrinks, 15 frames
  kParticleSpark = 3,        // particle2, 3 frames
  kParticleSparkShrink = 4,  // particle2, shrinks until gone
  kParticleDust = 5,         // particle3, shrinks fast to 1.0
  kParticleDustSlow = 6,     // particle3, shrinks to 0.5
  kParticleHit = 7,          // hit_explosion, grows, 15 frames
  kParticleCharge = 8,       // charge1, grows fast, 5 frames
  kParticleNone = 9,         // not drawn, 20 frames
  kParticleStar = 10,        // star1, spins, 20 frames
  kParticleStarPulse = 11,   // star2, shrinks through zero and back, 60 frames
  kParticleSmoke = 100,      // smoke1 in the alpha-blended pass, grows, 20 frames
};

struct ParticleSpawn {
  port::Vec3 at;
  float scale = 1.0f;
  float pitch = 0.0f;  // degrees
  float yaw = 0.0f;
  float speed = 0.0f;  // units a frame
  int32_t kind = kParticleGlow;
  uint8_t active = 1;
};

class ParticleEffect : public Effect {
 public:
  ParticleEffect() { type = kEffectParticle; }

  // Reuses an inactive particle of the list or makes a new one.
  static ParticleEffect* Spawn(const ParticleSpawn& spawn);
  // The same at scale 1, whatever the struct's scale says.
  static ParticleEffect* SpawnUnitScale(ParticleSpawn spawn);
  static void LoadResources(port::gpu::Device* device);
  static void ReleaseResources();

  void Init(const ParticleSpawn& spawn);
  void Update() override;
  void Draw(port::Matrix view, port::Matrix projection) override;          // smoke only
  void DrawAdditive(port::Matrix view, port::Matrix projection) override;  // the others

  int32_t kind = 0;
  float scale = 1.0f;
  float spin = 0.0f;  // degrees
  float speed = 0.0f;

 private:
  void DrawSprite(port::Matrix view, port::Matrix projection, bool smoke);
};

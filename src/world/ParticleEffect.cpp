#include "world/ParticleEffect.h"

#include <cstring>

#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "render/Billboard.h"
#include "render/Camera.h"
#include "render/Texture.h"
#include "world/EffectList.h"

namespace {

enum ParticleTexture {
  kParticle1,
  kParticle2,
  kStar1,
  kParticle3,
  kHitExplosion,
  kStar2,
  kCharge1,
  kSmoke1,
  kTextureCount
};

constexpr const char* kTexturePaths[kTextureCount] = {
    "texture/effect/particle1.png", "texture/effect/particle2.png",     "texture/effect/star1.png",
    "texture/effect/particle3.png", "texture/effect/hit_explosion.png", "texture/effect/star2.png",
    "texture/effect/charge1.png",   "texture/effect/smoke1.png",
};

struct Resources {
  port::gpu::Device* device = nullptr;
  Billboard billboard;
  Texture textures[kTextureCount];
  // The last view x projection inverted, and its inverse: every sprite of a
  // viewport inverts the same one.
  bool inverseKnown = false, invertible = false;
  port::Matrix inverted, inverse;
};

// The inverse of m through the cache; false when m has none.
bool CachedInverse(Resources& r, const port::Matrix& m, port::Matrix* out) {
  if (!r.inverseKnown || std::memcmp(&r.inverted, &m, sizeof m) != 0) {
    r.inverted = m;
    r.invertible = port::MatrixInverse(m, &r.inverse);
    r.inverseKnown = true;
  }
  if (r.invertible) *out = r.inverse;
  return r.invertible;
}

// Class-wide, and never destroyed: the effect list may release it at exit
// after other program-wide objects are gone.
Resources& Shared() {
  static Resources* resources = new Resources;
  return *resources;
}

// The kind's texture, or -1 for kinds that are never drawn.
int TextureOf(int32_t kind) {
  switch (kind) {
    case kParticleGlow:
    case kParticleGlowShrink:
      return kParticle1;
    case kParticleSpark:
    case kParticleSparkShrink:
      return kParticle2;
    case kParticleDust:
    case kParticleDustSlow:
      return kParticle3;
    case kParticleHit:
      return kHitExplosion;
    case kParticleCharge:
      return kCharge1;
    case kParticleStar:
      return kStar1;
    case kParticleStarPulse:
      return kStar2;
    case kParticleSmoke:
      return kSmoke1;
    default:
      return -1;
  }
}
port::Vec3 DirectionOf(float pitch, float yaw) {
  return port::Vec3TransformCoord(
      {0.0f, 0.0f, 1.0f},
      port::MatrixRotationYawPitchRoll(yaw * kDegToRad, pitch * kDegToRad, 0.0f));
}
}  // namespace

ParticleEffect* ParticleEffect::Spawn(const ParticleSpawn& spawn) {
  ParticleEffect* p = g_effects.ReuseOrAdd<ParticleEffect>(kEffectParticle);
  p->Init(spawn);
  return p;
}

ParticleEffect* ParticleEffect::SpawnUnitScale(ParticleSpawn spawn) {
  spawn.scale = 1.0f;
  return Spawn(spawn);
}

void ParticleEffect::Init(const ParticleSpawn& spawn) {
  position = spawn.at;
  scale = spawn.scale;
  speed = spawn.speed;
  kind = spawn.kind;
  active = spawn.active;
  age = 0;
  direction = DirectionOf(spawn.pitch, spawn.yaw);
  spin = static_cast<float>(RandomInt(360));
}

void ParticleEffect::Update() {
  if (!active) return;
  ++age;
  bool ends = false;
  switch (kind) {
    case kParticleGlow:
      ends = age > 20;
      break;
    case kParticleGlowShrink:
      scale -= 0.03f;
      ends = age > 15 || scale < 0.0f;
      break;
    case kParticleSpark:
      ends = age > 3;
      break;
    case kParticleSparkShrink:
      scale -= 0.03f;
      ends = scale < 0.0f;
      break;
    case kParticleDust:
      scale -= 0.1f;
      ends = scale < 1.0f;
      break;
    case kParticleDustSlow:
      scale -= 0.05f;
      ends = scale < 0.5f;
      break;
    case kParticleHit:
      scale += 0.1f;
      ends = age > 15;
      break;
    case kParticleCharge:
      scale += 0.2f;
      ends = age > 5;
      break;
    case kParticleStar:
      spin += 3.0f;
      ends = age > 20;
      break;
    case kParticleStarPulse:
      if (age == 1) scale = 0.1f;
      if (age <= 30) {
        scale -= 0.05f;
      } else {
        scale += 0.05f;
      }
      ends = age >= 60;
      break;
    case kParticleSmoke:
      scale += 0.03f;
      ends = age > 20;
      break;
    default:  // kParticleNone and unknown kinds only age
      ends = age > 20;
      break;
  }
  if (ends) active = 0;
  position += direction * speed;
}

void ParticleEffect::LoadResources(port::gpu::Device* device) {
  Resources& r = Shared();
  r.device = device;
  r.billboard.Create(device);
  for (int i = 0; i < kTextureCount; ++i) r.textures[i].Load(device, kTexturePaths[i], 0);
}

void ParticleEffect::ReleaseResources() {
  Resources& r = Shared();
  r.billboard.Release();
  for (Texture& t : r.textures) t.Release();
}

void ParticleEffect::Draw(port::Matrix view, port::Matrix projection) {
  if (kind == kParticleSmoke) DrawSprite(view, projection, true);
}

void ParticleEffect::DrawAdditive(port::Matrix view, port::Matrix projection) {
  if (kind != kParticleSmoke) DrawSprite(view, projection, false);
}

// A screen-facing sprite built in clip space and carried back to the world by
// the inverse of view x projection, so it lands on the particle's position.
void ParticleEffect::DrawSprite(port::Matrix view, port::Matrix projection, bool smoke) {
  if (!active) return;
  const int texture = TextureOf(kind);
  if (texture < 0) return;
  Resources& r = Shared();
  if (!r.device || r.device != port::gpu::Device::Current()) return;
  const port::Vec4 c = ProjectToClipW(port::MatrixTranslation(position.x, position.y, position.z),
                                      g_camera.GetView(), g_camera.GetProjection());
  if (c.z < 1.0f) return;  // at or behind the near plane
  const float size = smoke ? scale / c.z : scale / (c.z + 1.0f);
  float bias = 0.0f;
  if (kind == kParticleGlowShrink) bias = -0.001f;
  if (kind == kParticleDust) bias = -0.0005f;
  port::Matrix toWorld;
  if (!CachedInverse(r, view * projection, &toWorld)) return;
  const port::Matrix world = port::MatrixScaling(size, size, 1.0f) *
                             port::MatrixRotationZ(spin * kDegToRad) *
                             port::MatrixTranslation(c.x, c.y, c.z / c.w + bias) * toWorld;
  r.billboard.Draw(world, r.textures[texture].Get());
}

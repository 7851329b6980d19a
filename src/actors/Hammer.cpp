#include "actors/Hammer.h"

#include <cmath>

#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "port/gpu.h"

using port::gpu::RenderState;
using port::gpu::SamplerState;

namespace {

struct HammerNumbers {
  float radius = 0.7f;
  float damage = 15.0f;
  float headSpin = 5.5f;    // degrees of roll a frame
  int32_t soundEvery = 40;  // the creak on ages 1, 41, 81, ...
};
constexpr HammerNumbers kHammer;

// Each mode's turn: heading change a frame, and for the rocking modes the
// pitch from the age.
struct HammerTurn {
  float headingStep;
  int32_t rock;  // 0 none, +1 pitch (sin + 1) x 20, -1 pitch 20 - sin x 20
};
constexpr HammerTurn kHammerTurns[] = {
    {0.0f, 0},   // swing: its own cycle
    {1.5f, 1},   // seesaw up
    {1.5f, -1},  // seesaw down
    {2.45f, 0},  // fast
    {1.5f, 0},   // steady
    {-2.0f, 0},  // back
    {-1.0f, 0},  // slow back
};
constexpr float kRockRate = 3.5f;  // degrees of the sine a frame
constexpr float kRockDepth = 20.0f;

// The swing cycle: turns forward while t < forwardUntil, back while
// backFrom < t < backUntil, rests otherwise.
struct SwingCycle {
  int32_t period = 500;
  int32_t forwardUntil = 270;
  int32_t backFrom = 330;
  int32_t backUntil = 440;
  float step = 1.5f;
};
constexpr SwingCycle kSwing;

}  // namespace

Hammer::Hammer()
    : ShotClass({.radius = kHammer.radius, .damage = kHammer.damage, .owner = kOwnerEnemy}) {}

void Hammer::Init(const HammerSpawn& spawn) {
  InitShot(spawn.at, spawn.heading, spawn.owner);
  rotation.x = spawn.pitch;
  mode = spawn.mode;
  // Laid along +z until the first update swings them round.
  for (int i = 0; i < kArmPoints; ++i) {
    extraPoints.push_back(position + port::Vec3{0.0f, 0.0f, static_cast<float>(i)});
  }
}

void Hammer::Turn() {
  if (mode <= kHammerSwing || mode > kHammerSlowBack) {
    // Any mode not in the table swings.
    const int32_t t = frameCounter % kSwing.period;
    if (t < kSwing.forwardUntil) {
      rotation.y += kSwing.step;
    } else if (t > kSwing.backFrom && t < kSwing.backUntil) {
      rotation.y -= kSwing.step;
    }
    return;
  }
  const HammerTurn& turn = kHammerTurns[mode];
  rotation.y += turn.headingStep;
  if (turn.rock == 0) return;
  const float s = std::sin(static_cast<float>(frameCounter) * kRockRate * kDegToRad);
  rotation.x = turn.rock > 0 ? (s + 1.0f) * kRockDepth : kRockDepth - s * kRockDepth;
}

void Hammer::Update() {
  if (!alive) return;
  ++frameCounter;
  rotation.z += kHammer.headSpin;
  Turn();
  const port::Vec3 d = Orient();
  extraPoints.resize(kArmPoints);
  for (int i = 0; i < kArmPoints; ++i) extraPoints[i] = position - d * static_cast<float>(i);
  if (frameCounter % kHammer.soundEvery == 1) {
    g_sound.PlaySoundAt(position.x, position.y, position.z, kSoundHammer, kQuieter10dB);
  }
  if (hitState == 1) {
    // A hit changes nothing but the sound: the hammer turns on.
    g_sound.PlaySoundAt(position.x, position.y, position.z, kSoundHit, kQuieter10dB);
    hitState = 0;
  }
}

void Hammer::Draw() {
  if (!alive) return;
  port::gpu::Device* device = Model().Device();
  if (!device || device != port::gpu::Device::Current()) return;
  // The wood may tile; lit by the list's ambient. Every state is put back as
  // it was, so the objects drawn after a hammer look the same.
  const uint32_t lighting = device->GetRenderState(RenderState::Lighting);
  const uint32_t u = device->GetSamplerState(0, SamplerState::AddressU);
  const uint32_t v = device->GetSamplerState(0, SamplerState::AddressV);
  device->SetSamplerState(0, SamplerState::AddressU, port::gpu::AddressWrap);
  device->SetSamplerState(0, SamplerState::AddressV, port::gpu::AddressWrap);
  device->SetRenderState(RenderState::Lighting, 1);
  Model().Draw(orientation * port::MatrixTranslation(position.x, position.y, position.z));
  device->SetSamplerState(0, SamplerState::AddressU, u);
  device->SetSamplerState(0, SamplerState::AddressV, v);
  device->SetRenderState(RenderState::Lighting, lighting);
}

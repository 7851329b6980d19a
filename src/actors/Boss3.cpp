#include "actors/Boss3.h"

#include <cmath>

#include "actors/BallLauncher.h"
#include "actors/Boss3Tama.h"
#include "actors/EnemyClasses.h"
#include "actors/Marker3D.h"
#include "actors/ScreenPicture.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "port/gpu.h"
#include "render/StaticMesh.h"
#include "world/ParticleEffect.h"

namespace {

constexpr const char* kBoss3Files[] = {
    "Xfile/3boss/stop.X", "Xfile/3boss/run.X",    "Xfile/3boss/attack1.X", "Xfile/3boss/attack2.X",
    "Xfile/3boss/levy.X", "Xfile/3boss/damage.X", "Xfile/3boss/dying.X",
};

enum Boss3Track : int32_t {
  kTrackStop = 0,
  kTrackRun = 1,
  kTrackAttack1 = 2,
  kTrackAttack2 = 3,
  kTrackLevy = 4,
  kTrackDamage = 5,
  kTrackDying = 6,
};

constexpr EnemyAnimRow kBoss3Anims[] = {
    {kAnimRun, kTrackRun, 1.5f, 0.5f, 0.5f, false},
    {kAnimAttack1, kTrackAttack1, 0.5f, 0.1f, 0.1f, true},
    {kAnimAttack2, kTrackAttack2, 0.2f, 0.1f, 0.1f, true},
    {kAnimLevy, kTrackLevy, 0.3f, 0.05f, 0.05f, true},
    {kAnimDamage, kTrackDamage, 0.6f, 0.1f, 0.1f, false},
    {kAnimDying, kTrackDying, 0.4f, 0.1f, 0.1f, true},
};

constexpr BossParts kBoss3Parts = {.levyState = kBoss3Levy, .plainSounds = false};

struct LauncherPlace {
  port::Vec3 at;
  float heading;
};
constexpr LauncherPlace kLauncherPlaces[Boss3::kDirections] = {
    {{5.3f, 1.2f, 0.0f}, 90.0f},
    {{-5.3f, 1.2f, 0.0f}, 270.0f},
    {{0.0f, 1.2f, 5.3f}, 0.0f},
    {{0.0f, 1.2f, -5.3f}, 180.0f},
};

struct Boss3Numbers {
  int32_t voiceOdds = 250;
  int32_t voiceOffset = kQuieter5dB;
  int32_t shotOffset = kQuieter10dB;
  // Think.
  int32_t dustEvery = 2;
  int32_t newTargetOdds = 30;
  float runTurn = 3.0f;
  double arenaRadius = 18.0;  // farther from the centre it turns back
  float runSpeed = 0.3f;
  int32_t settled = 20;  // frames in state before it may choose
  int32_t standOdds = 250, levyOdds = 400, fireOdds = 150, markersOdds = 250;
  int32_t launcherEvery = 80;
  // Stand.
  int32_t standEnd = 60;
  int32_t standVoiceEvery = 30;
  float lookRound = 3.0f;
  // Fire.
  int32_t fanFrame = 90, fireEnd = 120;
  float aimTurn = 2.0f;
  float fanPitchStep = 45.0f;  // degrees between the bullets of a fan
  float fanHeading = 90.0f;    // across the boss's facing
  // Markers.
  int32_t markersLaunchers = 3;
  int32_t chargeVoice = 60, markerVoice = 115, markerFrame = 125, markersEnd = 140;
  int32_t starEvery = 10;
  int32_t markerYawRange = 70, markerYawLeast = 10;  // degrees from +z
  float markerNearest = 3.0f;
  float markerHeight = 0.5f;
  // Hit, levy, defeat.
  int32_t hitEnd = 80;
  int32_t levyVoice = 30, propsShown = 66, sparksFrom = 181, sparksUntil = 199, levyEnd = 220;
  int32_t defeatedEnd = 130, staggerUntil = 100;
  float staggerSpeed = 0.05f;
  // Drawing.
  float twistBelow = 0.68f;  // under the origin, on the stage
  float twistSize = 0.8f;
  float closeUpTwistBelow = 0.8f;
  float closeUpTwistSize = 1.0f;
  float twistSpin = 7.0f;  // degrees a life frame
  float nearest = 1.0f;    // w below this: too near or behind the eye
};
constexpr Boss3Numbers kBoss3;

// The props in the hands: the mesh and how it sits on the forearm.
struct PropPlace {
  const char* file;
  float yaw;    // degrees, applied first
  float pitch;  // degrees
  port::Vec3 grip;
};
constexpr PropPlace kProps[2] = {
    {"Xfile/3boss/sugger.X", 0.0f, -116.0f, {0.0f, 0.05f, 0.3f}},    // left hand
    {"Xfile/3boss/lighter.X", 90.0f, -178.0f, {0.0f, 0.05f, 0.3f}},  // right hand
};

struct Boss3Effects {
  ScreenPicture twist{"texture/effect/twist.png"};
  StaticMesh props[2];
};

Boss3Effects& Effects() {
  static Boss3Effects* e = new Boss3Effects;
  return *e;
}

}  // namespace

constexpr EnemyTraits Boss3::kTraits = {
    .kind = kCharacterBoss3,
    .appearKind = kAppearBoss3,
    .face = "texture/battle/enemyFace/3boss_face.png",
    .records = kRecords,
    .files = kBoss3Files,
    .anims = kBoss3Anims,
    .stand = {kAnimStop, kTrackStop, 0.5f, 0.1f, 0.1f, false},
    .walk = EnemyWalk::kB,
    .startsAirborne = true,
    .hitPoints = 6.0f,
    .gaugeMax = 6.0f,
    .damageState = kBoss3Hit,
    .dyingState = kBoss3Defeated,
    .wallTurn = 3.0f,
};

Boss3::Boss3() : EnemyClassOf(kBoss3Parts) {}

bool Boss3::Load(int method, port::gpu::Device* device, const port::gpu::Caps& caps,
                 EffectHolder* effect, Texture* toonRamp) {
  const bool whole = Shared().Load(method, device, caps, effect, toonRamp);
  Boss3Effects& e = Effects();
  e.twist.Load(device);
  for (int i = 0; i < 2; ++i) e.props[i].Load(device, kProps[i].file);
  Boss3Tama::Load(device);
  Marker3D::Load(device);
  return whole;
}

void Boss3::Unload() {
  Boss3Effects& e = Effects();
  for (StaticMesh& prop : e.props) prop.Release();
  e.twist.Unload();
  Boss3Tama::Unload();
  Marker3D::Unload();
  Shared().Unload();
}

void Boss3::Init(float x, float y, float z, float heading) {
  Boss::Init(x, y, z, heading);
  leftProp = rightProp = twist = 0;
  rightArm = shared.model.FindFrame("Frame18_right_arm1");
  leftArm = shared.model.FindFrame("Frame15_left_arm1");
  for (int32_t& c : directionCounters) c = 0;
}

void Boss3::DropLauncher(int direction) {
  if (direction < 0 || direction >= kDirections) return;
  const LauncherPlace& p = kLauncherPlaces[direction];
  BallLauncher::Spawn({.at = p.at, .heading = p.heading, .owner = kOwnerEnemy});
}

void Boss3::EffectsOff() { leftProp = rightProp = twist = 0; }

void Boss3::RunState() {
  for (int32_t& c : directionCounters) ++c;
  switch (state) {
    case kBoss3Stand:
      StateStand();
      break;
    case kBoss3Fire:
      StateFire();
      break;
    case kBoss3Markers:
      StatePlaceMarkers();
      break;
    case kBoss3Hit:
      StateHit();
      break;
    case kBoss3Levy:
      StateLevy();
      break;
    case kBoss3Defeated:
      StateDefeated();
      break;
    default:
      StateThink();
      break;
  }
}

void Boss3::StateThink() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimRun);
    armour = 0;
    twist = 1;
    leftProp = rightProp = 0;
  }
  if (f % kBoss3.dustEvery == 0) {
    const float dx = RandomFloat(100.0f, 0.01f);
    const float dz = RandomFloat(60.0f, 0.01f);
    ParticleEffect::Spawn(position.x - 0.5f + dx, position.y - 0.8f, position.z - 0.3f + dz, 0.2f,
                          -90.0f, 0.0f, 0.02f, kParticleSmoke, 1);
  }
  if (OneIn(kBoss3.voiceOdds)) Sound(kSoundEnemyIdle, kBoss3.voiceOffset);
  Countdown();
  if (OneIn(kBoss3.newTargetOdds)) targetHeading = static_cast<float>(RandomInt(360));
  angle.y = TurnToward(targetHeading, angle.y, kBoss3.runTurn);
  if (Distance3(position.x, position.y, position.z, 0.0f, 0.0f, 0.0f) > kBoss3.arenaRadius) {
    targetHeading = YawTo(position.x, position.z, 0.0f, 0.0f);
    angle.y = TurnToward(targetHeading, angle.y, kBoss3.runTurn);
  }
  speed = kBoss3.runSpeed;
  moveHeading = angle.y;
  if (f > kBoss3.settled) {
    if (OneIn(kBoss3.standOdds)) SetState(kBoss3Stand);
    if (OneIn(kBoss3.levyOdds)) SetState(kBoss3Levy);
    if (OneIn(kBoss3.fireOdds)) SetState(kBoss3Fire);
    if (OneIn(kBoss3.markersOdds)) SetState(kBoss3Markers);
  }
  if (f % kBoss3.launcherEvery == 0) DropLauncher(RandomInt(kDirections));
}

void Boss3::StateStand() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimStop);
    EffectsOff();
    DropLauncher(RandomInt(2));
    DropLauncher(RandomInt(2) + 2);
  }
  if (f == kBoss3.standEnd) {
    SetState(kBoss3Think);
    return;
  }
  Countdown();
  if (f % kBoss3.standVoiceEvery == 1) Sound(kSoundEnemyIdle, kAtMasterVolume);
  speed = 0.0f;
  angle.y += kBoss3.lookRound;
}

void Boss3::StateFire() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimAttack1);
    Sound(kSoundArmourVoice, kBoss3.voiceOffset);
    armour = 1;
    EffectsOff();
    DropLauncher(RandomInt(kDirections));
  }
  if (f == kBoss3.fanFrame) {
    Sound(kSoundEnemyShot, kBoss3.shotOffset);
    const port::Vec3 d = DirectionFromAngles(0.0f, angle.y, 0.0f);
    // A fan standing across the boss's facing, from level to straight down
    // the other side.
    for (int i = 0; i >= -4; --i) {
      Boss3Tama::Spawn({.at = position + d,
                        .pitch = kBoss3.fanPitchStep * static_cast<float>(i),
                        .heading = angle.y + kBoss3.fanHeading,
                        .mode = kBoss3TamaCircle,
                        .owner = kOwnerEnemy});
    }
  }
  if (f == kBoss3.fireEnd) {
    armour = 0;
    SetState(kBoss3Think);
    return;
  }
  Countdown();
  FacePlayer(kBoss3.aimTurn);
  speed = 0.0f;
}

void Boss3::StatePlaceMarkers() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimAttack2);
    g_sound.PlaySound(kSoundPowerCharge, kBoss3.shotOffset);
    EffectsOff();
    for (int i = 0; i < kBoss3.markersLaunchers; ++i) DropLauncher(RandomInt(kDirections));
  }
  if (f == kBoss3.chargeVoice) Sound(kSoundChargeVoice, kBoss3.voiceOffset);
  if (f == kBoss3.markerVoice) Sound(kSoundMarkerChain, kBoss3.voiceOffset);
  if (f == kBoss3.markerFrame) {
    // The chain's first marker, 3 to 14 units out at a yaw of 10 to 80
    // degrees; the marker lays the rest itself.
    const float yaw = static_cast<float>(RandomInt(kBoss3.markerYawRange) + kBoss3.markerYawLeast);
    const port::Vec3 d = DirectionFromAngles(0.0f, yaw, 0.0f);
    const float reach = kBoss3.markerNearest + RandomFloat(110.0f, 0.1f);
    Marker3D::Spawn(
        {.at = {d.x * reach, kBoss3.markerHeight, d.z * reach}, .index = 0, .owner = kOwnerEnemy});
  }
  if (f == kBoss3.markersEnd) {
    SetState(kBoss3Think);
    return;
  }
  // Invulnerable while it charges; hits land again from the marker on, as
  // with the other bosses' charges (Boss3Test.MarkersLetHitsLandFromTheMarkerOn).
  Charge(f, kBoss3.markerFrame, kBoss3.starEvery);
  FacePlayer(kBoss3.aimTurn);
  speed = 0.0f;
}

void Boss3::StateHit() {
  if (stateFrame == 0) EffectsOff();  // before the first frame's pose
  // Boss 3 is never roused: the hit's calming changes nothing.
  HitFrame(kBoss3.hitEnd, kBoss3Think, kBoss3.shotOffset);
}

void Boss3::StateLevy() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    SetAnimation(kAnimLevy);
    EffectsOff();
    for (int d = 0; d < kDirections; ++d) DropLauncher(d);
  }
  if (f == kBoss3.levyVoice) Sound(kSoundLevyVoice, kBoss3.voiceOffset);
  if (f == kBoss3.propsShown) leftProp = rightProp = 1;
  if (f >= kBoss3.sparksFrom && f <= kBoss3.sparksUntil) {
    const float pitch = static_cast<float>(RandomInt(20) - 30);
    const float yaw = angle.y + static_cast<float>(RandomInt(20) - 10);
    ParticleEffect::Spawn(position.x, position.y - 0.1f, position.z, 0.1f, pitch, yaw, 0.1f,
                          kParticleSmoke, 1);
  }
  if (f == kBoss3.levyEnd) {
    // The left prop stays until the think state puts both away.
    rightProp = twist = 0;
    angle.y = static_cast<float>(RandomInt(360));
    SetState(kBoss3Think);
    return;
  }
  Countdown();
  speed = 0.0f;
}

void Boss3::StateDefeated() {
  const int32_t f = ++stateFrame;
  if (f == 1) {
    EffectsOff();
    SetAnimation(kAnimDying);
    Sound(kSoundEnemyDying, kBoss3.shotOffset);
    moveHeading = angle.y + 180.0f;
  }
  if (f == kBoss3.defeatedEnd) alive = 0;
  guard = 1;
  invulnerableFrames = 0;
  speed = f < kBoss3.staggerUntil ? kBoss3.staggerSpeed : 0.0f;
}

void Boss3::DrawExtras(const port::Matrix& view, const port::Matrix& projection) {
  Boss3Effects& e = Effects();
  if (twist) {
    const port::Vec4 p = ProjectToClipW(
        port::MatrixTranslation(position.x, position.y - kBoss3.twistBelow, position.z), view,
        projection);
    // Too near the eye or behind it: neither the twist nor the props.
    if (p.w < kBoss3.nearest) return;
    const float s = kBoss3.twistSize / (p.z + 1.0f);
    e.twist.Draw(p, s, s, static_cast<float>(lifeFrames) * kBoss3.twistSpin);
  }
  // The props hang on the arms as this frame's draw posed them: with the
  // figure off screen there is no such pose, and no prop to see either.
  if (!onScreen) return;
  if (leftProp) DrawProp(0, leftArm);
  if (rightProp) DrawProp(1, rightArm);
}

void Boss3::DrawProp(int which, const ModelFrame* arm) const {
  port::gpu::Device* device = shared.device;
  StaticMesh& mesh = Effects().props[which];
  if (!arm || !device || device != port::gpu::Device::Current() || !mesh.GetMesh()) return;
  const PropPlace& p = kProps[which];
  const port::Matrix world = port::MatrixRotationY(p.yaw * kDegToRad) *
                             port::MatrixRotationX(p.pitch * kDegToRad) *
                             port::MatrixTranslation(p.grip.x, p.grip.y, p.grip.z) * arm->combined;
  device->SetTransform(port::gpu::TransformType::World, world);
  mesh.Draw();
}

void Boss3::DrawCloseUpExtras(const port::Matrix& closeView, const port::Matrix& projection) {
  if (!twist) return;
  const port::Vec4 p = ProjectToClipW(
      port::MatrixTranslation(0.0f, -kBoss3.closeUpTwistBelow, 0.0f), closeView, projection);
  const float s = kBoss3.closeUpTwistSize / (p.z + 1.0f);
  Effects().twist.Draw(p, s, s, static_cast<float>(lifeFrames) * kBoss3.twistSpin);
}

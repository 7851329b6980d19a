// The battle player in the fight: its keys or pad (PlayerInput.h), its shot,
// the lock-on on the nearest other player, the hits of other players' (and
// the enemy side's) objects with their points, knock-back, piyori and the
// walls.
#include "actors/BattlePlayer.h"
#include "actors/Motion.h"
#include "actors/Player1Shots.h"
#include "actors/PlayerTamas.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/ObjectList.h"

namespace {

struct HitNumbers {
  float margin = 0.6f;       // added to an object's radius
  int32_t hitPoints = 1;     // to the owner of what knocked a player back
  int32_t piyoriPoints = 2;  // to the same owner when the victim is stunned
  int32_t piyoriLoss = 3;    // the victim's loss
};
constexpr HitNumbers kHit;

bool Touches(const port::Vec3& p, const port::Vec3& at, float reach) {
  return Distance3(p.x, p.y, p.z, at.x, at.y, at.z) < static_cast<double>(reach);
}

}  // namespace

bool BattlePlayer::IsDirectionDown(int direction) const {
  return BattlePlayerInput(id - kOwnerBattlePlayer1, PlayerCount()).IsDirectionDown(direction);
}

bool BattlePlayer::IsActionDown(int action) const {
  return BattlePlayerInput(id - kOwnerBattlePlayer1, PlayerCount())
      .IsActionDown(action, GetButton(action));
}

void BattlePlayer::Shoot() {
  g_sound.PlaySound(kSoundShot, kQuieter20dB);
  const port::Vec3& p = position;
  switch (character) {
    case 1:
      Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
      break;
    case 2:
      Player2Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
      break;
    case 3:
      Player3Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
      break;
    case 4:
      Player4Tama::Spawn({.at = p, .heading = angle.y, .owner = id});
      break;
    default:
      break;
  }
  if (tracks.size() > 4) tracks[4].time = 0.0f;
}

bool BattlePlayer::ShowsJump() const { return mode == kBattleFight || mode == kBattleStart; }

// The nearest other player, standing or not.
bool BattlePlayer::FindLockOnTarget(float reach, float* yaw) const {
  BattlePlayer* players = Players();
  const int32_t count = PlayerCount();
  const BattlePlayer* nearest = nullptr;
  double best = reach;
  for (int32_t i = 0; players && i < count; ++i) {
    const BattlePlayer& other = players[i];
    if (&other == this) continue;
    const port::Vec3& p = other.position;
    const double d = Distance3(position.x, position.y, position.z, p.x, p.y, p.z);
    if (d < best) {
      best = d;
      nearest = &other;
    }
  }
  if (!nearest) return false;
  *yaw = YawTo(position.x, position.z, nearest->position.x, nearest->position.z);
  return true;
}

// Every object of another owner that touches the player is marked hit, even
// while the player is invulnerable (invulnerable players still eat shots and
// set off mines); only a player that can be hurt is knocked back, by the
// first such touch of the frame.
void BattlePlayer::CheckHits() {
  const size_t count = g_objects.Size();
  for (size_t i = 0; i < count; ++i) {
    DynamicObject* o = g_objects.At(i);
    if (!o || !o->IsAlive() || o->GetOwner() == id) continue;
    const float reach = o->GetRadius() + kHit.margin;
    port::Vec3 at;
    o->GetPosition(&at);
    if (Touches(position, at, reach)) {
      o->SetHit(1);
      if (!invulnerable) {
        KnockBackFrom(*o);
        return;
      }
    }
    for (const port::Vec3* e = o->GetExtraPointsBegin(); e != o->GetExtraPointsEnd(); ++e) {
      if (!Touches(position, *e, reach)) continue;
      o->SetHit(1);
      if (!invulnerable) {
        KnockBackFrom(*o);
        return;
      }
    }
  }
}

void BattlePlayer::KnockBackFrom(const DynamicObject& object) {
  // The mode frame runs on.
  mode = kBattleKnockBack;
  TakeHit(object);
  lastAttacker = object.GetOwner();
  GivePoints(lastAttacker, kHit.hitPoints);
}

void BattlePlayer::UpdateKnockBack() {
  invulnerable = 1;
  cameraMode = kBattleCameraFollow;
  if (!SlowKnockBack()) return;
  AddPoints(-kHit.piyoriLoss);
  GivePoints(lastAttacker, kHit.piyoriPoints);
}

void BattlePlayer::CollideWalls(const port::Vec3& d) {
  // Battle players judge each probe by its own direction.
  const WallResponse r = CollideWithWalls(&position, previousPosition, d, speed, angle.x, angle.z,
                                          mode == kBattleKnockBack, WallTest::kProbeDirection);
  if (r.bounced) moveHeading = YawTo(0.0f, 0.0f, r.reflected.x, r.reflected.z);
}

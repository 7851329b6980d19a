// The stage player in control: the keys and pad 0 (PlayerInput.h), the shot,
// the lock-on on the enemies, the hits of enemy objects, the walls and when a
// jump shows.
#include "actors/Motion.h"
#include "actors/Player.h"
#include "actors/Player1Shots.h"
#include "actors/StageSounds.h"
#include "platform/MathHelpers.h"
#include "platform/SoundManager.h"
#include "world/CharacterList.h"
#include "world/ObjectList.h"

namespace {

constexpr float kHitMargin = 0.3f;  // added to an object's radius

}  // namespace

bool Player::IsDirectionDown(int direction) const {
  return kStagePlayerInput.IsDirectionDown(direction);
}

bool Player::IsActionDown(int action) const {
  return kStagePlayerInput.IsActionDown(action, GetButton(action));
}

void Player::Shoot() {
  if (sokai) {
    // The sokai stage has one attack, thrown on the press.
    mode = kPlayerLargeAttack1;
    modeFrame = 0;
  } else {
    g_sound.PlaySound(kSoundShot, kQuieter20dB);
    Tama::Spawn({.at = position, .heading = angle.y, .owner = kOwnerPlayer});
  }
}

// The sokai stage's attack does not charge.
bool Player::CanCharge() const { return !sokai; }

bool Player::ShowsJump() const { return mode < kPlayerKnockBack || mode > kPlayerPiyori; }

// The enemy ahead and near: a degree off the heading counts as a tenth of a
// unit away.
bool Player::FindLockOnTarget(float reach, float* yaw) const {
  bool found = false;
  double bestScore = reach;
  g_characters.ForEach([&](Character* c) {
    if (!c->IsAlive()) return;
    port::Vec3 p;
    c->GetPosition(&p);
    const float toward = YawTo(position.x, position.z, p.x, p.z);
    const double score = AngleDistance(angle.y, toward) * 0.1f +
                         Distance3(position.x, position.y, position.z, p.x, p.y, p.z);
    if (score < bestScore) {
      found = true;
      bestScore = score;
      *yaw = toward;
    }
  });
  return found;
}

void Player::CheckHits() {
  if (invulnerable) return;
  const size_t count = g_objects.Size();
  for (size_t i = 0; i < count; ++i) {
    DynamicObject* o = g_objects.At(i);
    if (!o || !o->IsAlive() || o->GetOwner() == id) continue;
    if (!ObjectTouches(*o, position, kHitMargin)) continue;
    o->SetHit(1);
    modeFrame = 0;
    mode = kPlayerKnockBack;
    TakeHit(*o);
    return;  // one hit a frame
  }
}

void Player::CollideWalls(const port::Vec3& d) {
  const WallResponse r = CollideWithWalls(&position, previousPosition, d, speed, angle.x, angle.z,
                                          mode == kPlayerKnockBack, WallTest::kMoveDirection);
  if (r.bounced) moveHeading = YawOfVector(r.reflected.x, r.reflected.y, r.reflected.z);
}

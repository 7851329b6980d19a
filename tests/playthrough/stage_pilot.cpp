#include "playthrough/stage_pilot.h"

#include <cmath>

#include "actors/Player.h"
#include "app/Application.h"
#include "app/StagePhase.h"
#include "platform/MathHelpers.h"
#include "world/CharacterList.h"
#include "world/DynamicObject.h"
#include "world/ObjectList.h"

namespace playthrough {

using namespace gamerun;

namespace {

// Signed turn from heading a to heading b, -180 to 180.
float TurnFrom(float a, float b) {
  float d = std::fmod(b - a, 360.0f);
  if (d > 180.0f) d -= 360.0f;
  if (d < -180.0f) d += 360.0f;
  return d;
}

constexpr float kShotSpeed = 0.7f;  // units a frame

bool Fighting() {
  const int32_t s = g_app.currentScene;
  if (s != SceneStage1 && s != SceneStage2 && s != SceneStage3 && s != SceneSokai) return false;
  const int32_t p = g_app.stagePhase;
  return (p >= kPhaseArea1 && p <= kPhaseArea4) || p == kPhaseBoss;
}

}  // namespace

void StagePilot::Press(int key, bool down) {
  if (keys_[key] == down) return;
  keys_[key] = down;
  if (down) {
    run_.Hold(key);
  } else {
    run_.Let(key);
  }
}

void StagePilot::Step() {
  ++tick_;
  bool up = false, down = false, left = false, right = false, shift = false, jump = false;
  bool attack = false;
  if (Fighting() && !g_app.stageMode.paused) {
    const port::Vec3 me = g_player.position;
    // The nearest live enemy.
    const Character* target = nullptr;
    double best = 1e9;
    bool boss = false;
    g_characters.ForEach([&](Character* c) {
      if (!c->IsAlive() || c->GetKind() == kCharacterPlayer) return;
      port::Vec3 p;
      c->GetPosition(&p);
      // One being hit or dying cannot be hurt: the others first.
      double d = Distance3(me.x, 0.0f, me.z, p.x, 0.0f, p.z) + (c->IsInvulnerable() ? 1000.0 : 0.0);
      if (c == lastTarget_) d *= 0.5;  // no turning back and forth between two
      if (d < best) {
        best = d;
        target = c;
        boss = c->GetKind() >= kCharacterBoss1;
      }
    });
    // The nearest enemy shot.
    double threat = 1e9;
    for (size_t i = 0; i < g_objects.Size(); ++i) {
      DynamicObject* o = g_objects.At(i);
      if (!o || !o->IsAlive() || o->GetOwner() == kOwnerPlayer) continue;
      port::Vec3 p;
      o->GetPosition(&p);
      threat = std::fmin(threat, Distance3(me.x, me.y, me.z, p.x, p.y, p.z));
    }
    lastTarget_ = target;
    if (target) {
      port::Vec3 p;
      target->GetPosition(&p);
      best = Distance3(me.x, 0.0f, me.z, p.x, 0.0f, p.z);
      // Led by where it will be when the shot gets there.
      const float t = static_cast<float>(best) / kShotSpeed;
      p.x += (target->position.x - target->previousPosition.x) * t;
      p.z += (target->position.z - target->previousPosition.z) * t;
      const float turn = TurnFrom(g_player.angle.y, YawTo(me.x, me.z, p.x, p.z));
      const double miss = best * std::sin(std::fabs(turn) * 3.14159265 / 180.0);
      const bool aimed = std::fabs(turn) < 3.0f;
      const bool onTarget = miss < 0.6 && std::fabs(turn) < 90.0f;
      if (sideStep_ != 0) {
        // Away from a shot: sideways with shift, which also keeps the lock.
        shift = true;
        (sideStep_ > 0 ? right : left) = true;
        sideStep_ += sideStep_ > 0 ? -1 : 1;
      } else if (!aimed) {
        (turn > 0 ? right : left) = true;
      } else {
        // Aimed: keep a fighting distance, running.
        const double keep = boss ? 9.0 : 4.0;
        if (best > keep + 3.0) up = true;
        if (best < keep - 3.0) down = true;
      }
      if (threat < 2.5 && sideStep_ == 0) sideStep_ = (tick_ / 90) % 2 ? 25 : -25;
      if (threat < 1.5 && g_player.airborne == 0 && tick_ % 3 == 0) jump = true;

      // Shots at small enemies; on a boss, shots and now and then the
      // charge to the first large attack.
      if (chargeFor_ > 0) {
        attack = --chargeFor_ > 0;
        if (!attack) ++charges;
      } else if (aimed && boss && tick_ % 400 == 0) {
        chargeFor_ = 100;
        attack = true;
      } else if (onTarget) {
        attack = tick_ - lastShot_ >= 22;
        if (attack) {
          ++shots;
          lastShot_ = tick_;
        }
      }
    }
  }
  Press(kUp, up);
  Press(kDown, down);
  Press(kLeft, left);
  Press(kRight, right);
  Press(kX, shift);
  Press(kC, jump);
  Press(kZ, attack);
  run_.Frames();
  for (size_t i = 0; i < g_objects.Size(); ++i) {
    DynamicObject* o = g_objects.At(i);
    if (o && o->GetOwner() == kOwnerPlayer && o->hitState && !hitSeen_.count(o)) {
      hitSeen_.insert(o);
      ++hits;
    }
    if (o && !o->hitState) hitSeen_.erase(o);
  }
}

int StagePilot::PlayWhile(int32_t scene, int limit) {
  int n = 0;
  while (n < limit && (g_app.currentScene == scene || g_app.requestedScene == scene)) {
    Step();
    ++n;
  }
  LetAll();
  return n;
}

void StagePilot::LetAll() {
  for (int key = 0; key < 256; ++key) Press(key, false);
}

}  // namespace playthrough

#pragma once
// Base of every skinned, animated figure kept in the character list: the stage
// player, the battle players, the select models, the small enemies and bosses.
#include <cstdint>
#include <vector>

#include "port/math.h"
#include "render/AnimTrack.h"
#include "world/GameNumbering.h"

namespace port {
class Sprite;
}

class Character {
 public:
  Character() = default;
  virtual ~Character() = default;
  Character(const Character&) = delete;
  Character& operator=(const Character&) = delete;

  // Subclasses replace Update, Draw, DrawSecondPass, Draw2D, Release and
  // IsInvulnerable; the rest are the base's own.
  virtual void Update() {}
  virtual void Draw(port::Matrix view, port::Matrix projection, port::Vec4 lightDirection) {}
  virtual void DrawSecondPass(port::Matrix view, port::Matrix projection) {}
  virtual void Draw2D(port::Sprite* sprite) {}
  virtual void Release() {}
  // Copies the position into *out (when given) and returns out.
  virtual port::Vec3* GetPosition(port::Vec3* out) const;
  virtual int32_t GetKind() const { return kind; }
  virtual int32_t GetId() const { return id; }
  virtual bool IsAlive() const { return alive != 0; }
  virtual void SetAlive(uint8_t value) { alive = value; }
  virtual bool IsInvulnerable() const { return invulnerable != 0; }
  virtual void SetOwner(int32_t value) { owner = value; }

  port::Vec3 position;
  port::Vec3 previousPosition;  // restored when a move is refused
  port::Vec3 angle;             // degrees; y is the heading
  int32_t owner = 0;
  int32_t kind = kCharacterPlayer;  // a CharacterKind
  int32_t id = 0;                   // the character's own OwnerId
  uint8_t alive = 0;
  uint8_t airborne = 0;
  uint8_t invulnerable = 0;
  int32_t invulnerableFrames = 0;
  std::vector<AnimTrack> tracks;  // one per animation set, in load order
};

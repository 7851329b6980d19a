#pragma once
// Base of the four short-lived visual effects kept in the effect list.
#include <cstdint>

#include "port/math.h"
#include "world/GameNumbering.h"

class Effect {
 public:
  Effect() = default;
  virtual ~Effect() = default;
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  virtual void Update() {}
  // The alpha-blended pass.
  virtual void Draw(port::Matrix view, port::Matrix projection) {}
  // The additive pass, without depth writes.
  virtual void DrawAdditive(port::Matrix view, port::Matrix projection) {}
  virtual void Spare3() {}
  virtual int32_t GetType() const { return type; }
  virtual bool IsActive() const { return active != 0; }

  port::Vec3 position;
  port::Vec3 direction;  // unit vector
  int32_t type = 0;      // an EffectType
  uint8_t active = 0;
  int32_t age = 0;  // frames since the effect started
};

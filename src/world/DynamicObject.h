#pragma once
// Base of every shot, bullet, marker and hazard kept in the object list.
#include <cstdint>
#include <vector>

#include "port/math.h"
#include "world/GameNumbering.h"

class DynamicObject {
 public:
  DynamicObject() = default;
  virtual ~DynamicObject() = default;
  DynamicObject(const DynamicObject&) = delete;
  DynamicObject& operator=(const DynamicObject&) = delete;

  // Subclasses replace Update, Draw and DrawSecondPass only. Draws take no
  // arguments: objects read the camera themselves.
  virtual void Update() {}
  virtual void Draw() {}
  virtual void DrawSecondPass() {}  // transparent and billboard parts
  virtual void Spare3() {}
  // Both copy the position into *out (when given) and return out.
  virtual port::Vec3* GetPosition(port::Vec3* out) const;
  virtual port::Vec3* GetPosition2(port::Vec3* out) const;
  virtual int32_t GetType() const { return type; }
  virtual int32_t GetOwner() const { return owner; }
  virtual bool IsAlive() const { return alive != 0; }
  virtual float GetDamage() const { return damage; }
  virtual void SetHit(int32_t value) { hitState = value; }
  virtual void SetAlive(uint8_t value) { alive = value; }
  virtual float GetRadius() const { return radius; }
  // The extra collision points hit tests try besides the position.
  virtual const port::Vec3* GetExtraPointsBegin() const { return extraPoints.data(); }
  virtual const port::Vec3* GetExtraPointsEnd() const {
    return extraPoints.data() + extraPoints.size();
  }

  // Radius of objects no hit test may catch.
  static constexpr float kCannotHit = -1.0f;

  port::Vec3 position;
  port::Vec3 rotation;  // degrees: pitch, heading, roll
  float radius = 0.0f;  // added to the hit test's own margin; negative: cannot hit
  int32_t hitState = 0;
  int32_t type = 0;   // an ObjectType
  int32_t owner = 0;  // an OwnerId
  float damage = 0.0f;
  float speed = 0.0f;  // world units a frame
  uint8_t alive = 0;
  std::vector<port::Vec3> extraPoints;
};

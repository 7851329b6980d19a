#include "world/DynamicObject.h"

port::Vec3* DynamicObject::GetPosition(port::Vec3* out) const {
  if (out) *out = position;
  return out;
}

port::Vec3* DynamicObject::GetPosition2(port::Vec3* out) const {
  return DynamicObject::GetPosition(out);
}

#include "world/Character.h"

port::Vec3* Character::GetPosition(port::Vec3* out) const {
  if (out) *out = position;
  return out;
}

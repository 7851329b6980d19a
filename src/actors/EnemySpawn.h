#pragma once
// Where a spawned enemy stands and which way it faces.
#include "port/math.h"

struct EnemySpawn {
  port::Vec3 at;
  float heading = 0.0f;  // degrees
};

#pragma once
// One placement of a placement file (AppearData/*.arg).
#include <cstdint>

struct AppearRecord {
  float x = 0.0f, y = 0.0f, z = 0.0f;  // world units
  int32_t kind = 0;                    // AppearKind
  float param = 0.0f;                  // the players' heading, degrees
};
